#include "notes/window_geometry.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>

#include "app/app.h"
#include "app/place_window.h"
#include "app/window_places.h"

const char* WindowGeometry::GeometryResource() {
  resource_ = std::to_string(note_->width) + "x" + std::to_string(note_->height) + "+" + std::to_string(note_->x) +
              "+" + std::to_string(note_->y);
  return resource_.c_str();
}

void WindowGeometry::Track(Widget shell) {
  shell_ = shell;
  XtAddEventHandler(shell_, StructureNotifyMask, False, TrackStructure, this);
}

void WindowGeometry::LookAt(const std::vector<WindowGeometry*>& windows) {
  std::vector<WindowGeometry*> asked;
  std::vector<Window> ids;
  for (WindowGeometry* window : windows) {
    if (!window->tracker_.MayHaveMoved() || !window->shell_ || !XtIsRealized(window->shell_)) continue;
    window->tracker_.StartLook();
    asked.push_back(window);
    ids.push_back(XtWindow(window->shell_));
  }
  std::vector<OuterPlace> places = OuterPlaces(program.display, ids);
  for (std::size_t i = 0; i < asked.size(); ++i) asked[i]->tracker_.TakeLook(places[i]);
}

void WindowGeometry::CurrentPosition(int* x, int* y) {
  *x = note_->x;
  *y = note_->y;
  // A hidden note cannot have been moved; its window is not managed while
  // it is withdrawn, so its own position would not be the frame's.
  if (note_->hidden) return;
  LookAt({this});
  Point at;
  if (!tracker_.TakeMove(&at)) return;
  *x = at.x;
  *y = at.y;
}

bool WindowGeometry::PlaceForMove(int* x, int* y) const {
  Point at;
  if (!tracker_.PlaceForMove(&at)) return false;
  *x = at.x;
  *y = at.y;
  return true;
}

void WindowGeometry::MoveTo(int x, int y) {
  // Not through the toolkit's geometry request: that waits for the window
  // manager to confirm every move (up to 5 s when it sends nothing, as twm
  // does for a frame that stays where it is).
  shell_->core.x = static_cast<Position>(x);
  shell_->core.y = static_cast<Position>(y);
  tracker_.Unsettle();
  if (XtIsRealized(shell_)) XMoveWindow(program.display, XtWindow(shell_), x, y);
}

void WindowGeometry::KeepSize() {
  if (note_->window_width > 0 && note_->window_height > 0) return;
  note_->window_width = shell_->core.width;
  note_->window_height = shell_->core.height;
}

void WindowGeometry::TakePlace() {
  int x = note_->x, y = note_->y;
  CurrentPosition(&x, &y);
  if (x == note_->x && y == note_->y) return;
  note_->x = x;
  note_->y = y;
  note_->moved = true;
}

void WindowGeometry::Hide() {
  // Remember where the note stood: once withdrawn its frame is gone.
  if (!note_->hidden) {
    tracker_.Unsettle();
    TakePlace();
  }
  note_->hidden = true;
  XtPopdown(shell_);
}

void WindowGeometry::Show() {
  if (!note_->hidden) return;
  ReturnTo(shell_, {note_->x, note_->y});
  XtPopup(shell_, XtGrabNone);
  note_->hidden = false;
}

void WindowGeometry::BringTo(Point at) {
  Point p = MoveFrameOnScreen(shell_, at);
  if (p.x != note_->x || p.y != note_->y) note_->moved = true;  // not yet in the note's file
  note_->x = p.x;
  note_->y = p.y;
  // The note is up already: this only raises it, and adds no grab.
  XtPopup(shell_, XtGrabNone);
}

// Keeps the size of the note's window known without asking the server (a
// note is written with it when the display is lost), and notes that the
// window may have moved since a save last looked.
void WindowGeometry::TrackStructure(Widget, XtPointer client_data, XEvent* event, Boolean*) {
  auto* window = static_cast<WindowGeometry*>(client_data);
  StructureNotice notice = StructureNotice::kOther;
  if (event->type == ReparentNotify)
    notice = event->xreparent.parent == RootWindowOfScreen(XtScreen(window->shell_))
                 ? StructureNotice::kReparentToRoot
                 : StructureNotice::kReparentToFrame;
  window->tracker_.Notice(notice, !window->note_->hidden);
  if (event->type != ConfigureNotify) return;
  window->note_->window_width = event->xconfigure.width;
  window->note_->window_height = event->xconfigure.height;
}
