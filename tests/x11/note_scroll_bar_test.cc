// A note's vertical scroll bar: with the scrollBar resource off it is there
// exactly while the text is longer than the window; with it on, always.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextP.h>

#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class NoteScrollBarTest : public testing::Test {
 protected:
  void SetUp() override {
    UseNoteSettings(Notes().settings().note_dir, 4096);
  }
  Note* Make(const std::string& text, bool scroll_bar) {
    program.res.scrollBar = scroll_bar ? True : False;
    Note* note = Notes().NewNote(-1);
    note->width = 300;
    note->height = 200;
    note->text = text;
    CreateNoteWindow(note);
    PumpUntil([note] { return IsMapped(NoteShell(note)); });
    return note;
  }
  static Widget Text(const Note* note) { return NoteWidget(note, "NoteText"); }
  static bool BarShown(const Note* note) {
    Widget bar = reinterpret_cast<TextWidget>(Text(note))->text.vbar;
    return bar != nullptr;
  }
  // Waits for the bar to come or go; true when it ends as wanted.
  static bool BarBecomes(const Note* note, bool shown) {
    return PumpUntil([&] { return BarShown(note) == shown; }, 2000);
  }
  static void Replace(Note* note, XawTextPosition from, XawTextPosition to, const std::string& text) {
    XawTextBlock block{0, static_cast<int>(text.size()), const_cast<char*>(text.data()), FMT8BIT};
    ASSERT_EQ(XawTextReplace(Text(note), from, to, &block), XawEditDone);
  }
  ProgramStateGuard program_state_;
};

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\n";
  return text;
}

TEST_F(NoteScrollBarTest, WithoutScrollBarsOneComesWhileTheTextIsLongerThanTheWindow) {
  // A loaded long note shows it from the start; a short one does not.
  EXPECT_TRUE(BarBecomes(Make(Lines(40), false), true));
  Note* note = Make("short", false);
  Pump();
  EXPECT_FALSE(BarShown(note));
  // Typing past the bottom brings it, and taking the lines out again takes
  // it away; lines too long for the width wrap and count as well.
  Replace(note, 5, 5, Lines(40));
  EXPECT_TRUE(BarBecomes(note, true));
  XawTextPosition last = XawTextSourceScan(XawTextGetSource(Text(note)), 0, XawstAll, XawsdRight, 1, True);
  Replace(note, 5, last, "");
  EXPECT_TRUE(BarBecomes(note, false));
  Replace(note, 5, 5, std::string(3000, 'w'));
  EXPECT_TRUE(BarBecomes(note, true));
}

TEST_F(NoteScrollBarTest, AWindowMadeLargeEnoughLosesTheBar) {
  Note* note = Make(Lines(20), false);
  ASSERT_TRUE(BarBecomes(note, true));
  Arg args[1];
  XtSetArg(args[0], XtNheight, 700);
  XtSetValues(NoteShell(note), args, 1);
  EXPECT_TRUE(BarBecomes(note, false));
  XtSetArg(args[0], XtNheight, 150);
  XtSetValues(NoteShell(note), args, 1);
  EXPECT_TRUE(BarBecomes(note, true));
}

TEST_F(NoteScrollBarTest, ANoteDestroyedWithACheckWaitingTakesTheCheckAlong) {
  // An edit or a resize leaves the check waiting for the main loop; the
  // window goes first. A note made afterwards still gets its bar.
  for (bool resize : {false, true}) {
    SCOPED_TRACE(resize ? "resize" : "edit");
    Note* note = Make("short", false);
    Pump();
    if (resize) {
      Arg args[1];
      XtSetArg(args[0], XtNheight, 150);
      XtSetValues(NoteShell(note), args, 1);
      XSync(program.display, False);
      XtAppProcessEvent(program.app_context, XtIMXEvent);
    } else {
      Replace(note, 5, 5, Lines(40));
    }
    ResetProgramState();
    Pump();
    EXPECT_TRUE(BarBecomes(Make(Lines(40), false), true));
    ResetProgramState();
  }
}

TEST_F(NoteScrollBarTest, WithScrollBarsEveryNoteHasOne) {
  Note* note = Make("short", true);
  Pump();
  EXPECT_TRUE(BarShown(note));
  Replace(note, 0, 5, "");
  Pump();
  EXPECT_TRUE(BarShown(note));
}

}  // namespace
