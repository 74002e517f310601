// The Insert Date dialog: eleven date layouts, one chosen with its arrow
// button, inserted at the note's insertion point on Accept.
#pragma once

#include <X11/Intrinsic.h>

#include "model/note.h"

// Builds the dialog for the note and pops it up at the pointer; the chosen
// row starts at 0.
void OpenInsertDate(Note* note);

// Callback of each InsertArrow (client data: the row 0..10).
void ChooseDateFormat(Widget w, XtPointer client_data, XtPointer call_data);
// Callbacks of Accept and Cancel (client data: the note).
void AcceptInsertDate(Widget w, XtPointer client_data, XtPointer call_data);
void CancelInsertDate(Widget w, XtPointer client_data, XtPointer call_data);

// The open dialog's shell and arrows, and the chosen row (for tests).
Widget InsertDateShell();
Widget InsertDateArrow(int row);
int ChosenDateRow();
