// The main menu and the commands on all notes behind it.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/all_notes.h"
#include "frame/main_menu.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

const char* const kRows[] = {
    "Create 1.5x2 Note", "Create 2x3 Note", "Create 3x3 Note",  "Create 3x4 Note",
    "Create 3x5 Note",   "Create 4x6 Note", " ",                "Raise All Notes",
    "Lower All Notes",   "Save All Notes",  "Hidden Notes",     "Unhide All Notes",
    "Cascade Notes",     "Find A Note",     "Search All Notes", " ",                "Exit",
};

std::vector<std::string> ErrorTexts() {
  std::vector<std::string> texts;
  for (Widget shell : PopupsNamed("ErrorShell")) texts.push_back(LabelOf(XtNameToWidget(shell, "errorDialog")));
  return texts;
}

// The menu's entries after its title, in order.
std::vector<Widget> Rows() {
  std::vector<Widget> rows;
  for (Widget child : ChildrenOf(PopupNamed("Menu")))
    if (std::string(XtName(child)) != "menuLabel") rows.push_back(child);
  return rows;
}

Widget Row(const char* name) {
  for (Widget w : Rows())
    if (name == std::string(XtName(w))) return w;
  return nullptr;
}

void Select(const char* name) {
  Widget row = Row(name);
  ASSERT_NE(row, nullptr) << name;
  XtCallCallbacks(row, XtNcallback, nullptr);
  Pump();
}

// Note windows among the root's children, bottom first.
std::vector<Note*> Stacking() {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(program.display, DefaultRootWindow(program.display), &root, &parent, &children, &count);
  std::vector<Note*> order;
  for (unsigned int i = 0; i < count; ++i)
    for (const auto& note : Notes())
      if (NoteShell(note.get()) && XtWindow(NoteShell(note.get())) == children[i]) order.push_back(note.get());
  if (children) XFree(children);
  return order;
}

// Where the note's shell stands; for a note loaded hidden and never shown
// (it has no shell), where its record puts it.
Point ShellPosition(const Note* note) {
  if (!NoteShell(note)) return {note->x, note->y};
  Position x = 0, y = 0;
  Arg args[2];
  XtSetArg(args[0], XtNx, &x);
  XtSetArg(args[1], XtNy, &y);
  XtGetValues(NoteShell(note), args, 2);
  return {x, y};
}

std::size_t ButtonCount() {
  Widget view_form = XtNameToWidget(PopupNamed("FindShell"), "*FindViewForm");
  Cardinal count = 0;
  Arg arg;
  XtSetArg(arg, XtNnumChildren, &count);
  XtGetValues(view_form, &arg, 1);
  return count;
}

// Puts anchorOffset back whatever happens in the test.
struct SavedOffset {
  int value = program.res.anchorOffset;
  ~SavedOffset() { program.res.anchorOffset = value; }
};

class MainMenuTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PopupNamed("Menu")) CreateMainMenu();
  }
  void TearDown() override {
    CloseNoteList(nullptr, nullptr, nullptr);
    DestroyPopupsNamed("ErrorShell");
  }
  Note* NoteAt(int x, int y, bool anchored = false, bool hidden = false) {
    Note* note = Notes().NewNote(-1);
    note->width = 120;
    note->height = 60;
    note->x = x;
    note->y = y;
    note->has_geometry = true;
    note->anchored = anchored;
    note->hidden = hidden;
    CreateNoteWindow(note);
    Pump();
    return note;
  }
  ProgramStateGuard program_state_;
};

TEST_F(MainMenuTest, TitleRowsAndSeparators) {
  EXPECT_STREQ(XtName(PopupNamed("Menu")), "Menu");
  EXPECT_EQ(XtParent(PopupNamed("Menu")), program.toplevel);
  EXPECT_TRUE(XtIsSubclass(PopupNamed("Menu"), simpleMenuWidgetClass));
  EXPECT_EQ(LabelOf(PopupNamed("Menu")), "Kleebord");
  Boolean on_screen = False;
  Arg arg;
  XtSetArg(arg, XtNmenuOnScreen, &on_screen);
  XtGetValues(PopupNamed("Menu"), &arg, 1);
  EXPECT_TRUE(on_screen);
  std::vector<Widget> rows = Rows();
  ASSERT_EQ(rows.size(), 17u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(std::string(XtName(rows[i])), kRows[i]) << i;
    EXPECT_TRUE(XtIsManaged(rows[i])) << i;
    if (i == 6 || i == 15) {
      EXPECT_EQ(XtClass(rows[i]), smeLineObjectClass) << i;
      EXPECT_FALSE(XtHasCallbacks(rows[i], XtNcallback) == XtCallbackHasSome) << i;
    } else {
      EXPECT_EQ(XtClass(rows[i]), smeBSBObjectClass) << i;
      EXPECT_EQ(LabelOf(rows[i]), kRows[i]) << i;
      EXPECT_EQ(XtHasCallbacks(rows[i], XtNcallback), XtCallbackHasSome) << i;
    }
  }
}

TEST_F(MainMenuTest, CreateRowsMakeNotesOfTheStandardSizes) {
  // The test server is 1920x1080 pixels at 96 dpi.
  struct Case {
    const char* row;
    int width, height;
  } cases[] = {
      {"Create 1.5x2 Note", 192, 144}, {"Create 2x3 Note", 288, 192}, {"Create 3x3 Note", 288, 288},
      {"Create 3x4 Note", 384, 288},   {"Create 3x5 Note", 480, 288}, {"Create 4x6 Note", 576, 384},
  };
  int id = 0;
  for (const Case& c : cases) {
    Select(c.row);
    ASSERT_EQ(Notes().size(), static_cast<std::size_t>(++id));
    Note* note = Notes().back().get();
    EXPECT_EQ(note->id, id);
    EXPECT_EQ(note->width, c.width) << c.row;
    EXPECT_EQ(note->height, c.height) << c.row;
    EXPECT_FALSE(note->has_geometry);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); })) << c.row;
    XWindowAttributes attrs;
    XGetWindowAttributes(program.display, XtWindow(NoteWidget(note, "NoteText")), &attrs);
    EXPECT_EQ(attrs.width, c.width) << c.row;
    EXPECT_EQ(attrs.height, c.height) << c.row;
  }
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

TEST_F(MainMenuTest, RowsWithNothingToDoSaySo) {
  struct Case {
    bool with_visible_note;
    const char* row;
    const char* message;
  } cases[] = {
      {false, "Raise All Notes", "There are no notes to raise."},
      {false, "Lower All Notes", "There are no notes to lower."},
      {false, "Save All Notes", "There are no notes to save."},
      {false, "Hidden Notes", "There are no hidden notes."},
      {true, "Hidden Notes", "There are no hidden notes."},
      {false, "Unhide All Notes", "There are no hidden notes to unhide."},
      {true, "Unhide All Notes", "There are no hidden notes to unhide."},
      {false, "Cascade Notes", "There are no anchored notes."},
      {true, "Cascade Notes", "There are no anchored notes."},
      {false, "Find A Note", "You have no notes."},
  };
  for (const Case& c : cases) {
    if (c.with_visible_note) NoteAt(50, 50);
    Select(c.row);
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{c.message}) << c.row;
    EXPECT_EQ(PopupNamed("FindShell"), nullptr) << c.row;
    DestroyPopupsNamed("ErrorShell");
    ResetProgramState();
  }
}

TEST_F(MainMenuTest, ListRowsOpenTheNoteList) {
  NoteAt(10, 10);
  NoteAt(20, 20, false, true);
  Select("Find A Note");
  ASSERT_NE(PopupNamed("FindShell"), nullptr);
  EXPECT_EQ(ButtonCount(), 2u);
  CloseNoteList(nullptr, nullptr, nullptr);
  Select("Hidden Notes");
  ASSERT_NE(PopupNamed("FindShell"), nullptr);
  EXPECT_EQ(ButtonCount(), 1u);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

// Raise and Lower All restack the shown notes only: a note hidden after it
// was shown keeps its place in the stack, and one loaded hidden and never
// shown has no window to restack.
TEST_F(MainMenuTest, RaiseAndLowerRestackTheShownNotesInListOrder) {
  Note* a = NoteAt(100, 100);
  Note* b = NoteAt(150, 150);
  Note* c = NoteAt(200, 200);
  Note* never_shown = NoteAt(250, 250, false, true);
  Note* hidden = NoteAt(300, 300);
  WindowOf(hidden)->Hide();
  Pump();
  Select("Lower All Notes");
  EXPECT_EQ(Stacking(), (std::vector<Note*>{c, b, a, hidden}));
  Select("Raise All Notes");
  EXPECT_EQ(Stacking(), (std::vector<Note*>{hidden, a, b, c}));
  LowerAllNotes();
  Pump();
  EXPECT_EQ(Stacking(), (std::vector<Note*>{c, b, a, hidden}));
  RaiseAllNotes();
  Pump();
  EXPECT_EQ(Stacking(), (std::vector<Note*>{hidden, a, b, c}));
  EXPECT_FALSE(IsMapped(NoteShell(hidden)));
  EXPECT_EQ(NoteShell(never_shown), nullptr);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

TEST_F(MainMenuTest, UnhideShowsEveryHiddenNoteQuietly) {
  Note* shown = NoteAt(10, 10);
  Note* h1 = NoteAt(30, 30, false, true);
  Note* h2 = NoteAt(60, 60, false, true);
  Select("Unhide All Notes");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(h1)) && IsMapped(NoteShell(h2)); }));
  EXPECT_FALSE(h1->hidden);
  EXPECT_FALSE(h2->hidden);
  EXPECT_TRUE(IsMapped(NoteShell(shown)));
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

TEST_F(MainMenuTest, CascadeDealsNotesToAnchorsInTurn) {
  SavedOffset saved;
  struct Case {
    int offset;
  } cases[] = {{15}, {-7}};
  for (const Case& c : cases) {
    program.res.anchorOffset = c.offset;
    Note* p = NoteAt(900, 900);
    Note* a = NoteAt(100, 200, true);
    Note* q = NoteAt(910, 910);
    Note* b = NoteAt(600, 300, true, true);  // hidden, still an anchor
    Note* hidden = NoteAt(920, 920, false, true);
    Note* r = NoteAt(930, 930);
    Note* s = NoteAt(940, 940);
    Select("Cascade Notes");
    int k = c.offset;
    struct Want {
      Note* note;
      int x, y;
    } wants[] = {
        {p, 100 + k, 200 + k}, {q, 600 + k, 300 + k}, {r, 100 + 2 * k, 200 + 2 * k},
        {s, 600 + 2 * k, 300 + 2 * k}, {a, 100, 200}, {b, 600, 300}, {hidden, 920, 920},
    };
    for (const Want& w : wants) {
      Point at = ShellPosition(w.note);
      EXPECT_EQ(at.x, w.x) << w.note->name << " offset " << c.offset;
      EXPECT_EQ(at.y, w.y) << w.note->name << " offset " << c.offset;
    }
    // Each moved note is raised in turn: S ends on top.
    std::vector<Note*> order = Stacking();
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.back(), s);
    EXPECT_TRUE(hidden->hidden);
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
    ResetProgramState();
  }
}

TEST_F(MainMenuTest, SeparatorRowsCarryNoCommand) {
  std::vector<Widget> rows = Rows();
  ASSERT_EQ(rows.size(), 17u);
  for (std::size_t row : {6u, 15u}) {
    EXPECT_NE(XtHasCallbacks(rows[row], XtNcallback), XtCallbackHasSome) << row;
    XtCallCallbacks(rows[row], XtNcallback, nullptr);
  }
  Pump();
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
}

}  // namespace
