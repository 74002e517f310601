// The file selection window: lists the subdirectories and regular files of
// one directory as buttons, with a text field for a typed path. In Open mode
// the chosen file is inserted into the note; in Export mode the note's text
// is written to the chosen file.
#pragma once

#include <string>

#include "model/note.h"

enum class SelectionMode { kOpen = 0, kExport = 1 };

// Builds the window for directory and pops it up with a nonexclusive grab.
// It stands where it stood the last time it was opened for this note, else
// at the pointer. When the directory cannot be listed the user is told and
// no window opens.
void OpenFileSelector(Note* note, SelectionMode mode, const std::string& directory);

// The Open... and Export... commands: open the window for the note in the
// directory homeDir names (else HOME, else "/").
void ImportFile(Note* note);
void ExportNote(Note* note);
