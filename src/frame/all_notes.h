// Commands that act on every note, and creating a note of a standard size.
#pragma once

#include <string>

// Raises every note's window in list order: the last note ends on top.
// With no notes, says "There are no notes to raise.".
void RaiseAllNotes();
// Lowers every note's window in list order: the last note ends lowest.
// With no notes, says "There are no notes to lower.".
void LowerAllNotes();

// Shows every hidden note where it was.
void UnhideAllNotes();

// Moves the visible notes that are not anchored over the anchored ones,
// dealt out in turn, each anchorOffset further right and down.
void CascadeNotes();

// Creates and shows a new note of standard size `index` (0: 1.5x2, 1: 2x3,
// 2: 3x3, 3: 3x4, 4: 3x5, 5: 4x6 inches, height by width).
void CreateSizedNote(int index);

// Checks the newNoteSize resource once at start-up: a size that is not
// HEIGHTxWIDTH in inches is replaced by 3x5 with a line on standard error.
void CheckNewNoteSize();

// Opens a new note of the newNoteSize size, holding `text`, at the pointer
// (moved wholly onto the screen), and gives it the keyboard focus: -new and
// Ctrl+N. A note given a text counts as changed.
void NewNoteForTyping(const std::string& text);

// Hides every shown note; when all are hidden, shows them all again where
// they were. With no notes, does nothing.
void ToggleAllNotes();
