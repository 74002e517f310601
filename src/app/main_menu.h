// The main menu: notes of the standard sizes and the commands on all notes,
// popped up by button 3 on the control window.
#pragma once

#include <X11/Intrinsic.h>

// The main menu's popup shell, named "Menu"; null until CreateMainMenu.
extern Widget main_menu;

// Builds the main menu as a popup child of toplevel. Called once at
// start-up, after the control window and before toplevel is realized.
void CreateMainMenu();

// The callback of every entry of the main menu; the client data is the
// entry's row (0 to 15).
void MainMenuSelect(Widget w, XtPointer client_data, XtPointer call_data);
