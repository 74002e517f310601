// The watch of the note directory without a sync engine: the events read
// from the kernel, and what a change of one name does to the notes (files
// replaced, added, deleted; conflict copies; the program's own writes).
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/dir_change.h"
#include "storage/dir_watch.h"
#include "storage/file_identity.h"
#include "storage/load.h"
#include "storage/note_file.h"
#include "storage/save.h"
#include "temp_dir.h"

namespace {

constexpr ScreenSize kScreen{1024, 768};

std::string NoteBytes(const std::string& name, const std::string& text) {
  Note note;
  note.name = name;
  note.text = text;
  note.width = 200;
  note.height = 100;
  return FormatNoteFile(note, kScreen);
}

void AddEvent(std::string* buffer, std::uint32_t mask, const std::string& name) {
  inotify_event event{};
  event.mask = mask;
  event.len = name.empty() ? 0 : static_cast<std::uint32_t>((name.size() / 16 + 1) * 16);
  buffer->append(reinterpret_cast<const char*>(&event), sizeof event);
  std::string padded = name;
  padded.resize(event.len, '\0');
  buffer->append(padded);
}

TEST(DirWatch, EventsGiveTheNamesThatMatter) {
  std::string buffer;
  AddEvent(&buffer, IN_MOVED_TO, "note1");
  AddEvent(&buffer, IN_CREATE, ".syncthing.note2.tmp");
  AddEvent(&buffer, IN_CLOSE_WRITE, "sk1.42.abcdef");
  AddEvent(&buffer, IN_DELETE, "note7.sync-conflict-20261211-101010-ABCDEFG");
  AddEvent(&buffer, IN_CREATE | IN_ISDIR, ".recovery");
  AddEvent(&buffer, IN_CREATE | IN_ISDIR, "notes");
  AddEvent(&buffer, IN_DELETE, ".lock");
  AddEvent(&buffer, IN_MOVED_TO, "note1");  // once is enough
  DirEvents events;
  ParseDirEvents(buffer.data(), buffer.size(), &events);
  EXPECT_EQ(std::vector<std::string>(events.names.begin(), events.names.end()),
            (std::vector<std::string>{"note1", "note7.sync-conflict-20261211-101010-ABCDEFG"}));
  EXPECT_TRUE(events.lock_file);
  EXPECT_FALSE(events.overflow);
  buffer.clear();
  AddEvent(&buffer, IN_Q_OVERFLOW, "");
  ParseDirEvents(buffer.data(), buffer.size() - 3, &events);  // a record cut short is left
  EXPECT_FALSE(events.overflow);
  ParseDirEvents(buffer.data(), buffer.size(), &events);
  EXPECT_TRUE(events.overflow);
}

TEST(DirWatch, TheKernelReportsARenameOverANoteFile) {
  TempDir dir;
  DirWatch watch;
  std::string error;
  ASSERT_TRUE(watch.Start(dir.path(), &error)) << error;
  DirEvents events;
  watch.Read(&events);
  EXPECT_TRUE(events.names.empty()) << "nothing while nothing changes";
  WriteFile(dir / ".syncthing.note1.tmp", "x");
  ASSERT_EQ(rename((dir / ".syncthing.note1.tmp").c_str(), (dir / "note1").c_str()), 0);
  watch.Read(&events);
  EXPECT_EQ(events.names.count("note1"), 1u);
}

class DirChangeTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    outside_.options.screen = kScreen;
    WriteFile(dir_ / "note1", NoteBytes("Groceries", "milk\n"));
    LoadNoteFiles(notes_, outside_.options);
  }
  DirChange Look(const std::string& name) {
    std::string error;
    DirChange change = LookAtName(notes_, name, destroyed_, &outside_, &error);
    EXPECT_EQ(error, "");
    return change;
  }
  void FromElsewhere(const std::string& name, const std::string& bytes) {
    WriteFile(dir_ / ".syncthing.tmp", bytes);
    ASSERT_EQ(rename((dir_ / ".syncthing.tmp").c_str(), (dir_ / name).c_str()), 0);
  }
  TempDir dir_;
  NoteList notes_;
  OutsideChanges outside_;
  DestroyedFiles destroyed_;
};

TEST_F(DirChangeTest, EachRule) {
  Note* one = notes_.FindNote(1);
  EXPECT_EQ(Look("note1"), DirChange::kNothing) << "unchanged";

  // The program's own save is no one else's change.
  one->text = "milk\neggs\n";
  one->MarkChanged();
  std::string flush;
  ASSERT_TRUE(SaveNotes(notes_, {one}, kScreen, false, {}, &flush, &outside_));
  EXPECT_EQ(Look("note1"), DirChange::kNothing) << "a self-write";

  FromElsewhere("note1", NoteBytes("Groceries list", "bread\n"));
  EXPECT_EQ(Look("note1"), DirChange::kTaken);
  EXPECT_EQ(one->name, "Groceries list");
  EXPECT_EQ(one->text, "bread\n");
  EXPECT_EQ(Look("note1"), DirChange::kNothing) << "taken once";

  // A conflict copy, and another spelling of the same number: notes of
  // their own, each with its own number.
  FromElsewhere("note1.sync-conflict-20261211-101010-ABCDEFG", NoteBytes("Groceries", "butter\n"));
  FromElsewhere("note01", NoteBytes("Zero one", "01\n"));
  EXPECT_EQ(Look("note1.sync-conflict-20261211-101010-ABCDEFG"), DirChange::kArrived);
  EXPECT_EQ(Look("note01"), DirChange::kArrived);
  ASSERT_EQ(outside_.arrived.size(), 2u);
  EXPECT_NE(outside_.arrived[0]->id, 1);
  EXPECT_NE(outside_.arrived[1]->id, 1);
  EXPECT_NE(outside_.arrived[0]->id, outside_.arrived[1]->id);
  EXPECT_EQ(outside_.arrived[0]->text, "butter\n");
  for (auto& note : outside_.arrived) notes_.Add(std::move(note));
  outside_.arrived.clear();

  // Changed on both sides: the other version is a note of its own, and the
  // next save of this one asks no more.
  one->text = "typed here\n";
  one->MarkChanged();
  FromElsewhere("note1", NoteBytes("Groceries list", "typed there\n"));
  EXPECT_EQ(Look("note1"), DirChange::kKeptBoth);
  ASSERT_EQ(outside_.made.size(), 1u);
  EXPECT_EQ(outside_.made[0]->name, "Groceries list (from sync)");
  EXPECT_EQ(outside_.made[0]->text, "typed there\n");
  EXPECT_EQ(one->text, "typed here\n");
  OutsideChanges later;
  later.options = outside_.options;
  ASSERT_TRUE(SaveNotes(notes_, {one}, kScreen, false, {}, &flush, &later));
  EXPECT_TRUE(later.made.empty());

  // Deleted elsewhere: with unsaved changes it is saved again, without it goes.
  one->text = "more\n";
  one->MarkChanged();
  ASSERT_EQ(unlink((dir_ / "note1").c_str()), 0);
  EXPECT_EQ(Look("note1"), DirChange::kSaveAgain);
  one->MarkSaved();
  EXPECT_EQ(Look("note1"), DirChange::kGone);
  EXPECT_EQ(outside_.gone, std::vector<Note*>{one});

  // A stale copy of a note destroyed here is removed, not loaded.
  const std::string old = NoteBytes("Old", "destroyed\n");
  FromElsewhere("note9", old);
  struct stat st;
  ASSERT_EQ(stat((dir_ / "note9").c_str(), &st), 0);
  destroyed_.insert({static_cast<unsigned long long>(old.size()), ContentHash(old)});
  EXPECT_EQ(Look("note9"), DirChange::kStaleCopy);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "note9"));
  EXPECT_EQ(Look("note9"), DirChange::kNothing) << "nothing there";
}

}  // namespace
