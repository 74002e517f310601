// What other programs (a sync engine, another machine) did to note files,
// as the windows show it.
#pragma once

#include "storage/dir_change.h"
#include "storage/save.h"

// Shows what a save or the watch of the note directory found: a note that
// took its file's version shows it (in its window as it stands, which keeps
// the keyboard focus and the keys typed meanwhile); a note whose
// file was deleted elsewhere goes; the other versions of notes changed here
// and elsewhere join the note list with windows of their own, and one popup
// names them; notes from files that came join with windows of their own.
// Empties *outside.
void ShowOutsideChanges(OutsideChanges* outside);

// Makes the note's window again from its record (its text, name, place,
// size, flags and alarm).
void RemakeNoteWindow(Note* note);

// The note goes, its file (gone already) is not touched.
void DropNote(Note* note);

// The note is destroyed here: a copy of its file that a sync engine brings
// back later is a stale copy, not a new note.
void RememberDestroyedFile(const Note* note);
const DestroyedFiles& DestroyedNoteFiles();
