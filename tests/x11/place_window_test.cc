// Pop-ups at the pointer lie wholly on the screen, border included; notes
// brought to the pointer stay on it; a hidden note comes back where it was.
// Here no window manager runs: the shell's own window is its outer window.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xutil.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/place_window.h"
#include "app/popups.h"
#include "notes/name_dialog.h"
#include "model/note.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_window.h"
#include "frame/exit.h"
#include "tools/alarms.h"
#include "tools/file_selection.h"
#include "tools/insert_date.h"
#include "tools/print_email.h"
#include "x11_util.h"

namespace {

// Where the server has a window, border included: left, top, right, bottom
// (one past the last pixel).
struct Box {
  int left, top, right, bottom;
};

Box OuterBox(Widget shell) {
  XWindowAttributes a;
  XGetWindowAttributes(program.display, XtWindow(shell), &a);
  return {a.x, a.y, a.x + a.width + 2 * a.border_width, a.y + a.height + 2 * a.border_width};
}

std::string Describe(const Box& b) {
  return std::to_string(b.left) + "," + std::to_string(b.top) + " to " + std::to_string(b.right) + "," +
         std::to_string(b.bottom);
}

void Ignore(Widget, XtPointer, XtPointer) {}

// Export with an existing file's path typed into the file selection: the
// selection closes and the overwrite question opens at the pointer.
void AskToOverwrite(Note* note, const char* path) {
  OpenFileSelector(note, SelectionMode::kExport, "/");
  Widget shell = PopupNamed("FileSelectionShell");
  Arg args[1];
  XtSetArg(args[0], XtNstring, path);
  XtSetValues(XtNameToWidget(shell, "*IOText"), args, 1);
  Widget accept = nullptr;
  for (Widget box : ChildrenOf(XtNameToWidget(shell, "IOForm")))
    if (std::string(XtName(box)) == "IOBox")
      for (Widget w : ChildrenOf(box))
        if (std::string(XtName(w)) == "IOButtons" && LabelOf(w) == "Accept") accept = w;
  // Accept destroys the window it stands in.
  if (accept) Press(accept);
  Pump();
}

Widget Shell(const Note* note) { return WindowOf(note)->shell(); }

class PlaceWindowTest : public testing::Test {
 protected:
  void TearDown() override { ClosePopups(); }
  void ClosePopups() {
    for (const char* name : {"ErrorShell", "SOEShell", "AlarmShell", "TimerShell", "InsertShell", "EmailShell",
                             "FileSelectionShell", "FileExistsShell"})
      DestroyPopupsNamed(name);
    CloseNoteList(nullptr, nullptr, nullptr);
    DismissConfirm();
    DismissNameDialog();
    Pump();
  }
  Note* MakeNote(const std::string& name, int width, int height) {
    Note* note = Notes().NewNote(-1);
    note->name = name;
    note->width = width;
    note->height = height;
    CreateNoteWindow(note);
    PumpUntil([note] { return IsMapped(Shell(note)); });
    return note;
  }
  ProgramStateGuard program_state_;
};

struct Opener {
  const char* what;
  std::function<Widget(Note*)> open;
};

TEST_F(PlaceWindowTest, EveryPopUpAtThePointerLiesWhollyOnTheScreen) {
  XtCallbackRec none[] = {{Ignore, nullptr}, {nullptr, nullptr}};
  const Opener openers[] = {
      {"error popup", [](Note*) { ShowError("There are no anchored notes."); return PopupsNamed("ErrorShell").back(); }},
      {"Confirm popup", [&](Note*) { AskConfirm(none, none); return PopupNamed("Confirm"); }},
      {"note list", [](Note*) { OpenNoteList(Notes()[0].get(), false); return PopupNamed("FindShell"); }},
      {"save prompt", [](Note* n) {
         // With a changed note, Exit asks first.
         program.res.saveNotes = False;
         n->MarkChanged();
         RequestExit();
         return PopupNamed("SOEShell");
       }},
      {"name dialog", [&](Note* n) { OpenNameDialog(n, none, none); return PopupsNamed("Name").front(); }},
      {"alarm setup", [](Note* n) { OpenAlarmSetup(n); return PopupNamed("TimerShell"); }},
      {"alarm reminder", [](Note* n) {
         std::time_t now = std::time(nullptr);
         std::tm tm = *std::localtime(&now);
         n->alarm = Alarm{tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, true};
         ResetAlarmChecks();
         CheckAlarmsAt(now);
         n->alarm.set = false;
         return PopupsNamed("AlarmShell").back();
       }},
      {"insert date", [](Note* n) { OpenInsertDate(n); return PopupNamed("InsertShell"); }},
      {"e-mail dialog", [](Note* n) { EmailNote(n); return PopupNamed("EmailShell"); }},
      {"overwrite question", [](Note* n) { AskToOverwrite(n, "/etc/passwd"); return PopupNamed("FileExistsShell"); }},
  };
  Note* note = MakeNote("Groceries", 200, 100);
  for (const Opener& opener : openers) {
    // Near the bottom right corner the pop-up is moved inside, flush with
    // both edges; at the top left corner and in the middle it stays at the
    // pointer.
    for (Point pointer : {Point{1919, 1079}, Point{0, 0}, Point{700, 500}}) {
      WarpPointer(pointer.x, pointer.y);
      Widget shell = opener.open(note);
      ASSERT_NE(shell, nullptr) << opener.what;
      ASSERT_TRUE(PumpUntil([shell] { return IsMapped(shell); })) << opener.what;
      Box box = OuterBox(shell);
      std::string where = std::string(opener.what) + " for the pointer at " + std::to_string(pointer.x) + "," +
                          std::to_string(pointer.y) + ": " + Describe(box);
      if (pointer.x == 1919) {
        EXPECT_EQ(box.right, 1920) << where;
        EXPECT_EQ(box.bottom, 1080) << where;
      } else {
        EXPECT_EQ(box.left, pointer.x) << where;
        EXPECT_EQ(box.top, pointer.y) << where;
      }
      EXPECT_GE(box.left, 0) << where;
      EXPECT_GE(box.top, 0) << where;
      ClosePopups();
    }
  }
}

TEST_F(PlaceWindowTest, FileSelectionOpenedAtTheCornerLiesOnTheScreen) {
  Note* note = MakeNote("Groceries", 200, 100);
  WarpPointer(1919, 1079);
  OpenFileSelector(note, SelectionMode::kOpen, "/");
  Widget shell = PopupNamed("FileSelectionShell");
  ASSERT_NE(shell, nullptr);
  ASSERT_TRUE(PumpUntil([shell] { return IsMapped(shell); }));
  Box box = OuterBox(shell);
  EXPECT_EQ(box.right, 1920) << Describe(box);
  EXPECT_EQ(box.bottom, 1080) << Describe(box);
}

std::vector<Widget> ListButtons() {
  return ChildrenOf(XtNameToWidget(PopupNamed("FindShell"), "*FindViewForm"));
}

TEST_F(PlaceWindowTest, NoteBroughtToThePointerStaysWhollyOnTheScreen) {
  Note* note = MakeNote("Groceries", 480, 288);
  Box start = OuterBox(Shell(note));
  const int w = start.right - start.left, h = start.bottom - start.top;
  struct Case {
    Point pointer;
    Point expected;
  } cases[] = {
      {{1919, 1079}, {1920 - w, 1080 - h}},
      {{1800, 20}, {1920 - w, 20}},
      {{300, 1000}, {300, 1080 - h}},
      {{300, 200}, {300, 200}},
  };
  for (const Case& c : cases) {
    OpenNoteList(Notes()[0].get(), false);
    WarpPointer(c.pointer.x, c.pointer.y);
    Press(ListButtons().at(0));
    std::string where = "pointer at " + std::to_string(c.pointer.x) + "," + std::to_string(c.pointer.y);
    EXPECT_TRUE(PumpUntil([&] {
      Box b = OuterBox(Shell(note));
      return b.left == c.expected.x && b.top == c.expected.y;
    })) << where << ": " << Describe(OuterBox(Shell(note)));
    Box box = OuterBox(Shell(note));
    EXPECT_EQ(note->x, box.left) << where;
    EXPECT_EQ(note->y, box.top) << where;
  }
}

TEST_F(PlaceWindowTest, HiddenNoteComesBackWhereItStood) {
  Note* note = MakeNote("Groceries", 200, 100);
  XMoveWindow(program.display, XtWindow(Shell(note)), 640, 480);
  ASSERT_TRUE(PumpUntil([&] { return OuterBox(Shell(note)).left == 640; }));
  for (int round = 0; round < 3; ++round) {
    WindowOf(note)->Hide();
    Pump();
    ASSERT_FALSE(IsMapped(Shell(note)));
    WindowOf(note)->Show();
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(Shell(note)); }));
    EXPECT_FALSE(note->hidden);
    Box box = OuterBox(Shell(note));
    EXPECT_EQ(box.left, 640) << "round " << round;
    EXPECT_EQ(box.top, 480) << "round " << round;
    // A window manager that starts meanwhile takes the place as the user's.
    XSizeHints hints;
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(program.display, XtWindow(Shell(note)), &hints, &supplied));
    EXPECT_TRUE(hints.flags & USPosition);
  }
}

}  // namespace
