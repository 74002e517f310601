// A note read from a sync engine's conflict copy is never written in place
// (the engine drops one side of a conflict between two versions of a
// conflict copy): its save moves the file to a note number of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/conflict_copy.h"
#include "storage/load.h"
#include "storage/note_file.h"
#include "storage/save.h"
#include "temp_dir.h"

namespace {

constexpr ScreenSize kScreen{1024, 768};
constexpr const char* kCopy = "note1.sync-conflict-20261211-101010-ABCDEFG";

std::string NoteBytes(const std::string& name, const std::string& text) {
  Note note;
  note.name = name;
  note.text = text;
  note.width = 200;
  note.height = 100;
  note.x = 10;
  note.y = 20;
  return FormatNoteFile(note, kScreen);
}

class ConflictCopyTest : public testing::Test {
 protected:
  // note1 and its conflict copy, loaded; the copy's note gets number 2.
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    options_.screen = kScreen;
    WriteFile(dir_ / "note1", NoteBytes("Groceries", "milk\n"));
    WriteFile(dir_ / kCopy, NoteBytes("Groceries", "milk\neggs\n"));
  }
  void Load() {
    LoadNoteFiles(notes_, options_);
    for (const auto& note : notes_)
      if (note->file_path == dir_ / kCopy) copy_ = note.get();
    ASSERT_NE(copy_, nullptr);
  }
  bool Save(OutsideChanges* outside) {
    outside->options = options_;
    std::string flush;
    return SaveNotes(notes_, {copy_}, kScreen, false, {}, &flush, outside);
  }
  std::string TextOf(const std::string& name) {
    Note note;
    EXPECT_TRUE(ReadNoteFile(ReadFile(dir_ / name), options_, &note)) << name;
    return note.text;
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
  Note* copy_ = nullptr;
};

TEST_F(ConflictCopyTest, ASaveMovesTheCopyToANumberOfItsOwn) {
  // The note's own number when no file has it; else the lowest free one.
  struct Case {
    const char* what;
    std::vector<std::string> taken;  // files there before the load
    const char* saved_as;
  };
  const Case cases[] = {
      {"its own number", {}, "note2"},
      {"its number's file came meanwhile", {"note2"}, "note3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notes_.clear();
    SetUp();
    copy_ = nullptr;
    Load();
    ASSERT_EQ(copy_->id, 2);
    for (const auto& name : c.taken) WriteFile(dir_ / name, NoteBytes("Other", "x\n"));
    copy_->text = "milk\neggs\nbread\n";
    copy_->MarkChanged();
    OutsideChanges outside;
    ASSERT_TRUE(Save(&outside));
    EXPECT_EQ(copy_->file_path, dir_ / c.saved_as);
    EXPECT_EQ(TextOf(c.saved_as), "milk\neggs\nbread\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / kCopy)) << "moved, not copied";
    EXPECT_TRUE(outside.made.empty() && outside.taken.empty() && outside.gone.empty());
    EXPECT_EQ(TextOf("note1"), "milk\n") << "the other note is left alone";
    for (const auto& name : c.taken) EXPECT_EQ(TextOf(name), "x\n");
    std::filesystem::remove(dir_ / c.saved_as);
    for (const auto& name : c.taken) std::filesystem::remove(dir_ / name);
  }
}

TEST_F(ConflictCopyTest, AVersionThatCameMeanwhileIsKept) {
  Load();
  // The engine put the other machine's version of the copy in its place.
  WriteFile(dir_ / ".syncthing.copy.tmp", NoteBytes("Groceries", "milk\neggs\nfrom the laptop\n"));
  ASSERT_EQ(rename((dir_ / ".syncthing.copy.tmp").c_str(), (dir_ / kCopy).c_str()), 0);
  copy_->text = "milk\neggs\ntyped here\n";
  copy_->MarkChanged();
  OutsideChanges outside;
  ASSERT_TRUE(Save(&outside));
  ASSERT_EQ(outside.made.size(), 1u);
  EXPECT_EQ(outside.made[0]->text, "milk\neggs\nfrom the laptop\n");
  EXPECT_EQ(TextOf(outside.made[0]->file_path.substr(dir_.path().size() + 1)), "milk\neggs\nfrom the laptop\n");
  EXPECT_EQ(TextOf(copy_->file_path.substr(dir_.path().size() + 1)), "milk\neggs\ntyped here\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"note1", "note2", "note3"}));
}

TEST_F(ConflictCopyTest, ACopyGoneElsewhere) {
  // Changed here: written as a new note; unchanged: the note goes.
  for (bool changed : {true, false}) {
    SCOPED_TRACE(changed ? "changed here" : "moved only");
    notes_.clear();
    SetUp();
    copy_ = nullptr;
    Load();
    ASSERT_EQ(unlink((dir_ / kCopy).c_str()), 0);
    if (changed) {
      copy_->text = "ours\n";
      copy_->MarkChanged();
    } else {
      copy_->x = 400;
      copy_->moved = true;
    }
    OutsideChanges outside;
    ASSERT_TRUE(Save(&outside));
    EXPECT_EQ(outside.gone.size(), changed ? 0u : 1u);
    if (changed) {
      EXPECT_EQ(TextOf("note2"), "ours\n");
    }
    EXPECT_EQ(Files(), changed ? (std::vector<std::string>{"note1", "note2"}) : std::vector<std::string>{"note1"});
    std::filesystem::remove(dir_ / "note2");
  }
}

TEST_F(ConflictCopyTest, OnlyConflictCopiesMove) {
  Load();
  Note* first = notes_.FindNote(1);
  EXPECT_FALSE(MoveOffConflictCopy(notes_, first));
  EXPECT_EQ(first->file_path, dir_ / "note1");
  // A save that does not look at other programs' changes keeps the file.
  copy_->text = "x\n";
  copy_->MarkChanged();
  std::string err;
  ASSERT_TRUE(WriteNoteFile(notes_, copy_, kScreen, &err));
  EXPECT_EQ(copy_->file_path, dir_ / kCopy);
}

}  // namespace
