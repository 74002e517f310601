// The main menu: notes of the standard sizes and the commands on all notes,
// popped up by button 3 on the control window.
#pragma once

#include <X11/Intrinsic.h>

// Builds the main menu, a popup child of toplevel named "Menu", and returns
// it. Called once at start-up, after the control window and before
// toplevel is realized.
Widget CreateMainMenu();
