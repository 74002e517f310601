// Where a note's window stands and how big it is, as the window manager
// has it: the structure notices of the window, the looks taken at the X
// server, the moves the program asks for, and hiding and showing the window
// where it stood.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

#include "app/place_tracker.h"
#include "app/placement.h"
#include "model/note.h"

class WindowGeometry {
 public:
  explicit WindowGeometry(Note* note) : note_(note) {}
  WindowGeometry(const WindowGeometry&) = delete;
  WindowGeometry& operator=(const WindowGeometry&) = delete;

  // The shell's geometry resource for the note's stored size and place
  // ("WxH+X+Y"); it lives as long as this object (the toolkit keeps the
  // pointer, not a copy).
  const char* GeometryResource();
  // Follows the structure notices of the note's shell, once realized.
  void Track(Widget shell);

  // Where the window stands: the note's place, unless the window may have
  // moved since the last look; then the server is asked (once; a notice
  // that comes in meanwhile makes the next call ask again). A hidden window
  // stands where it was hidden. A window the window manager let go of or
  // took anew, but nobody moved, stands at the note's place.
  void CurrentPosition(int* x, int* y);
  // Takes where the window stands (CurrentPosition) into the note: a new
  // place is kept in x and y and marks the note moved until a save writes
  // it.
  void TakePlace();
  // Asks the server at once where every window of the list that may have
  // moved since the last look stands: a few round trips in all, however
  // many windows there are. CurrentPosition and PlaceForMove then need none.
  static void LookAt(const std::vector<WindowGeometry*>& windows);
  // Where the window stands in the terms of MoveTo: a move there would not
  // move it. False when that is not known (the window may have moved since
  // the last look, or the server could not tell).
  bool PlaceForMove(int* x, int* y) const;
  // Asks for the window to go to x, y (the window manager puts it there:
  // twm the inside of its frame's border, where there is none the
  // window's outer corner) without waiting for the move to be done; the
  // toolkit's idea of the shell's place follows.
  void MoveTo(int x, int y);
  // Keeps the window's size in the note, as the structure notices of the
  // window told it (or as the toolkit made it, before the first notice);
  // asks the server nothing.
  void KeepSize();

  // Pops the window down and flags the note hidden, remembering where its
  // frame stood; Show puts it up again exactly there (or where the note's
  // file put it) and clears the flag.
  void Hide();
  void Show();
  // Moves the window of a visible note (its frame's outer corner) to `at`,
  // kept wholly on the screen, records that place in the note and raises it.
  void BringTo(Point at);

 private:
  static void TrackStructure(Widget w, XtPointer client_data, XEvent* event, Boolean* go_on);

  Note* note_;
  Widget shell_ = nullptr;
  std::string resource_;
  PlaceTracker tracker_;
};
