// Athena's text widget makes some edits in several steps: Replace All of
// its search popup replaces one match after another and stops at the first
// that fails. For a note those go in whole or not at all: a step refused
// for the cap undoes the steps before it (NoteSourceBeginEdit).
#pragma once

#include <X11/Intrinsic.h>

// Makes the multi-step edits of every note's text widget whole, from now on.
// Called once a note's text widget exists; later calls do nothing.
void KeepNoteEditsWhole(XtAppContext app);
