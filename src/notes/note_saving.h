// Saving and loading notes that have windows: the X side of storage/.
#pragma once

#include "model/note.h"
#include "notes/note_file_options.h"

// Takes where the note's window stands into the record: a new place is
// kept in x and y and marks the note moved until a save writes it. Asks the
// server only when the window may have moved.
void TakeWindowPlace(Note* note);
// Takes where every shown note's window stands into its record (the server
// is asked at once for all that may have moved) and says whether any note
// needs saving (Note::NeedsWrite).
bool AnyNoteNeedsSaving();

// The Save command. Takes where the window stands into the record
// (TakeWindowPlace) and writes the note when it needs saving, reading the
// text from the window; shows the user a popup when that failed. False when
// a write failed.
bool SaveNote(Note* note);

// Saves every note in list order, each failure with its popup; false when
// any note could not be saved. The server is asked where the windows that
// may have moved stand all at once (a few round trips in all), and the note
// directory is flushed once after the pass. With report on, an empty note
// list shows "There are no notes to save.".
bool SaveAllNotes(bool report);

// Writes the text of every note that is still unsaved to the recovery place
// (storage/recovery.h), saying on standard error where each one went (or,
// when even that fails, writing the text itself there). Returns how many
// notes were unsaved.
int RecoverUnsavedNotes();

// Writes every note with unsaved changes from what the program holds in
// memory, making no X request; used when the display is lost.
void SaveChangedNotesWithoutDisplay();

// Loads every note file of the note directory and opens a window for each.
void LoadNotes();
