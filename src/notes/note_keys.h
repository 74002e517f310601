// The command keys of a note's text: Ctrl+N opens a new note, Ctrl+S saves
// the note, Ctrl+F finds text in it (the text widget's own search),
// Ctrl+Shift+F searches all notes, Ctrl+W hides the note.
#pragma once

#include <X11/Intrinsic.h>

// What Ctrl+N and Ctrl+Shift+F do: opening a new note and the search of
// all notes belong to the program's frame, which hands them in at start-up
// (until then the two keys do nothing).
void SetNoteKeyCommands(void (*new_note)(), void (*search_all_notes)());

// Binds the keys on a note's text widget, over its own bindings. The first
// call registers their actions: new-note, save-note, hide-note and
// search-all-notes.
void AddNoteCommandKeys(Widget text);
