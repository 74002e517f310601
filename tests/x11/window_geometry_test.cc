// Where a note's window stands as the program follows it against a real
// server: the test plays the window manager that frames the window, lets it
// go and takes it anew, and moves and resizes it.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Xlib.h>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class WindowGeometryTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UseNoteSettings(Notes().settings().note_dir, 1024);
  }
  void TearDown() override {
    ResetProgramState();
    for (Window frame : frames_) XDestroyWindow(program.display, frame);
    XSync(program.display, False);
  }
  Note* Shown(int x, int y) { return ShowNoteAt(x, y); }
  static Window WindowOfShell(const Note* note) { return XtWindow(NoteShell(note)); }
  static Window ParentOf(Window w) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(program.display, w, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent;
  }
  // Puts the note's window into a frame at x, y with a border, as a
  // reparenting window manager does, or (frame None) back on the root at
  // x, y, as one that ends does; pumped until the program has the notice.
  void Reparent(const Note* note, Window frame, int x, int y) {
    Window parent = frame == None ? DefaultRootWindow(program.display) : frame;
    XReparentWindow(program.display, WindowOfShell(note), parent, x, y);
    ASSERT_TRUE(PumpUntil([&] { return ParentOf(WindowOfShell(note)) == parent; }));
    Pump();
  }
  Window Frame(int x, int y, unsigned int border) {
    Window frame =
        XCreateSimpleWindow(program.display, DefaultRootWindow(program.display), x, y, 240, 200, border, 0, 0);
    XMapWindow(program.display, frame);
    frames_.push_back(frame);
    return frame;
  }
  void Move(Window w, int x, int y) {
    XMoveWindow(program.display, w, x, y);
    ASSERT_TRUE(PumpUntil([&] {
      XWindowAttributes a;
      XGetWindowAttributes(program.display, w, &a);
      return a.x == x && a.y == y;
    }));
    Pump();
  }
  static Point Current(const Note* note) {
    Point p{};
    WindowOf(note)->CurrentPosition(&p.x, &p.y);
    return p;
  }
  std::vector<Window> frames_;
};

// What a save would record: the place the window stands at.
void Record(Note* note, Point p) {
  note->x = p.x;
  note->y = p.y;
}

TEST_F(WindowGeometryTest, AWindowManagerThatLetsGoOrTakesAnewMovesNothing) {
  Note* note = Shown(40, 60);
  Point p = Current(note);
  EXPECT_EQ(p.x, 40);
  EXPECT_EQ(p.y, 60);

  // Framed: the window stands at its frame's outer corner, and a move to
  // the inside of the frame's border would not move it.
  Window first = Frame(30, 35, 2);
  Reparent(note, first, 5, 20);
  p = Current(note);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.y, 35);
  Record(note, p);
  int x = 0, y = 0;
  ASSERT_TRUE(WindowOf(note)->PlaceForMove(&x, &y));
  EXPECT_EQ(x, 32);
  EXPECT_EQ(y, 37);

  // The window manager ends: the window goes back on the root at the same
  // spot on screen, without its frame. Nobody moved the note.
  Reparent(note, None, 37, 57);
  p = Current(note);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.y, 35);
  ASSERT_TRUE(WindowOf(note)->PlaceForMove(&x, &y));
  EXPECT_EQ(x, 37) << "unframed: its own corner";
  EXPECT_EQ(y, 57);

  // Moved while on its own: a move.
  Move(WindowOfShell(note), 100, 120);
  p = Current(note);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 120);
  Record(note, p);

  // A new window manager frames it: still no move, until the frame moves.
  Window second = Frame(96, 100, 1);
  Reparent(note, second, 3, 19);
  p = Current(note);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 120);
  // Moving a frame tells the window nothing; an ICCCM window manager
  // sends it a notice of its own.
  Move(second, 300, 310);
  p = Current(note);
  EXPECT_EQ(p.x, 100) << "no notice, no look";
  EXPECT_EQ(p.y, 120);
  XEvent notice{};
  notice.xconfigure.type = ConfigureNotify;
  notice.xconfigure.event = WindowOfShell(note);
  notice.xconfigure.window = WindowOfShell(note);
  notice.xconfigure.x = 304;
  notice.xconfigure.y = 330;
  notice.xconfigure.width = 227;
  notice.xconfigure.height = 169;
  XSendEvent(program.display, WindowOfShell(note), False, StructureNotifyMask, &notice);
  XSync(program.display, False);
  Pump();
  p = Current(note);
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 310);
  Record(note, p);
  p = Current(note);
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 310);
  Reparent(note, None, 304, 330);
}

TEST_F(WindowGeometryTest, MovesAskedForAreLookedAtAgain) {
  Note* note = Shown(40, 60);
  NoteWindow::LookAt({WindowOf(note)});
  int x = 0, y = 0;
  ASSERT_TRUE(WindowOf(note)->PlaceForMove(&x, &y));
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 60);

  WindowOf(note)->MoveTo(200, 210);
  EXPECT_EQ(NoteShell(note)->core.x, 200) << "the toolkit's idea of the place follows at once";
  EXPECT_EQ(NoteShell(note)->core.y, 210);
  EXPECT_FALSE(WindowOf(note)->PlaceForMove(&x, &y)) << "not known until looked at";
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    XGetWindowAttributes(program.display, WindowOfShell(note), &a);
    return a.x == 200 && a.y == 210;
  }));
  Pump();
  NoteWindow::LookAt({WindowOf(note)});
  ASSERT_TRUE(WindowOf(note)->PlaceForMove(&x, &y));
  EXPECT_EQ(x, 200);
  EXPECT_EQ(y, 210);
  Point p = Current(note);
  EXPECT_EQ(p.x, 200);
  EXPECT_EQ(p.y, 210);
  Record(note, p);

  // Hiding it looks once more, and keeps a move in the note; hidden, it
  // stands where it was hidden, whatever happens to its window.
  Move(WindowOfShell(note), 250, 260);
  note->moved = false;
  WindowOf(note)->Hide();
  EXPECT_TRUE(note->hidden);
  EXPECT_EQ(note->x, 250);
  EXPECT_EQ(note->y, 260);
  EXPECT_TRUE(note->moved);
  XMoveWindow(program.display, WindowOfShell(note), 500, 500);
  Pump();
  p = Current(note);
  EXPECT_EQ(p.x, 250);
  EXPECT_EQ(p.y, 260);
}

TEST_F(WindowGeometryTest, TheSizeFollowsTheNoticesWithoutAsking) {
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  CreateNoteWindow(note);
  // Before the first notice: as the toolkit made the shell.
  WindowOf(note)->KeepSize();
  EXPECT_EQ(note->window_width, NoteShell(note)->core.width);
  EXPECT_EQ(note->window_height, NoteShell(note)->core.height);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));

  XResizeWindow(program.display, WindowOfShell(note), 321, 234);
  ASSERT_TRUE(PumpUntil([&] { return note->window_width == 321 && note->window_height == 234; }));
  XFlush(program.display);
  unsigned long before = NextRequest(program.display);
  WindowOf(note)->KeepSize();
  EXPECT_EQ(NextRequest(program.display), before) << "no request";
  EXPECT_EQ(note->window_width, 321);
  EXPECT_EQ(note->window_height, 234);
}

}  // namespace
