// The command keys of a note's text: Ctrl+N opens a new note, Ctrl+S saves
// the note, Ctrl+F finds text in it (the text widget's own search),
// Ctrl+Shift+F searches all notes, Ctrl+W hides the note.
#pragma once

#include <X11/Intrinsic.h>

// What the keys do belongs to the parts of the program above a note's
// window, which hand it in at start-up (until then the keys do nothing):
// opening a new note, the search of all notes, and saving or hiding the
// note whose window holds the widget given.
struct NoteKeyCommands {
  void (*new_note)() = nullptr;
  void (*search_all_notes)() = nullptr;
  void (*save_note)(Widget) = nullptr;
  void (*hide_note)(Widget) = nullptr;
};
void SetNoteKeyCommands(const NoteKeyCommands& commands);

// Binds the keys on a note's text widget, over its own bindings. The first
// call registers their actions: new-note, save-note, hide-note and
// search-all-notes.
void AddNoteCommandKeys(Widget text);
