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

// The Name... command of a note's Notes menu: opens the dialog for the
// note. Its Confirm makes the field's value, as one line (note_name.h), the
// name and title of the note, and marks it changed; an empty value changes
// nothing. Cancel and the window manager's close button dismiss it.
void NameNote(Note* note);
