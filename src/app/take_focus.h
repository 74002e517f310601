// Giving a window the keyboard focus once it can have it.
#pragma once

#include <X11/Intrinsic.h>

// Once the shell's window is first visible, gives it the keyboard focus
// and, inside it, hands the keys to `target`: a window the user opened
// from the keyboard is ready for typing without a move of the mouse.
void FocusWhenShown(Widget shell, Widget target);
