// The control window: the plaid square through which the user raises and
// lowers every note and reaches the main menu.
#pragma once

#include <X11/Intrinsic.h>

// Creates the control window, a Plaid widget named "Plaid", as the child of
// toplevel. Call before toplevel is realized.
void CreateControlWindow();

// The control window built for parent: button 1 raises every note, button 2
// lowers every note. A size not given by resources is 64 pixels.
Widget MakeControlWindow(Widget parent);

// Makes the window manager's close button on toplevel end the program
// (RequestExit). Call once toplevel is realized.
void ExitOnControlWindowClose();
