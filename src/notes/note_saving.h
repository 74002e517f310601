// Saving and loading notes that have windows: the X side of storage/.
#pragma once

#include "model/note.h"
#include "storage/note_file.h"

// Writes the note when it has unsaved changes or its window moved: asks
// the server where the window stands (only when it may have moved), hands
// the window's text to the record, writes the file and tells the user when
// that failed.
void SaveNote(Note* note);

// Saves every note in list order. With report on, an empty note list shows
// "There are no notes to save.".
void SaveAllNotes(bool report);

// Writes every note with unsaved changes from what the program holds in
// memory, making no X request; used when the display is lost.
void SaveChangedNotesWithoutDisplay();

// Loads every note file of the note directory and opens a window for each.
void LoadNotes();

// The screen's size in pixels, as note files record it.
ScreenSize CurrentScreen();
