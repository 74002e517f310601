// Building argument lists for children of Athena Form widgets.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Form.h>

// Appends the constraints of a child that keeps its size and place at the
// top left of its form (top and bottom XtChainTop, left and right
// XtChainLeft); returns the new count.
inline Cardinal AddFixedTopLeft(Arg* args, Cardinal n) {
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNbottom, XtChainTop); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  return n;
}

// AddFixedTopLeft, and no distance between the child and its neighbours
// (vertDistance, horizDistance and, for a child that is a form itself,
// defaultDistance 0).
inline Cardinal AddFlushTopLeft(Arg* args, Cardinal n) {
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNdefaultDistance, 0); n++;
  return n;
}
