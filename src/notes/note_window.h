// The note window: a shell with a File menu, a Notes menu, the alarm
// indicator and a text area that edits the note's buffer in place.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xaw/Text.h>

#include <cstddef>

#include "notes/note.h"

// Builds, realizes and (unless hidden) shows the note's window.
void CreateNoteWindow(Note* note);

// The text widget's change callback (client data: the Note).
void NoteChanged(Widget w, XtPointer client_data, XtPointer call_data);

// Marks the note as having unsaved changes (Save sensitive).
void MarkNoteChanged(Note* note);
// Marks the note as saved (Save insensitive).
void MarkNoteSaved(Note* note);

// The position of the note's outermost window (the window manager's frame,
// or the shell's own window when nothing reparents it) as the X server
// gives it: the outer corner of its border, which is also where a stored
// geometry puts it back. False when the server cannot tell.
bool OuterWindowPosition(Note* note, int* x, int* y);

// Pops the note's window down and flags it hidden, remembering where it stood.
void HideNoteWindow(Note* note);

// Bytes that can still be added to the note's text.
std::size_t NoteTextRoom(const Note* note);

// Inserts len bytes at pos in the note's text widget, after checking that
// they fit. Returns false, changing nothing, when they do not fit or the
// widget refuses them.
bool InsertNoteText(Note* note, XawTextPosition pos, const char* bytes, std::size_t len);

// Makes the text widget show the note's buffer again after the program has
// changed the buffer itself (for example, emptied it).
void ReloadNoteText(Note* note);

// The 12x12 bitmaps of the alarm indicator: clock while an alarm is set,
// blank otherwise. Made on the first note window.
Pixmap ClockBitmap();
Pixmap BlankBitmap();
