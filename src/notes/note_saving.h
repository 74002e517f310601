// Saving and loading notes that have windows: the X side of storage/.
#pragma once

#include "model/note.h"
#include "storage/note_file.h"

// Whether the note has something its file lacks: unsaved changes, or a
// window that stands elsewhere (asks the server only when the window may
// have moved; a new place is kept in the record and marks it moved).
bool NoteNeedsSaving(Note* note);
// Whether any note needs saving; asks the server where the windows stand
// all at once.
bool AnyNoteNeedsSaving();

// The Save command. Writes the note when it needs saving: asks the server
// where the window stands (only when it may have moved), hands the
// window's text to the record, writes the file and shows the user a popup
// when that failed. False when a write failed.
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

// The screen's size in pixels, as note files record it.
ScreenSize CurrentScreen();

// How note files are read in this run: the current screen, the
// compatibility resource, and whether notes hold UTF-8.
NoteFileReadOptions ReadOptions();
