// The note list window: one button per note, by name; pressing one brings
// that note into view.
#pragma once

#include <X11/Intrinsic.h>

#include "model/note.h"

// Opens the list of the notes from `first` to the end of the note list (all
// of them when first is the head; none when it is null); with hidden_only,
// only the hidden ones. When nothing qualifies, says "There are no hidden
// notes." or "You have no notes." instead.
void OpenNoteList(const Note* first, bool hidden_only);

// A note's button (client data: the Note): shows a hidden note where it
// was, or moves a visible one to the pointer and raises it; then closes
// the list.
void ChooseNote(Widget w, XtPointer client_data, XtPointer call_data);

// The Cancel button: closes the list window.
void CloseNoteList(Widget w, XtPointer client_data, XtPointer call_data);
