// Two machines apart both give a new note the same number; an engine that
// keeps the last writer's file puts the other machine's note in place of
// this one's. Neither note is lost.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "model/note_list.h"
#include "storage/dir_change.h"
#include "storage/load.h"
#include "storage/note_file.h"
#include "storage/own_version.h"
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

TEST(HoldsInOrder, EveryCharacterInOrder) {
  EXPECT_TRUE(HoldsInOrder("r2 milk r1\n", "milk\n"));
  EXPECT_TRUE(HoldsInOrder("anything", ""));
  EXPECT_FALSE(HoldsInOrder("klim\n", "milk\n"));
  EXPECT_FALSE(HoldsInOrder("mil", "milk"));
}

class OwnVersionTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    options_.screen = kScreen;
  }
  // A note made here and saved: its first file.
  Note* MadeHere(const std::string& text) {
    Note* note = notes_.NewNote(-1);
    note->text = text;
    note->width = 200;
    note->height = 100;
    note->MarkChanged();
    OutsideChanges outside;
    outside.options = options_;
    std::string flush;
    EXPECT_TRUE(SaveNotes(notes_, {note}, kScreen, false, {}, &flush, &outside));
    return note;
  }
  // The other machine's file put in its place (no conflict copy).
  void LastWriterWins(const std::string& name, const std::string& bytes) {
    WriteFile(dir_ / ".syncthing.tmp", bytes);
    ASSERT_EQ(rename((dir_ / ".syncthing.tmp").c_str(), (dir_ / name).c_str()), 0);
  }
  DirChange Look(const std::string& name) {
    std::string err;
    outside_.options = options_;
    DirChange change = LookAtName(notes_, name, {}, &outside_, &err);
    EXPECT_EQ(err, "");
    return change;
  }
  TempDir dir_;
  NoteList notes_;
  NoteFileReadOptions options_;
  OutsideChanges outside_;
};

TEST_F(OwnVersionTest, ANoteMadeHereIsKeptWhenAnotherMachinesNoteTakesItsNumber) {
  Note* ours = MadeHere("eggs from here\n");
  ASSERT_EQ(ours->file_path, dir_ / "note1");
  EXPECT_TRUE(ours->file_made_here);
  LastWriterWins("note1", NoteBytes("Note 1", "milk\n"));
  EXPECT_EQ(Look("note1"), DirChange::kKeptOwn);
  EXPECT_EQ(ours->Text(), "eggs from here\n");
  EXPECT_TRUE(ours->changed()) << "to be written again";
  EXPECT_FALSE(ours->file_made_here);
  ASSERT_EQ(outside_.made.size(), 1u);
  EXPECT_EQ(outside_.made[0]->text, "milk\n");
  EXPECT_EQ(outside_.made[0]->file_path, dir_ / "note2");

  // Once the other machine's version was seen, a new one is taken as usual.
  ours->MarkSaved();
  LastWriterWins("note1", NoteBytes("Note 1", "changed there\n"));
  EXPECT_EQ(Look("note1"), DirChange::kTaken);
  EXPECT_EQ(ours->text, "changed there\n");
}

TEST_F(OwnVersionTest, AVersionMadeOnTopOfThisOneOrKeptByTheEngineIsTaken) {
  struct Case {
    const char* what;
    const char* theirs;
    bool conflict_copy;  // the engine kept this note's file as a conflict copy
  };
  const Case cases[] = {
      {"edited there: it holds this text", "milk\nand eggs\n", false},
      {"another note, this one kept as a conflict copy", "bread\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notes_.clear();
    outside_ = OutsideChanges();
    for (const char* name : {"note1", "note2", "note1.sync-conflict-20261211-101010-ABCDEFG"})
      unlink((dir_ / name).c_str());
    Note* ours = MadeHere("milk\n");
    if (c.conflict_copy) {
      ASSERT_EQ(link((dir_ / "note1").c_str(), (dir_ / "note1.sync-conflict-20261211-101010-ABCDEFG").c_str()), 0);
    }
    LastWriterWins("note1", NoteBytes("Note 1", c.theirs));
    EXPECT_EQ(Look("note1"), DirChange::kTaken);
    EXPECT_EQ(ours->text, c.theirs);
    EXPECT_FALSE(ours->changed());
    EXPECT_TRUE(outside_.made.empty());
  }
}

TEST_F(OwnVersionTest, ASaveThatMeetsIt) {
  // A note made here and moved meets the other machine's note at its
  // number when it is saved: both are kept, its own written.
  Note* ours = MadeHere("eggs from here\n");
  ours->x = 300;
  ours->moved = true;
  LastWriterWins("note1", NoteBytes("Note 1", "milk\n"));
  OutsideChanges outside;
  outside.options = options_;
  std::string flush;
  ASSERT_TRUE(SaveNotes(notes_, {ours}, kScreen, false, {}, &flush, &outside));
  ASSERT_EQ(outside.made.size(), 1u);
  EXPECT_EQ(outside.made[0]->text, "milk\n");
  Note on_disk;
  ASSERT_TRUE(ReadNoteFile(ReadFile(dir_ / "note1"), options_, &on_disk));
  EXPECT_EQ(on_disk.text, "eggs from here\n");
}

}  // namespace
