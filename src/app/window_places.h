// Where top-level windows stand, asked of the X server for many windows at
// once: the requests go out together and their replies are read together,
// so the cost in round trips does not grow with the number of windows.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "app/placement.h"

// The outer place of each window, in order. Costs one round trip per level
// of the window tree between the windows and the root, and one more (three
// under a reparenting window manager such as twm), whatever their number.
// When a window's parent cannot be asked, the window reached so far is taken.
std::vector<OuterPlace> OuterPlaces(Display* display, const std::vector<Window>& windows);
