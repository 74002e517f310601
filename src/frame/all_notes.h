// Commands that act on every note, and creating a note of a standard size.
#pragma once

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
