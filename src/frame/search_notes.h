// The search of all notes: a dialog with one field; as the user types, a
// list shows every note whose name or text holds what was typed (without
// regard to case), each with the line that holds it. Choosing a row shows
// and raises that note with the match selected and in view. Hidden notes
// are searched too.
#pragma once

// Opens the dialog at the pointer (or brings it to the top when it is up).
// The main menu's "Search All Notes" and Ctrl+Shift+F in a note.
void OpenNoteSearch();
