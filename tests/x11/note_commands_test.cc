// Hide, Erase, Destroy, Anchor and UnAnchor through a real note's Notes menu.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {


class NoteCommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_settings_ = Notes().settings();
    UseNoteSettings(dir_.path());
  }
  void TearDown() override {
    if (ConfirmUp()) Press(ConfirmButton("Cancel"));
    DestroyPopupsNamed("ErrorShell");
    Notes().Configure(saved_settings_);
  }

  Note* MakeNote(const char* text = "") {
    Note* note = Notes().NewNote(-1);
    note->text = text;
    note->width = 200;
    note->height = 120;
    CreateNoteWindow(note);
    Pump();
    return note;
  }
  // Chooses an entry of the note's Notes menu.
  void Choose(const Note* note, const char* entry) {
    Widget w = XtNameToWidget(NoteWidget(note, "OptionsMenu"), entry);
    ASSERT_NE(w, nullptr) << entry;
    Press(w);
    Pump();
  }
  static bool ConfirmUp() { return PopupNamed("Confirm") && IsMapped(PopupNamed("Confirm")); }
  static Widget ConfirmButton(const char* name) {
    return XtNameToWidget(PopupNamed("Confirm"), (std::string("Buttons.") + name).c_str());
  }
  void Answer(const char* button) {
    ASSERT_TRUE(ConfirmUp());
    Press(ConfirmButton(button));
    Pump();
    EXPECT_FALSE(ConfirmUp()) << "the Confirm popup goes away";
  }
  static std::vector<int> Ids() {
    std::vector<int> ids;
    for (const auto& n : Notes()) ids.push_back(n->id);
    return ids;
  }
  // The text the widget shows (its source), whatever the buffer holds.
  static std::string Shown(const Note* note) { return SourceText(XawTextGetSource(NoteWidget(note, "NoteText"))); }
  static bool SaveSensitive(const Note* note) { return XtIsSensitive(NoteWidget(note, "Save")); }

  TempDir dir_;
  NoteSettings saved_settings_;
  ProgramStateGuard program_state_;
};

TEST_F(NoteCommandsTest, EraseOfAnEmptyNoteAsksNothing) {
  Note* note = MakeNote("");
  Choose(note, "Erase");
  EXPECT_FALSE(ConfirmUp());
  EXPECT_FALSE(SaveSensitive(note));
}

TEST_F(NoteCommandsTest, EraseConfirmedEmptiesTheNoteAndMarksChanged) {
  Note* note = MakeNote("shopping list");
  ASSERT_FALSE(SaveSensitive(note));
  Choose(note, "Erase");
  Answer("Confirm");
  EXPECT_EQ(Shown(note), "");
  EXPECT_TRUE(SaveSensitive(note));
  // The next save writes an empty text.
  Press(NoteWidget(note, "Save"));
  Pump();
  EXPECT_FALSE(SaveSensitive(note));
  std::string file = ReadFile(Notes().NoteFilePath(note->id));
  EXPECT_EQ(file.substr(file.size() - 8), "\nNote 1\n") << file;
  // The widget edits the emptied text again.
  const char typed[] = "new";
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view(typed, 3)));
  Pump();
  EXPECT_EQ(NoteText(note), "new");
}

TEST_F(NoteCommandsTest, CancelLeavesTheNoteAsItWas) {
  for (bool changed : {false, true}) {
    for (const char* entry : {"Erase", "Destroy"}) {
      SCOPED_TRACE(std::string(entry) + (changed ? " on a changed note" : " on a saved note"));
      Note* note = MakeNote("keep me");
      if (changed) note->MarkChanged();
      Choose(note, entry);
      // The question names the command and the note, above the buttons.
      ASSERT_TRUE(ConfirmUp());
      Widget question = ConfirmButton("ConfirmLabel");
      ASSERT_NE(question, nullptr);
      EXPECT_TRUE(XtIsManaged(question));
      EXPECT_EQ(LabelOf(question), std::string(entry) == "Erase" ? EraseQuestion(note->name) : DestroyQuestion(note->name));
      EXPECT_NE(LabelOf(question).find(entry), std::string::npos);
      EXPECT_NE(LabelOf(question).find("\"" + note->name + "\""), std::string::npos);
      EXPECT_LT(question->core.y, ConfirmButton("Confirm")->core.y);
      Widget cancel = ConfirmButton("Cancel");
      ASSERT_TRUE(PumpUntil([&] { return IsMapped(PopupNamed("Confirm")); }));
      EXPECT_GE(PopupNamed("Confirm")->core.height, cancel->core.y + cancel->core.height) << "the shell shows it all";
      Answer("Cancel");
      ASSERT_EQ(Notes().FindNote(note->id), note);
      EXPECT_EQ(NoteText(note), "keep me");
      EXPECT_EQ(Shown(note), "keep me");
      EXPECT_EQ(SaveSensitive(note), changed);
      EXPECT_TRUE(IsMapped(NoteShell(note)));
      ResetProgramState();
    }
  }
}

TEST_F(NoteCommandsTest, DestroyOfANeverSavedNoteDeletesNoFile) {
  Note* note = MakeNote("");  // an empty note is asked about as well
  const std::string stranger = Notes().NoteFilePath(note->id);
  WriteFile(stranger, "not this note's file");
  Choose(note, "Destroy");
  Answer("Confirm");
  EXPECT_TRUE(Notes().empty());
  EXPECT_TRUE(PopupsNamed("TackOnNote").empty());
  EXPECT_EQ(ReadFile(stranger), "not this note's file");
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

TEST_F(NoteCommandsTest, DestroyOfASavedNoteDeletesItsFile) {
  Note* note = MakeNote("saved");
  note->file_path = Notes().NoteFilePath(note->id);
  WriteFile(note->file_path, "a note file");
  const std::string path = note->file_path;
  Choose(note, "Destroy");
  Answer("Confirm");
  EXPECT_TRUE(Notes().empty());
  EXPECT_TRUE(PopupsNamed("TackOnNote").empty());
  struct stat st;
  EXPECT_NE(stat(path.c_str(), &st), 0) << "the file is gone";
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

TEST_F(NoteCommandsTest, DestroyingFirstMiddleAndLastKeepsTheOrder) {
  for (int i = 0; i < 5; ++i) MakeNote("x");
  struct Step {
    int id;
    std::vector<int> left;
  } steps[] = {{1, {2, 3, 4, 5}}, {3, {2, 4, 5}}, {5, {2, 4}}};
  for (const Step& step : steps) {
    Choose(Notes().FindNote(step.id), "Destroy");
    Answer("Confirm");
    EXPECT_EQ(Ids(), step.left) << "after destroying " << step.id;
    EXPECT_EQ(PopupsNamed("TackOnNote").size(), step.left.size());
  }
  EXPECT_EQ(Notes().NewNote(-1)->id, 1) << "a freed id is used again";
}

TEST_F(NoteCommandsTest, AFileThatCannotBeDeletedIsNamedInAMessage) {
  Note* note = MakeNote("stuck");
  // A directory in the place of the file: unlink fails even for root.
  note->file_path = dir_ / "note1";
  ASSERT_EQ(mkdir(note->file_path.c_str(), 0755), 0);
  const std::string path = note->file_path;
  Choose(note, "Destroy");
  testing::internal::CaptureStderr();
  Answer("Confirm");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Notes().empty()) << "the note goes all the same";
  EXPECT_TRUE(PopupsNamed("TackOnNote").empty());
  std::vector<Widget> errors = PopupsNamed("ErrorShell");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(LabelOf(XtNameToWidget(errors[0], "errorDialog")),
            "Couldn't delete " + path + ".\nThe note will come back at the next start.");
  EXPECT_EQ(err, "stikkel: " + path + ": " + std::strerror(EISDIR) + "\n");
}

TEST_F(NoteCommandsTest, HideLeavesSaveAlone) {
  for (bool changed : {false, true}) {
    Note* note = MakeNote("hidden away");
    if (changed) note->MarkChanged();
    ASSERT_TRUE(IsMapped(NoteShell(note)));
    Choose(note, "Hide");
    EXPECT_TRUE(note->hidden);
    EXPECT_TRUE(PumpUntil([&] { return !IsMapped(NoteShell(note)); }));
    EXPECT_EQ(SaveSensitive(note), changed);
    EXPECT_EQ(Notes().FindNote(note->id), note) << "the note stays";
  }
}

TEST_F(NoteCommandsTest, AnchorThenUnanchorSwapsTheEntriesAndMarksChanged) {
  Note* note = MakeNote();
  Choose(note, "Anchor");
  EXPECT_TRUE(note->anchored);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Anchor")));
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "UnAnchor")));
  EXPECT_TRUE(SaveSensitive(note));
  note->MarkSaved();
  Choose(note, "UnAnchor");
  EXPECT_FALSE(note->anchored);
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Anchor")));
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "UnAnchor")));
  EXPECT_TRUE(SaveSensitive(note));
}

TEST_F(NoteCommandsTest, CommandsForAVanishedNoteDoNothing) {
  Note* note = MakeNote("still here");
  WindowOf(note)->BuildMenusOnce();  // the entries are made with the id the note has now
  note->id += 1;  // the entries' id now names no note
  for (const char* entry : {"Hide", "Erase", "Destroy", "Anchor", "UnAnchor"}) {
    Choose(note, entry);
    EXPECT_FALSE(ConfirmUp()) << entry;
  }
  note->id -= 1;
  EXPECT_FALSE(note->hidden);
  EXPECT_FALSE(note->anchored);
  EXPECT_FALSE(SaveSensitive(note));
  EXPECT_EQ(Ids(), std::vector<int>{1});
}

TEST_F(NoteCommandsTest, AnAnswerForANoteGoneMeanwhileDoesNothing) {
  for (const char* entry : {"Erase", "Destroy"}) {
    SCOPED_TRACE(entry);
    Note* gone = MakeNote("going");
    Note* other = MakeNote("staying");
    Choose(gone, entry);
    ASSERT_TRUE(ConfirmUp());
    XtDestroyWidget(NoteShell(gone));
    Notes().RemoveNote(gone);
    Answer("Confirm");
    EXPECT_EQ(Ids(), std::vector<int>{other->id});
    EXPECT_EQ(NoteText(other), "staying");
    EXPECT_FALSE(SaveSensitive(other));
    EXPECT_TRUE(IsMapped(NoteShell(other)));
    ResetProgramState();
  }
}

}  // namespace
