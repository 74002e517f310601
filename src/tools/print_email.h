// Printing a note and mailing it: the text goes to the private temporary
// file, and the configured print or mail command gets it through the shell.
#pragma once

#include <X11/Intrinsic.h>

#include "model/note.h"

// Builds the Email Note dialog for the note and pops it up at the pointer.
void OpenEmailDialog(Note* note);

// Callback of EmailAccept (client data: the note): sends the note's text to
// the typed address and closes the dialog; an empty note or a temporary
// file that cannot be opened leaves it open.
void AcceptEmail(Widget w, XtPointer client_data, XtPointer call_data);
// Callback of EmailCancel: closes the dialog.
void CancelEmail(Widget w, XtPointer client_data, XtPointer call_data);

// The open dialog's shell and address field, or null (for tests).
Widget EmailDialogShell();
Widget EmailAddressField();
