// Loading the stored notes at start-up.
#pragma once

#include <string>

// Reads every file of the note directory whose name begins with "note" and
// opens a window for each note file.
void LoadNotes();

// Reads one candidate file whole, without blocking on FIFOs or devices:
// false when it is not a regular file or cannot be read.
bool ReadCandidateFile(const std::string& path, std::string* bytes);
