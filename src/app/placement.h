// Where windows go on the screen: plain arithmetic over positions and
// sizes, with no X in sight.
#pragma once

// A position on the root window, in pixels.
struct Point {
  int x;
  int y;
};

// The outermost window of a client window (the window manager's frame, or
// the window itself when nothing reparents it) and where it stands.
struct OuterPlace {
  bool known = false;       // false when the server could not tell (the window is gone)
  bool reparented = false;  // the outermost window is not the window itself
  int x = 0;                // the outer corner of its border on the root window
  int y = 0;
  int border = 0;  // its border width
};

// What a window occupies on the screen beyond its own width and height:
// its border on both sides, or the window manager's frame (borders and
// title bar) around it.
struct Decoration {
  int width = 0;
  int height = 0;
};

// The decoration of a window measured on the screen: the outermost window
// (the frame, or the window itself without a window manager), its border
// width, and the window's own width and height. Never negative.
Decoration DecorationOf(int outer_width, int outer_height, int outer_border, int width, int height);

// The start of a span of `length` pixels wanted at `start`, moved inside
// [0, screen) as Athena's menus do: a span that runs past the far edge ends
// at that edge; one that would still begin before 0 (it is longer than the
// screen) begins at 0.
int KeepSpanInside(int start, int length, int screen);

// The top-left corner of a window `width` by `height` pixels, decoration
// included, wanted with its top-left corner at `at`, moved wholly onto a
// screen of screen_width by screen_height pixels.
Point KeepInside(Point at, int width, int height, int screen_width, int screen_height);
