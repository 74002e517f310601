// Loading the stored notes into the note list (X-free).
#pragma once

#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/note_file.h"

// Reads every file of the note directory whose name begins with "note"
// (a sync engine's temporaries aside, storage/dir_names.h) and adds a record for each note file to the list; returns the notes
// added, in directory order. Each file that is no note is passed over, and
// gets one line in *problems (when given) that names it; so does a note
// directory that cannot be read.
std::vector<Note*> LoadNoteFiles(NoteList& notes, const NoteFileReadOptions& options,
                                 std::vector<std::string>* problems = nullptr);

// Reads what a note needs of one candidate file: the header and name lines,
// then at most the stated text plus one byte, never blocking on FIFOs or
// devices. False, with the reason, when it is not a regular file, cannot
// be read, or is not a note. *identity (when given) gets what the file was
// as it was read (storage/file_identity.h).
bool ReadCandidateFile(const std::string& path, const NoteFileReadOptions& options, std::string* bytes,
                       std::string* reason, StoredFile* identity = nullptr);

// How a note's file stands against what the program last read or wrote.
enum class FileNow {
  kSame,     // the file is what it was (or holds the same bytes)
  kChanged,  // another note stands there now: its bytes are in *bytes
  kNotNote,  // something that is no note stands there now
  kGone,     // no file stands there
};

// Looks at the file at path again. *now gets its identity (for kSame too:
// a file renamed over with the same bytes has a new inode); *bytes the
// bytes read, when it had to be read. A note never read or written
// (stored.known false) is kChanged whenever a note stands at path.
FileNow LookAgain(const std::string& path, const StoredFile& stored, const NoteFileReadOptions& options,
                  std::string* bytes, StoredFile* now);
