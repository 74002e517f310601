// Printing a note and mailing it: the text goes to the private temporary
// file, and the configured print or mail command gets it through the shell.
#pragma once

#include "model/note.h"

// The Print command: runs the print command on the note's text.
void PrintNote(Note* note);

// The Email... command: builds the Email Note dialog for the note and pops
// it up at the pointer. Its Accept sends the note's text to the typed
// address and closes the dialog (an empty note or a temporary file that
// cannot be opened leaves it open); Cancel closes it.
void EmailNote(Note* note);
