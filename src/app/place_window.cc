#include "app/place_window.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "app/app.h"

namespace {

// What the window manager put around the last dialog (transient shell) and
// the last other shell it mapped; unknown until one was seen.
struct Learned {
  bool known = false;
  Decoration decoration;
};
Learned learned_dialog;
Learned learned_window;

Learned& LearnedFor(Widget shell) { return XtIsTransientShell(shell) ? learned_dialog : learned_window; }

bool OverrideRedirect(Widget shell) {
  Boolean override = False;
  Arg arg;
  XtSetArg(arg, XtNoverrideRedirect, &override);
  XtGetValues(shell, &arg, 1);
  return override;
}

// The decoration of a shell that is on the screen now.
bool Measure(Widget shell, Decoration* decoration) {
  Window frame;
  XWindowAttributes outer, own;
  if (!FrameOf(shell, &frame, &outer) || outer.map_state != IsViewable) return false;
  if (!XGetWindowAttributes(program.display, XtWindow(shell), &own)) return false;
  *decoration = DecorationOf(outer.width, outer.height, outer.border_width, own.width, own.height);
  return true;
}

// Learns the frame of each kind of shell from the first map after it was
// placed, for the next one.
void LearnDecoration(Widget shell, XtPointer, XEvent* event, Boolean*) {
  if (event->type != MapNotify) return;
  XtRemoveEventHandler(shell, StructureNotifyMask, False, LearnDecoration, nullptr);
  Decoration d;
  if (!Measure(shell, &d)) return;
  Learned& learned = LearnedFor(shell);
  learned.known = true;
  learned.decoration = d;
}

// What the shell will occupy beyond its own size once it is up: its border
// for a window no window manager touches; otherwise the frame last seen
// around a shell of its kind or, before any was, around the control window.
// A frame with a title bar only keeps a dialog that has none further from
// the edges.
Decoration Expected(Widget shell) {
  int border = 2 * shell->core.border_width;
  Decoration d{border, border};
  if (OverrideRedirect(shell)) return d;
  const Learned& learned = LearnedFor(shell);
  Decoration seen;
  if (learned.known)
    seen = learned.decoration;
  else if (!XtIsRealized(program.toplevel) || !Measure(program.toplevel, &seen))
    return d;
  return {std::max(d.width, seen.width), std::max(d.height, seen.height)};
}

}  // namespace

bool FrameOf(Widget shell, Window* frame, XWindowAttributes* attrs) {
  Window w = XtWindow(shell);
  Window root = None, parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  while (XQueryTree(program.display, w, &root, &parent, &children, &count)) {
    if (children) XFree(children);
    if (parent == root || parent == None) break;
    w = parent;
  }
  *frame = w;
  return XGetWindowAttributes(program.display, w, attrs) != 0;
}

void PlaceOnScreen(Widget shell, Point at) {
  XtRealizeWidget(shell);
  Decoration d = Expected(shell);
  Point p = KeepInside(at, shell->core.width + d.width, shell->core.height + d.height, program.screen_width,
                       program.screen_height);
  Arg args[2];
  XtSetArg(args[0], XtNx, static_cast<Position>(p.x));
  XtSetArg(args[1], XtNy, static_cast<Position>(p.y));
  XtSetValues(shell, args, 2);
  XtRemoveEventHandler(shell, StructureNotifyMask, False, LearnDecoration, nullptr);
  XtAddEventHandler(shell, StructureNotifyMask, False, LearnDecoration, nullptr);
}

Point PointerPosition() {
  Window root, child;
  int root_x = 0, root_y = 0, win_x, win_y;
  unsigned int mask;
  XQueryPointer(program.display, XtWindow(program.toplevel), &root, &child, &root_x, &root_y, &win_x, &win_y, &mask);
  return {root_x, root_y};
}

void PlaceAtPointer(Widget shell) { PlaceOnScreen(shell, PointerPosition()); }

Point MoveFrameOnScreen(Widget shell, Point at) {
  Window frame;
  XWindowAttributes outer;
  if (!FrameOf(shell, &frame, &outer)) return at;
  int width = outer.width + 2 * outer.border_width;
  int height = outer.height + 2 * outer.border_width;
  Point p = KeepInside(at, width, height, program.screen_width, program.screen_height);
  if (p.x == outer.x && p.y == outer.y) return p;
  // The window manager (twm) puts the inside of its frame where the window
  // is asked to go; without one the window's outer corner goes there.
  int inside = frame == XtWindow(shell) ? 0 : outer.border_width;
  XMoveWindow(program.display, XtWindow(shell), p.x + inside, p.y + inside);
  return p;
}

void ReturnTo(Widget shell, Point at) {
  if (!XtIsRealized(shell)) return;
  // A withdrawn window is the window manager's no more: the move reaches
  // the window itself, and the window manager puts its new frame's outer
  // corner at a position the user chose.
  XMoveWindow(program.display, XtWindow(shell), at.x, at.y);
  XSizeHints hints;
  long supplied = 0;
  if (!XGetWMNormalHints(program.display, XtWindow(shell), &hints, &supplied)) hints.flags = 0;
  hints.flags = (hints.flags & ~PPosition) | USPosition;
  hints.x = at.x;
  hints.y = at.y;
  XSetWMNormalHints(program.display, XtWindow(shell), &hints);
}
