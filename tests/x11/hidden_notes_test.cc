// What a note does not need yet is not made: a note loaded hidden has no
// widgets until it is first shown (every command on all notes copes with it
// meanwhile), and a note's menus are made when one is first opened.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>

#include <string>

#include "frame/all_notes.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

std::string NoteFileAt(int x, int y, bool hidden, const std::string& name, const std::string& text) {
  return "%%!!<tackonnote> " + std::to_string(x) + " " + std::to_string(y) + " 169 227 " +
         std::to_string(text.size()) + (hidden ? " 1" : " 0") + " 0 " +
         std::to_string(HeightOfScreen(XtScreen(program.toplevel))) + " " +
         std::to_string(WidthOfScreen(XtScreen(program.toplevel))) + " 0 0 1 0 0 \n" + name + "\n" + text;
}

class HiddenNotesTest : public testing::Test {
 protected:
  void SetUp() override {
    UseNoteSettings(dir_.path(), 1024);
    WriteFile(dir_ / "note1", NoteFileAt(100, 120, false, "Shown", "in view"));
    WriteFile(dir_ / "note2", NoteFileAt(300, 320, true, "Hidden", "out of view"));
    LoadNotes();
    Pump();
    shown_ = Notes().FindNote(1);
    hidden_ = Notes().FindNote(2);
    ASSERT_NE(shown_, nullptr);
    ASSERT_NE(hidden_, nullptr);
  }
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }
  TempDir dir_;
  Note* shown_ = nullptr;
  Note* hidden_ = nullptr;
  ProgramStateGuard program_state_;
};

TEST_F(HiddenNotesTest, AHiddenNoteMakesNoWidgetsUntilShown) {
  EXPECT_NE(NoteShell(shown_), nullptr);
  EXPECT_EQ(NoteShell(hidden_), nullptr);
  EXPECT_EQ(hidden_->Text(), "out of view");
  // Raise and Lower All touch the shown notes only; nothing builds it.
  RaiseAllNotes();
  LowerAllNotes();
  CascadeNotes();
  Pump();
  EXPECT_EQ(NoteShell(hidden_), nullptr);
  // Saved meanwhile (hidden moved in the record): the file keeps its text.
  hidden_->x = 310;
  hidden_->moved = true;
  ASSERT_TRUE(SaveAllAndWait(false));
  EXPECT_EQ(ReadFile(dir_ / "note2"), NoteFileAt(310, 320, true, "Hidden", "out of view"));
  EXPECT_EQ(NoteShell(hidden_), nullptr);
  // Unhide All builds it and shows it where it was.
  UnhideAllNotes();
  ASSERT_NE(NoteShell(hidden_), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(hidden_)); }));
  EXPECT_FALSE(hidden_->hidden);
  EXPECT_EQ(NoteText(hidden_), "out of view");
}

TEST_F(HiddenNotesTest, FindANoteBuildsAndShowsAHiddenNote) {
  ChooseNote(nullptr, hidden_, nullptr);
  ASSERT_NE(NoteShell(hidden_), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(hidden_)); }));
  EXPECT_EQ(NoteText(hidden_), "out of view");
}

TEST_F(HiddenNotesTest, ANotesMenusAreMadeWhenOneIsFirstOpened) {
  Widget shell = NoteShell(shown_);
  EXPECT_EQ(XtNameToWidget(shell, "*FileMenu"), nullptr);
  EXPECT_EQ(XtNameToWidget(shell, "*OptionsMenu"), nullptr);
  // The File button's own action, as a click runs it.
  Widget file = XtNameToWidget(shell, "*File");
  ASSERT_NE(file, nullptr);
  XEvent press{};
  press.xbutton.type = ButtonPress;
  press.xbutton.display = program.display;
  press.xbutton.window = XtWindow(file);
  press.xbutton.button = 1;
  XtCallActionProc(file, "PopupMenu", &press, nullptr, 0);
  Widget menu = XtNameToWidget(shell, "*FileMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(menu); }));
  XtPopdown(menu);
  EXPECT_NE(XtNameToWidget(shell, "*OptionsMenu"), nullptr);
  EXPECT_FALSE(XtIsSensitive(XtNameToWidget(shell, "*Save"))) << "an unchanged note";
}

}  // namespace
