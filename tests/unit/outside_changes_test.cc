// A save looks at a note file again before it replaces it: another program
// (a sync engine, another machine) may have replaced or deleted it since
// this one read or wrote it, and neither version may be lost.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/file_identity.h"
#include "storage/load.h"
#include "storage/note_file.h"
#include "storage/save.h"
#include "temp_dir.h"

namespace {

constexpr ScreenSize kScreen{1024, 768};

std::string NoteBytes(const std::string& name, const std::string& text, int x = 10) {
  Note note;
  note.name = name;
  note.text = text;
  note.width = 200;
  note.height = 100;
  note.x = x;
  note.y = 20;
  return FormatNoteFile(note, kScreen);
}

class OutsideChangesTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    options_.screen = kScreen;
    WriteFile(dir_ / "note1", NoteBytes("Groceries", "milk\n"));
    LoadNoteFiles(notes_, options_);
    note_ = notes_.FindNote(1);
  }
  // What a sync engine does: a new file renamed over the note's.
  void ReplaceFromOutside(const std::string& bytes) {
    WriteFile(dir_ / ".syncthing.note1.tmp", bytes);
    ASSERT_EQ(rename((dir_ / ".syncthing.note1.tmp").c_str(), (dir_ / "note1").c_str()), 0);
  }
  bool Save(OutsideChanges* outside) {
    outside->options = options_;
    std::string flush;
    return SaveNotes(notes_, {note_}, kScreen, false, {}, &flush, outside);
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir_;
  NoteList notes_;
  NoteFileReadOptions options_;
  Note* note_ = nullptr;
};

TEST_F(OutsideChangesTest, ChangedOnBothSidesKeepsBothVersions) {
  ReplaceFromOutside(NoteBytes("Groceries", "milk\nfrom the laptop\n", 300));
  note_->text = "milk\ntyped here\n";
  note_->MarkChanged();
  OutsideChanges outside;
  ASSERT_TRUE(Save(&outside));
  ASSERT_EQ(outside.made.size(), 1u);
  const Note& other = *outside.made[0];
  EXPECT_EQ(other.name, "Groceries (from sync)");
  EXPECT_EQ(other.text, "milk\nfrom the laptop\n");
  EXPECT_EQ(other.x, 300 + kOtherVersionOffset) << "beside where it was";
  EXPECT_EQ(other.file_path, dir_ / "note2") << "the next free number";
  EXPECT_NE(other.id, 1);
  EXPECT_FALSE(other.changed());
  Note on_disk;
  ASSERT_TRUE(ReadNoteFile(ReadFile(dir_ / "note2"), options_, &on_disk));
  EXPECT_EQ(on_disk.text, "milk\nfrom the laptop\n");
  EXPECT_EQ(on_disk.name, "Groceries (from sync)");
  ASSERT_TRUE(ReadNoteFile(ReadFile(dir_ / "note1"), options_, &on_disk));
  EXPECT_EQ(on_disk.text, "milk\ntyped here\n") << "this machine's version in the note's own file";
  EXPECT_FALSE(note_->changed());
  EXPECT_TRUE(outside.taken.empty());
  EXPECT_TRUE(outside.gone.empty());
}

// A note with no unsaved change here, saved for a move or a hide only, or a
// note changed here whose file went: each case and what is on disk after.
TEST_F(OutsideChangesTest, EachRuleForAFileChangedOrRemovedElsewhere) {
  enum Outside { kReplaced, kSameBytesNewInode, kTouched, kDeleted, kNothing };
  enum Here { kMoved, kHidden, kTyped };
  struct Case {
    const char* what;
    Outside outside;
    Here here;
    // What the note shows after, and what note1 holds (empty: no file).
    const char* shown;
    const char* on_disk;
    bool taken, gone;
  };
  const Case cases[] = {
      {"replaced, moved here: takes theirs", kReplaced, kMoved, "theirs\n", "theirs\n", true, false},
      {"replaced, hidden here: takes theirs", kReplaced, kHidden, "theirs\n", "theirs\n", true, false},
      {"same bytes renamed over: saved", kSameBytesNewInode, kMoved, "milk\n", "milk\n", false, false},
      {"touched only: saved", kTouched, kTyped, "ours\n", "ours\n", false, false},
      {"deleted, moved here: the note goes", kDeleted, kMoved, "milk\n", "", false, true},
      {"deleted, typed here: saved again", kDeleted, kTyped, "ours\n", "ours\n", false, false},
      {"own write: saved", kNothing, kTyped, "ours\n", "ours\n", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notes_.clear();
    WriteFile(dir_ / "note1", NoteBytes("Groceries", "milk\n"));
    LoadNoteFiles(notes_, options_);
    note_ = notes_.FindNote(1);
    ASSERT_NE(note_, nullptr);
    switch (c.outside) {
      case kReplaced: ReplaceFromOutside(NoteBytes("Groceries", "theirs\n", 300)); break;
      case kSameBytesNewInode: ReplaceFromOutside(ReadFile(dir_ / "note1")); break;
      case kTouched: {
        struct timeval later[2];
        gettimeofday(&later[0], nullptr);
        later[0].tv_sec += 50;
        later[1] = later[0];
        ASSERT_EQ(utimes((dir_ / "note1").c_str(), later), 0);
        break;
      }
      case kDeleted: ASSERT_EQ(unlink((dir_ / "note1").c_str()), 0); break;
      case kNothing: {
        note_->moved = true;
        OutsideChanges first;
        ASSERT_TRUE(Save(&first));  // this program's own write
        break;
      }
    }
    switch (c.here) {
      case kMoved: note_->x = 500, note_->moved = true; break;
      case kHidden: note_->hidden = true; break;
      case kTyped: note_->text = "ours\n", note_->MarkChanged(); break;
    }
    OutsideChanges outside;
    ASSERT_TRUE(Save(&outside));
    EXPECT_EQ(note_->text, c.shown);
    EXPECT_EQ(!outside.taken.empty(), c.taken);
    EXPECT_EQ(!outside.gone.empty(), c.gone);
    EXPECT_TRUE(outside.made.empty());
    EXPECT_FALSE(note_->NeedsWrite());
    if (*c.on_disk == 0) {
      EXPECT_FALSE(std::filesystem::exists(dir_ / "note1"));
    } else {
      Note on_disk;
      ASSERT_TRUE(ReadNoteFile(ReadFile(dir_ / "note1"), options_, &on_disk));
      EXPECT_EQ(on_disk.text, c.on_disk);
      if (c.taken) {
        EXPECT_EQ(note_->x, 300) << "its place too";
        EXPECT_FALSE(note_->hidden);
      }
    }
    EXPECT_EQ(Files(), c.on_disk[0] ? std::vector<std::string>{"note1"} : std::vector<std::string>{});
  }
}

TEST(FileIdentity, SameFileOrSameBytes) {
  TempDir dir;
  WriteFile(dir / "a", "bytes");
  struct stat st;
  ASSERT_EQ(stat((dir / "a").c_str(), &st), 0);
  const StoredFile a = IdentityOf(st, "bytes");
  EXPECT_TRUE(SameFileState(a, a));
  StoredFile other_inode = a;
  other_inode.inode += 1;
  EXPECT_FALSE(SameFileState(a, other_inode));
  EXPECT_TRUE(SameBytes(a, other_inode));
  EXPECT_FALSE(SameFileState(a, StoredFile())) << "nothing is known of a note that had no file";
  EXPECT_NE(ContentHash("bytes"), ContentHash("bytez"));
  EXPECT_NE(ContentHash(std::string(16, 'a')), ContentHash(std::string(17, 'a')));
  EXPECT_EQ(ContentHash("a stable hash of sixteen+ bytes"), ContentHash("a stable hash of sixteen+ bytes"));
}

}  // namespace
