// Loading the stored notes into the note list (X-free).
#pragma once

#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/note_file.h"

// Reads every file of the note directory whose name begins with "note"
// and adds a record for each note file to the list; returns the notes
// added, in directory order. Files that are no notes are passed over.
std::vector<Note*> LoadNoteFiles(NoteList& notes, const NoteFileReadOptions& options);

// Reads one candidate file whole, without blocking on FIFOs or devices:
// false when it is not a regular file or cannot be read.
bool ReadCandidateFile(const std::string& path, std::string* bytes);
