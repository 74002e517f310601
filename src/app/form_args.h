// Building argument lists for children of Athena Form widgets.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Form.h>

// Appends the constraints that tie a child's four edges to its form's as
// they are named; returns the new count.
inline Cardinal AddChains(Arg* args, Cardinal n, XtEdgeType top, XtEdgeType bottom, XtEdgeType left,
                          XtEdgeType right) {
  XtSetArg(args[n], XtNtop, top); n++;
  XtSetArg(args[n], XtNbottom, bottom); n++;
  XtSetArg(args[n], XtNleft, left); n++;
  XtSetArg(args[n], XtNright, right); n++;
  return n;
}

// Appends the constraints of a child that keeps its size and place at the
// top left of its form (top and bottom XtChainTop, left and right
// XtChainLeft); returns the new count.
inline Cardinal AddFixedTopLeft(Arg* args, Cardinal n) {
  return AddChains(args, n, XtChainTop, XtChainTop, XtChainLeft, XtChainLeft);
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
