// Placing the program's shells on the screen, the window manager's frame
// included: pop-ups at the pointer, notes brought to the pointer or put back
// where they stood.
#pragma once

#include <X11/Intrinsic.h>

#include "app/placement.h"

// Puts a shell that is not up yet with its top-left corner at `at` (the
// outer corner of the window manager's frame, or of the shell's border
// without a window manager), then moves it wholly onto the screen, as
// Athena's menus are. Realizes the shell to learn its size.
void PlaceOnScreen(Widget shell, Point at);

// The pointer's position on the root window.
Point PointerPosition();

// PlaceOnScreen at the pointer.
void PlaceAtPointer(Widget shell);

// The outermost window of a realized shell (the window manager's frame, or
// the shell's own window when nothing reparents it) and its attributes.
// False when the server cannot tell.
bool FrameOf(Widget shell, Window* frame, XWindowAttributes* attrs);

// Moves a shell that is up so that the outer corner of its frame lands at
// `at`, moved wholly onto the screen; returns that corner. Nothing is asked
// of the window manager when the frame stands there already.
Point MoveFrameOnScreen(Widget shell, Point at);

// Makes a popped-down shell come back with the outer corner of its frame at
// `at` when it is next popped up, whatever the window manager would choose
// for a window it has not seen before.
void ReturnTo(Widget shell, Point at);
