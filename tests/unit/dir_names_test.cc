// The names of a note directory: notes, conflict copies, and the
// temporaries of the program and of sync engines.
#include "storage/dir_names.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/load.h"
#include "temp_dir.h"

namespace {

TEST(DirNames, WhatEachNameIs) {
  struct Case {
    const char* name;
    bool note, conflict, sync_temp, save_temp;
  };
  const Case cases[] = {
      {"note1", true, false, false, false},
      {"note01", true, false, false, false},
      {"note1~", true, false, false, false},
      {"note1.sync-conflict-20261211-101010-ABCDEFG", true, true, false, false},
      {"note1 (conflicted copy 2026-12-11 101010)", true, true, false, false},
      {"note1 (Ann's conflicted copy 2026-12-11)", true, true, false, false},
      {".syncthing.note1.tmp", false, false, true, false},
      {"~syncthing~note1.tmp", false, false, true, false},
      {".~note1", false, false, true, false},
      {"note1.part", false, false, true, false},
      {"sk1.123.AbC9xZ", false, false, false, true},
      {"sk1.123.AbC9x", false, false, false, false},
      {"sk1..AbC9xZ", false, false, false, false},
      {"sk1.12a.AbC9xZ", false, false, false, false},
      {"sk2.123.AbC9xZ", false, false, false, false},
      {"sk1.123.AbC9xZ.note", false, false, false, false},
      {".lock", false, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNoteCandidateName(c.name), c.note) << c.name;
    EXPECT_EQ(IsConflictCopyName(c.name), c.conflict) << c.name;
    EXPECT_EQ(IsSyncTemporaryName(c.name), c.sync_temp) << c.name;
    EXPECT_EQ(IsSaveTemporaryName(c.name), c.save_temp) << c.name;
  }
}

TEST(DirNames, CrashTemporariesGoAndNothingElse) {
  TempDir dir;
  for (const char* name : {"sk1.4242.aBcDeF", "sk1.7.zzzzzz", "note1", "sk1.notes", ".syncthing.note2.tmp"})
    WriteFile(dir / name, "x");
  ASSERT_EQ(mkdir((dir / "sk1.5.dirdir").c_str(), 0700), 0);  // not a file: left alone
  ASSERT_EQ(symlink("note1", (dir / "sk1.6.linkkk").c_str()), 0);
  std::vector<std::string> removed = RemoveCrashTemporaries(dir.path());
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, (std::vector<std::string>{"sk1.4242.aBcDeF", "sk1.7.zzzzzz"}));
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".syncthing.note2.tmp", "note1", "sk1.5.dirdir", "sk1.6.linkkk", "sk1.notes"}));
}

TEST(DirNames, SyncTemporariesAreNeverLoaded) {
  TempDir dir;
  const std::string note = "%%!!<tackonnote> 1 2 100 200 1 0 0 768 1024 0 0 1 12 0 \nN\nx";
  for (const char* name : {"note1", "note2.part", "note1 (conflicted copy 2026-12-11 101010)"})
    WriteFile(dir / name, note);
  NoteList notes;
  notes.Configure({dir.path(), 16});
  NoteFileReadOptions options;
  options.screen = {1024, 768};
  EXPECT_EQ(LoadNoteFiles(notes, options).size(), 2u) << "the note and its conflict copy, not the temporary";
}

}  // namespace
