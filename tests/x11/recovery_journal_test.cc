// The recovery journal of a note whose file has another number than the
// note: a new note whose number another program took is saved under the
// next free one, and its recovery file must follow the file, or the next
// start gives its text to the other program's note.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "notes/recovery_journal.h"
#include "storage/load.h"
#include "storage/recovery.h"
#include "stderr_capture.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

class RecoveryJournalTest : public testing::Test {
 protected:
  void SetUp() override {
    DiscardRecovery();
    UseNoteSettings(dir_.path(), 1024);
  }
  void TearDown() override {
    DiscardRecovery();
    DestroyPopupsNamed("ErrorShell");
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_ / name); }
  TempDir dir_;
  ProgramStateGuard program_state_;
};

TEST_F(RecoveryJournalTest, FollowsANoteSavedUnderTheNextFreeNumber) {
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  note->has_geometry = true;
  note->name = "Ours";
  note->text = "ours\n";
  CreateNoteWindow(note);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  const int id = note->id;
  const std::string taken = "note" + std::to_string(id);
  const std::string next = "note" + std::to_string(id + 1);

  // Another program takes the note's number before its first save.
  Note foreign;
  foreign.name = "Theirs";
  foreign.text = "theirs\n";
  WriteFile(dir_ / taken, FormatNoteFile(foreign, CurrentScreen()));
  note->MarkChanged();
  FlushRecovery();
  const std::string unsaved = "new" + std::to_string(id);
  ASSERT_TRUE(Exists(".recovery/" + unsaved)) << "a note never saved keeps its recovery file under its number";
  EXPECT_FALSE(Exists(".recovery/" + taken)) << "never under a name a file of another note may have";
  ASSERT_TRUE(SaveNote(note));
  ASSERT_TRUE(Exists(next));
  EXPECT_FALSE(Exists(".recovery/" + unsaved)) << "saved: its recovery file goes";

  // Changed again and not saved: the recovery file is the saved file's.
  WindowOf(note)->SetText("ours, more\n");
  note->MarkChanged();
  FlushRecovery();
  EXPECT_TRUE(Exists(".recovery/" + next));
  EXPECT_FALSE(Exists(".recovery/" + taken));

  // What the next start makes of it: the other program's note is left as it is.
  NoteList later;
  later.Configure({dir_.path(), 1024});
  NoteFileReadOptions options;
  options.screen = CurrentScreen();
  LoadNoteFiles(later, options);
  RecoveredNotes recovered = ApplyRecoveryFiles(later, options);
  ASSERT_NE(later.FindNote(id), nullptr);
  EXPECT_EQ(later.FindNote(id)->name, "Theirs");
  EXPECT_FALSE(later.FindNote(id)->changed());
  ASSERT_EQ(recovered.notes.size(), 1u);
  EXPECT_EQ(recovered.notes[0]->id, id + 1);
  EXPECT_EQ(recovered.notes[0]->name, "Ours");

  // Saved again: no recovery file is left under either number.
  ASSERT_TRUE(SaveNote(note));
  EXPECT_FALSE(Exists(".recovery/" + next));
  EXPECT_FALSE(Exists(".recovery/" + taken));
}

// Files whose names read as one number (a sync engine's conflict copy, an
// editor's backup, a second spelling) are notes of their own, each with its
// own recovery file: typing in one never reaches another's, and saving one
// never removes another's.
TEST_F(RecoveryJournalTest, EveryNoteFileHasARecoveryFileOfItsOwn) {
  const std::vector<std::string> files = {"note1", "note1.sync-conflict-20261211-101010-ABCDEFG", "note1~", "note01",
                                          "note1 (conflicted copy 2026-12-11)"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    Note original;
    original.name = "Name " + std::to_string(i);
    original.text = "saved " + std::to_string(i) + "\n";
    WriteFile(dir_ / files[i], FormatNoteFile(original, CurrentScreen()));
  }
  LoadNotes();
  ASSERT_EQ(Notes().size(), files.size());
  auto note_of = [&](const std::string& file) -> Note* {
    for (const auto& n : Notes())
      if (n->file_path == dir_ / file) return n.get();
    return nullptr;
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    Note* note = note_of(files[i]);
    ASSERT_NE(note, nullptr) << files[i];
    WindowOf(note)->SetText("typed " + std::to_string(i) + "\n");
    note->MarkChanged();
  }
  FlushRecovery();
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_NE(ReadFile(dir_ / (".recovery/" + files[i])).find("\ntyped " + std::to_string(i) + "\n"),
              std::string::npos)
        << files[i];
  // Saving the copies leaves note1's recovery file alone.
  for (std::size_t i = 1; i < files.size(); ++i) ASSERT_TRUE(SaveNote(note_of(files[i]))) << files[i];
  EXPECT_TRUE(Exists(".recovery/note1"));
  for (std::size_t i = 1; i < files.size(); ++i) EXPECT_FALSE(Exists(".recovery/" + files[i])) << files[i];

  // What the next start makes of it: note1 gets its own typing back, and
  // nothing of the others'.
  NoteList later;
  later.Configure({dir_.path(), 1024});
  NoteFileReadOptions options;
  options.screen = CurrentScreen();
  LoadNoteFiles(later, options);
  RecoveredNotes recovered = ApplyRecoveryFiles(later, options);
  ASSERT_EQ(recovered.notes.size(), 1u);
  EXPECT_EQ(recovered.notes[0]->file_path, dir_ / "note1");
  EXPECT_EQ(recovered.notes[0]->text, "typed 0\n");
  EXPECT_EQ(recovered.notes[0]->name, "Name 0");
  EXPECT_EQ(ReadFile(dir_ / "note1").find("typed"), std::string::npos) << "note1 itself was never written";
}

}  // namespace

namespace {

// How many lines of `text` tell of a failed write of the recovery place.
int JournalFailures(const std::string& text, const std::string& recovery) {
  int count = 0;
  for (std::size_t at = text.find(recovery); at != std::string::npos; at = text.find(recovery, at + 1)) ++count;
  return count;
}

TEST_F(RecoveryJournalTest, AFailingWriteIsToldOnceUntilTheNoteIsSaved) {
  // The recovery place cannot be made: a file stands where it goes.
  WriteFile(dir_ / ".recovery", "in the way");
  const std::string recovery = dir_ / ".recovery";
  Note* note = ShowNoteAt(40, 60, "text\n");
  struct Step {
    const char* what;
    bool save_first;
    int told;
  };
  const Step steps[] = {
      {"the first failure is told", false, 1},
      {"the same note failing again is not told again", false, 0},
      {"once the note was saved, a new failure is told", true, 1},
  };
  for (const Step& step : steps) {
    if (step.save_first) {
      ASSERT_TRUE(SaveNote(note)) << step.what;
    }
    note->MarkChanged();
    StderrCapture err;
    FlushRecovery();
    EXPECT_EQ(JournalFailures(err.Text(), recovery), step.told) << step.what;
  }
}

}  // namespace
