// The name dialog: one "Title for Note" dialog, made on first use and reused
// for every note, that renames a note and retitles its window.
#pragma once

#include <X11/Intrinsic.h>

#include "model/note.h"

// Shows the dialog at the pointer for this note, with its name in the field;
// the lists become the callbacks of Confirm and Cancel. Takes a
// non-exclusive grab while it is up.
void OpenNameDialog(const Note* note, XtCallbackList confirm, XtCallbackList cancel);

// Pops the dialog down; it stays for the next use.
void DismissNameDialog();

// Confirm: the field's value, made one line (note_name.h), becomes the name
// and title of the note whose id is the client data, and marks it changed.
// An empty value changes nothing.
void ApplyName(Widget w, XtPointer client_data, XtPointer call_data);

// Cancel, and the window manager's close button: dismisses the dialog.
void CancelName(Widget w, XtPointer client_data, XtPointer call_data);
