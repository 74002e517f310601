// The note list window: "Find A Note" and "Hidden Notes".
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

std::vector<Widget> Buttons() {
  Widget view_form = XtNameToWidget(PopupNamed("FindShell"), "*FindViewForm");
  return view_form ? ChildrenOf(view_form) : std::vector<Widget>{};
}

std::vector<std::string> Labels(const std::vector<Widget>& buttons) {
  std::vector<std::string> labels;
  for (Widget b : buttons) labels.push_back(LabelOf(b));
  return labels;
}

std::vector<std::string> ErrorTexts() {
  std::vector<std::string> texts;
  for (Widget shell : PopupsNamed("ErrorShell")) texts.push_back(LabelOf(XtNameToWidget(shell, "errorDialog")));
  return texts;
}

std::string TitleOf(Widget shell) {
  String title = nullptr;
  Arg arg;
  XtSetArg(arg, XtNtitle, &title);
  XtGetValues(shell, &arg, 1);
  return title ? title : "";
}

// Where the server has the shell's window.
Point WindowPosition(Widget shell) {
  XWindowAttributes attrs;
  XGetWindowAttributes(program.display, XtWindow(shell), &attrs);
  return {attrs.x, attrs.y};
}

// Position of the window among the root's children, bottom first.
int StackIndex(Widget shell) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(program.display, DefaultRootWindow(program.display), &root, &parent, &children, &count);
  int index = -1;
  for (unsigned int i = 0; i < count; ++i)
    if (children[i] == XtWindow(shell)) index = static_cast<int>(i);
  if (children) XFree(children);
  return index;
}

class NoteListWindowTest : public testing::Test {
 protected:
  void TearDown() override {
    CloseNoteList(nullptr, nullptr, nullptr);
    DestroyPopupsNamed("ErrorShell");
  }
  Note* MakeNote(const std::string& name, bool hidden = false) {
    Note* note = Notes().NewNote(-1);
    note->name = name;
    note->width = 200;
    note->height = 100;
    CreateNoteWindow(note);
    if (hidden) WindowOf(note)->Hide();
    Pump();
    return note;
  }
  const Note* Head() { return Notes().empty() ? nullptr : Notes()[0].get(); }
  ProgramStateGuard program_state_;
};

// The width of a list button labelled `label` on its own.
Dimension ButtonWidth(const char* label) {
  Arg args[3];
  XtSetArg(args[0], XtNborderWidth, 1);
  XtSetArg(args[1], XtNlabel, label);
  XtSetArg(args[2], XtNshapeStyle, 1);
  Widget shell = XtCreatePopupShell("Probe", transientShellWidgetClass, program.toplevel, nullptr, 0);
  Widget probe = XtCreateWidget("FindButton", commandWidgetClass, shell, args, 3);
  Dimension width = probe->core.width;
  XtDestroyWidget(shell);
  return width;
}

TEST_F(NoteListWindowTest, OneColumnOfEqualButtonsByNameAtThePointer) {
  // However the notes are ordered, the buttons stand in the order of their
  // names and every button is as wide as the widest; narrow buttons also
  // stretch to the width of the view, which shows the widest name whole.
  const char* kLong = "a name far too long for the two hundred pixels of the view";
  struct Case {
    std::vector<std::string> names;
    const char* widest;
    bool exact;
  } cases[] = {
      {{"abc", "twelve chars", "fives"}, "twelve chars", false},
      {{"twelve chars", "fives", "abc"}, "twelve chars", false},
      {{"abc", kLong, "fives"}, kLong, true},
      {{kLong, "fives", "abc"}, kLong, true},
  };
  for (const Case& c : cases) {
    for (const std::string& name : c.names) MakeNote(name);
    WarpPointer(321, 234);
    OpenNoteList(Head(), false);
    Widget shell = PopupNamed("FindShell");
    ASSERT_NE(shell, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
    EXPECT_EQ(TitleOf(shell), "Find A Note");
    EXPECT_EQ(shell->core.x, 321);
    EXPECT_EQ(shell->core.y, 234);
    std::vector<Widget> buttons = Buttons();
    std::vector<std::string> sorted = c.names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Labels(buttons), sorted);
    Dimension widest = ButtonWidth(c.widest);
    for (Widget b : buttons) {
      EXPECT_EQ(b->core.width, buttons[0]->core.width) << LabelOf(b);
      EXPECT_GE(b->core.width, widest) << LabelOf(b);
    }
    Widget viewport = XtNameToWidget(shell, "FindForm.FindViewport");
    EXPECT_EQ(viewport->core.width, c.exact ? widest + 24 : 200);
    EXPECT_EQ(viewport->core.height, 100);
    EXPECT_EQ(LabelOf(XtNameToWidget(shell, "FindForm.FindCancel")), "Cancel");
    Press(XtNameToWidget(shell, "FindForm.FindCancel"));
    Pump();
    EXPECT_EQ(PopupNamed("FindShell"), nullptr);
    EXPECT_TRUE(PopupsNamed("FindShell").empty());
    ResetProgramState();
  }
}

// How many rows a long list's view shows, the last one cut short included.
std::size_t RowsInView() {
  Widget clip = XtNameToWidget(PopupNamed("FindShell"), "*FindViewport.clip");
  std::vector<Widget> buttons = Buttons();
  if (!clip || buttons.empty()) return 0;
  int pitch = buttons[0]->core.height + 2 * buttons[0]->core.border_width;
  return static_cast<std::size_t>(clip->core.height / pitch + 1);
}

// A long list's scroll bar, or null.
Widget ListScrollbar() { return XtNameToWidget(PopupNamed("FindShell"), "*FindScrollbar"); }

// Drags the thumb of the list's scroll bar to `top` (0 to 1), as button 2 does.
void JumpTo(float top) {
  XtCallCallbacks(ListScrollbar(), XtNjumpProc, &top);
  Pump();
}

// Clicks the scroll bar as buttons 1 (forward, pixels > 0) and 3 do.
void ScrollBy(int pixels) {
  XtCallCallbacks(ListScrollbar(), XtNscrollProc, reinterpret_cast<XtPointer>(static_cast<intptr_t>(pixels)));
  Pump();
}

// Every name a long list shows, read by scrolling it one row at a time from
// the top to the end.
std::vector<std::string> ScrollThrough() {
  JumpTo(0);
  std::vector<std::string> seen;
  std::string last_first;
  for (;;) {
    std::vector<std::string> labels = Labels(Buttons());
    if (labels.empty() || (!seen.empty() && labels[0] == last_first)) break;
    last_first = labels[0];
    seen.push_back(labels[0]);
    ScrollBy(1);
  }
  // The end: the rest of the last view.
  std::vector<std::string> labels = Labels(Buttons());
  seen.insert(seen.end(), labels.begin() + 1, labels.end());
  return seen;
}

TEST_F(NoteListWindowTest, ListsEveryNoteBeyondTwoHundredAndFiftySix) {
  // Up to 256 notes every note has a button; a longer list shows a few rows
  // and scrolls every note through them.
  struct Case {
    int notes;
    bool scrolls;
  } cases[] = {{256, false}, {257, true}, {300, true}};
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (int i = 0; i < c.notes; ++i) {
      Note* note = Notes().NewNote(-1);
      note->name = "note " + std::to_string(i);  // distinct, so that repeats show
      names.push_back(note->name);
    }
    OpenNoteList(Head(), false);
    ASSERT_NE(PopupNamed("FindShell"), nullptr);
    ASSERT_TRUE(PumpUntil([] { return IsMapped(PopupNamed("FindShell")); }));
    EXPECT_EQ(ListScrollbar() != nullptr, c.scrolls) << c.notes;
    if (c.scrolls) {
      EXPECT_LE(Buttons().size(), RowsInView()) << "only the rows in view";
      EXPECT_LT(Buttons().size(), 50u);
      EXPECT_EQ(ScrollThrough(), names);
    } else {
      EXPECT_EQ(Labels(Buttons()), names);
    }
    CloseNoteList(nullptr, nullptr, nullptr);
    ResetProgramState();
  }
}

TEST_F(NoteListWindowTest, LongListReachesItsLastNoteAndSizesButtonsForEveryName) {
  // 5,000 notes: the end of the list is one drag of the thumb away, and its
  // last button brings the last note; every button is as wide as the widest
  // name of the whole list, though that name is not in view.
  const char* kWide = "the one name that is far wider than every other name of the list";
  for (int i = 0; i < 4999; ++i) Notes().NewNote(-1)->name = i == 2345 ? kWide : "n" + std::to_string(i);
  Note* last = MakeNote("the very last note", true);
  OpenNoteList(Head(), false);
  ASSERT_TRUE(PumpUntil([] { return IsMapped(PopupNamed("FindShell")); }));
  ASSERT_NE(ListScrollbar(), nullptr);
  std::vector<Widget> buttons = Buttons();
  ASSERT_FALSE(buttons.empty());
  EXPECT_LE(buttons.size(), RowsInView());
  // The scroll bar as high as the view, which is as high as the list lets it.
  Widget viewport = XtNameToWidget(PopupNamed("FindShell"), "*FindViewport");
  EXPECT_EQ(viewport->core.height, program.screen_height / 2);
  EXPECT_EQ(ListScrollbar()->core.height, viewport->core.height);
  for (Widget b : buttons) {
    EXPECT_GE(b->core.width, ButtonWidth(kWide)) << LabelOf(b);
    EXPECT_EQ(b->core.width, buttons[0]->core.width) << LabelOf(b);
  }
  // By name: n0 to n4998 without n2345, then the two long names.
  EXPECT_EQ(LabelOf(buttons[0]), "n0");
  JumpTo(0.5f);
  EXPECT_EQ(LabelOf(Buttons()[0]), "n2501");
  ScrollBy(-1);
  EXPECT_EQ(LabelOf(Buttons()[0]), "n2500");
  JumpTo(1.0f);
  ASSERT_EQ(LabelOf(Buttons().back()), "the very last note");
  // The last button stands wholly inside the view.
  Widget clip = XtNameToWidget(PopupNamed("FindShell"), "*FindViewport.clip");
  Widget view_form = XtNameToWidget(PopupNamed("FindShell"), "*FindViewForm");
  Widget end = Buttons().back();
  EXPECT_LE(view_form->core.y + end->core.y + end->core.height + 2 * end->core.border_width,
            static_cast<int>(clip->core.height));
  Press(end);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(last)); }));
  EXPECT_FALSE(last->hidden);
  EXPECT_EQ(PopupNamed("FindShell"), nullptr);
}

TEST_F(NoteListWindowTest, ResizingALongListShowsAsManyRowsAsFit) {
  for (int i = 0; i < 1000; ++i) Notes().NewNote(-1)->name = "n" + std::to_string(i);
  OpenNoteList(Head(), false);
  Widget shell = PopupNamed("FindShell");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  ASSERT_NE(ListScrollbar(), nullptr);
  std::size_t rows = Buttons().size();
  Widget clip = XtNameToWidget(shell, "*FindViewport.clip");
  auto covered = [&] {
    // The buttons reach down to the bottom of the view: no empty space.
    Widget end = Buttons().back();
    return end->core.y + end->core.height + 2 * end->core.border_width >= clip->core.height;
  };
  EXPECT_TRUE(covered());
  XResizeWindow(program.display, XtWindow(shell), shell->core.width, shell->core.height + 300);
  ASSERT_TRUE(PumpUntil([&] { return Buttons().size() > rows + 5; }));
  EXPECT_TRUE(covered());
  JumpTo(1.0f);
  EXPECT_EQ(LabelOf(Buttons().back()), "n999");
  XResizeWindow(program.display, XtWindow(shell), shell->core.width, shell->core.height - 300);
  ASSERT_TRUE(PumpUntil([&] { return Buttons().size() == rows; }));
  JumpTo(1.0f);
  Widget end = Buttons().back();
  EXPECT_EQ(LabelOf(end), "n999");
  EXPECT_LE(end->core.y + end->core.height, static_cast<int>(clip->core.height)) << "the last note in view";
}

TEST_F(NoteListWindowTest, ListsFromTheGivenNoteOn) {
  MakeNote("one");
  MakeNote("two");
  MakeNote("three", true);
  OpenNoteList(Notes()[1].get(), false);
  EXPECT_EQ(Labels(Buttons()), (std::vector<std::string>{"three", "two"}));  // by name
}

TEST_F(NoteListWindowTest, NothingToListShowsAMessageInstead) {
  struct Case {
    std::vector<bool> notes_hidden;
    bool hidden_only;
    const char* message;
  } cases[] = {
      {{}, false, "You have no notes."},
      {{}, true, "There are no hidden notes."},
      {{false, false}, true, "There are no hidden notes."},
  };
  for (const Case& c : cases) {
    for (bool hidden : c.notes_hidden) MakeNote("n", hidden);
    OpenNoteList(Head(), c.hidden_only);
    Pump();
    EXPECT_EQ(PopupNamed("FindShell"), nullptr);
    EXPECT_TRUE(PopupsNamed("FindShell").empty());
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{c.message});
    DestroyPopupsNamed("ErrorShell");
    ResetProgramState();
  }
}

TEST_F(NoteListWindowTest, ChoosingAHiddenNoteShowsItWhereItWas) {
  MakeNote("shown");
  Note* first = MakeNote("first hidden", true);
  Note* second = MakeNote("second hidden", true);
  Point before = WindowPosition(NoteShell(second));
  OpenNoteList(Head(), true);
  EXPECT_EQ(TitleOf(PopupNamed("FindShell")), "Hidden Notes");
  std::vector<Widget> buttons = Buttons();
  ASSERT_EQ(Labels(buttons), (std::vector<std::string>{"first hidden", "second hidden"}));
  WarpPointer(700, 600);
  Press(buttons[1]);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(second)); }));
  EXPECT_FALSE(second->hidden);
  Point after = WindowPosition(NoteShell(second));
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.y, before.y);
  EXPECT_TRUE(first->hidden);
  EXPECT_FALSE(IsMapped(NoteShell(first)));
  EXPECT_EQ(PopupNamed("FindShell"), nullptr);
  EXPECT_TRUE(PopupsNamed("FindShell").empty());
}

TEST_F(NoteListWindowTest, ChoosingAVisibleNoteMovesItToThePointerAndRaisesIt) {
  Note* lower = MakeNote("lower");
  Note* upper = MakeNote("upper");
  ASSERT_LT(StackIndex(NoteShell(lower)), StackIndex(NoteShell(upper)));
  OpenNoteList(Head(), false);
  WarpPointer(512, 345);
  Press(Buttons()[0]);
  ASSERT_TRUE(PumpUntil([&] {
    Point p = WindowPosition(NoteShell(lower));
    return p.x == 512 && p.y == 345;
  }));
  EXPECT_EQ(lower->x, 512);
  EXPECT_EQ(lower->y, 345);
  EXPECT_GT(StackIndex(NoteShell(lower)), StackIndex(NoteShell(upper)));
  EXPECT_EQ(PopupNamed("FindShell"), nullptr);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

TEST_F(NoteListWindowTest, NotesOfTheSameNameEachBringTheirOwn) {
  Note* a = MakeNote("twin", true);
  Note* b = MakeNote("twin", true);
  OpenNoteList(Head(), false);
  std::vector<Widget> buttons = Buttons();
  ASSERT_EQ(Labels(buttons), (std::vector<std::string>{"twin", "twin"}));
  Press(buttons[1]);
  Pump();
  EXPECT_TRUE(a->hidden);
  EXPECT_FALSE(b->hidden);
  OpenNoteList(Head(), true);
  Press(Buttons()[0]);
  Pump();
  EXPECT_FALSE(a->hidden);
}

TEST_F(NoteListWindowTest, WindowManagerCloseIsCancel) {
  Note* note = MakeNote("stays", true);
  OpenNoteList(Head(), false);
  Widget shell = PopupNamed("FindShell");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  SendWindowManagerClose(shell);
  ASSERT_TRUE(PumpUntil([] { return PopupNamed("FindShell") == nullptr; }));
  EXPECT_TRUE(PopupsNamed("FindShell").empty());
  EXPECT_TRUE(note->hidden);
}

}  // namespace

namespace {

// A key as the server would send it to widget w, through its translations.
void TypeOn(Widget w, KeySym keysym, Time time) {
  XEvent event = KeyPressOn(w, XKeysymToKeycode(program.display, keysym));
  event.xkey.time = time;
  XtDispatchEvent(&event);
  Pump();
}

// The wheel turned over widget w (button 4 up, 5 down).
void WheelOn(Widget w, unsigned int button) {
  XEvent event{};
  event.xbutton.type = ButtonPress;
  event.xbutton.display = program.display;
  event.xbutton.window = XtWindow(w);
  event.xbutton.root = DefaultRootWindow(program.display);
  event.xbutton.button = button;
  event.xbutton.same_screen = True;
  XtDispatchEvent(&event);
  Pump();
}

// The first name wholly in view of the list.
std::string FirstInView() {
  Widget view_form = XtNameToWidget(PopupNamed("FindShell"), "*FindViewForm");
  for (Widget b : Buttons())
    if (view_form->core.y + b->core.y >= 0) return LabelOf(b);
  return "";
}

TEST_F(NoteListWindowTest, WheelAndTypeAheadMoveThroughTheList) {
  // A short list (every note a button) and a long one (a few buttons that
  // show the notes in turn) scroll and find alike.
  for (int count : {60, 400}) {
    for (int i = count - 1; i >= 0; --i) Notes().NewNote(-1)->name = "item " + std::to_string(i);
    Note* zebra = MakeNote("Zebra crossing", true);
    OpenNoteList(Head(), false);
    Widget shell = PopupNamed("FindShell");
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
    Widget form = XtNameToWidget(shell, "FindForm");
    EXPECT_EQ(FirstInView(), "item 0") << count;
    WheelOn(Buttons()[1], 5);
    EXPECT_EQ(FirstInView(), "item 3") << count;
    WheelOn(Buttons()[0], 5);
    EXPECT_EQ(FirstInView(), "item 6") << count;
    WheelOn(Buttons()[0], 4);
    EXPECT_EQ(FirstInView(), "item 3") << count;
    WheelOn(Buttons()[0], 4);
    WheelOn(Buttons()[0], 4);
    EXPECT_EQ(FirstInView(), "item 0") << count << " stops at the top";

    // Typed letters move to the first name they begin; a pause starts anew.
    TypeOn(form, XK_i, 1000);
    TypeOn(form, XK_t, 1100);
    EXPECT_EQ(FirstInView(), "item 0") << count;
    TypeOn(form, XK_Z, 5000);
    TypeOn(form, XK_e, 5100);
    // The end of the list: its last rows fill the view.
    std::vector<Widget> buttons = Buttons();
    EXPECT_EQ(LabelOf(buttons.back()), "Zebra crossing") << count;
    TypeOn(form, XK_Return, 5200);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(zebra)); })) << count;
    EXPECT_EQ(PopupNamed("FindShell"), nullptr);
    ResetProgramState();
  }
}

TEST_F(NoteListWindowTest, TheViewGrowsWithTheNamesUpToHalfTheScreen) {
  MakeNote(std::string(400, 'w'));
  MakeNote("short");
  OpenNoteList(Head(), false);
  Widget shell = PopupNamed("FindShell");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  Widget viewport = XtNameToWidget(shell, "FindForm.FindViewport");
  EXPECT_EQ(viewport->core.width, program.screen_width / 2);
  EXPECT_EQ(viewport->core.height, 100);
  CloseNoteList(nullptr, nullptr, nullptr);
  for (int i = 0; i < 100; ++i) MakeNote("n" + std::to_string(i));
  OpenNoteList(Head(), false);
  shell = PopupNamed("FindShell");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  viewport = XtNameToWidget(shell, "FindForm.FindViewport");
  EXPECT_EQ(viewport->core.height, program.screen_height / 2);
}

}  // namespace
