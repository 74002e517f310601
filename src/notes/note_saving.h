// Saving and loading notes that have windows: the X side of storage/.
#pragma once

#include <cstddef>
#include <functional>

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

// What a pass of SaveAllNotes came to: whether every note it tried is on
// disk (and the note directory flushed), and how many notes it tried.
struct SaveOutcome {
  bool all = true;
  std::size_t tried = 0;
};
using SaveDone = std::function<void(const SaveOutcome&)>;

// Saves every note in list order, each failure with its popup, in steps
// of the main loop: the notes are looked at a few hundred at a time (the
// server asked where those windows that may have moved stand, all at once)
// and their files formatted; a thread of their own writes, flushes and
// renames the files meanwhile, and the note directory is flushed once
// after the pass. A note counts as saved when its file is in place, if its
// text, name and place are still those written. `done` (may be empty) runs
// once the pass has ended. Asked while a pass runs, a second pass follows
// that one (with what still needs saving then), never two at once. With
// report on, an empty note list shows "There are no notes to save.".
void SaveAllNotes(bool report, SaveDone done = {});

// Takes into the notes what the pass under way has written so far (a
// rename under way is waited for), so that a look at the note files sees
// no file of this program's as another program's.
void TakeFinishedSaves();

// Before a note's file is replaced or removed here: the note's save in a
// pass under way is taken in when it is done, else dropped (it renames
// nothing afterwards), and the note stays to be saved.
void ForgetQueuedSave(Note* note);

// Blocks until the pass under way, if any, has every file on disk: before
// the program ends.
void WaitForSaves();

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
