// What the program knows of where one of its top-level windows stands, kept
// from the window's structure notices and from the looks it takes at the X
// server: the decisions alone, with no X in sight.
#pragma once

#include "app/placement.h"

// A structure notice of the window, as far as its place goes.
enum class StructureNotice {
  kOther,            // moved, resized, mapped, unmapped, ...
  kReparentToRoot,   // the window manager let go of it (it ended)
  kReparentToFrame,  // a window manager put it in a frame
};

class PlaceTracker {
 public:
  // A structure notice of the window came in. `shown`: its note is not
  // hidden (the reparents of a withdrawn window tell nothing of its place).
  void Notice(StructureNotice notice, bool shown);
  // The window was asked to move, or is to be looked at again whatever
  // came in.
  void Unsettle() { may_have_moved_ = true; }

  // Set by every notice (ICCCM window managers tell a client of every move
  // of its frame) and cleared when a look starts: while it is clear the
  // window stands where the last look found it, and a look needs no server
  // round trip.
  bool MayHaveMoved() const { return may_have_moved_; }
  // A look is being taken; a notice that comes in before it is done makes
  // the next one look again.
  void StartLook() { may_have_moved_ = false; }
  // Takes what the server said of where the window stands. Only a change of
  // the outer place last seen is a move: the first place seen, or one seen
  // after the window manager let the window go or took it anew, stands for
  // the place the program already knows.
  void TakeLook(const OuterPlace& place);

  // The place the looks found, when that is a move not yet taken; false
  // otherwise. Taking it clears it.
  bool TakeMove(Point* at);
  // Where the window stands in the terms of a move request (the inside of
  // a reparenting window manager's frame border, where there is none the
  // window's outer corner): a move there would not move it. False when
  // that is not known (the window may have moved since the last look, or
  // the server could not tell).
  bool PlaceForMove(Point* at) const;

 private:
  bool may_have_moved_ = true;
  // The outer position last seen that stands for the place the program
  // knows (known once a look found it). When the window manager lets the
  // window go (the window is put back on the root at the same spot on
  // screen, without its frame) or a new one takes it, the outer position
  // changes though nobody moved the window: the next look takes the new
  // position as the same place (rebase_).
  bool seen_known_ = false;
  int seen_x_ = 0;
  int seen_y_ = 0;
  bool released_ = false;
  bool rebase_ = false;
  // What the last look found, and whether that is a move not yet taken.
  OuterPlace place_;
  bool moved_to_place_ = false;
};
