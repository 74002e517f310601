// Ending the program: the exit request, the save prompt and auto-save.
// (The signals and X errors that lead to the exit request: frame/signals.)
#pragma once

#include <X11/Intrinsic.h>

// Ends the program at once when no note has anything to save. Otherwise,
// with saveNotes on, saves every changed or moved note and ends the
// program once all are on disk (the main loop goes on meanwhile; another
// request then changes nothing); when a note cannot be saved the program stays up with the
// save's popup and the note unsaved, unless a signal asked (by_signal):
// then each unsaved note's text goes to the recovery place, standard error
// says where, and the program ends with status 1. With saveNotes off, puts
// up the "Save Changed Notes?" prompt.
void RequestExit(bool by_signal = false);

// Unmaps toplevel, closes the display and exits with status 0.
[[noreturn]] void EndProgram();

// Arms auto-save: every interval minutes, counted on the monotonic clock
// from the end of the previous save.
void StartAutoSave();

// Saves all notes and arms the next auto-save.
void AutoSave(XtPointer client_data, XtIntervalId* id);
