// Saving notes to their files.
#pragma once

#include <X11/Intrinsic.h>

#include "notes/note.h"

// The Save entry's callback (client data: the note's id): writes the note
// when it has unsaved changes or its window moved.
void SaveNote(Widget w, XtPointer client_data, XtPointer call_data);

// Saves every note in list order. With report on, an empty note list shows
// "There are no notes to save.".
void SaveAllNotes(bool report);

// Writes every note with unsaved changes from what the program holds in
// memory, making no X request; used when the display is lost.
void SaveChangedNotesWithoutDisplay();
