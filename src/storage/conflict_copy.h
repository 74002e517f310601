// Notes read from a sync engine's conflict copy (X-free). Syncthing makes
// no conflict copy of a conflict copy: when one such file is changed on two
// machines at once, it keeps the newer version and drops the other. So the
// program never writes a conflict copy in place: before its note is
// written, the file is moved to a note number of its own, and from then on
// it is an ordinary note file, whose conflicts the engine keeps.
#pragma once

#include "model/note_list.h"

// When the note's file is a conflict copy (storage/dir_names.h) that stands
// in the note directory, renames it to a free "note<N>" (the note's own
// number when no file has it, else the lowest number no note and no file
// has), never over another file, and makes that the note's file. The file
// keeps its bytes, inode and times, so what the program knows of it still
// holds. When the conflict copy is gone and the note has unsaved changes,
// the note is made a note without a file, which its save writes under a
// number of its own. Returns whether the note's file path changed.
bool MoveOffConflictCopy(const NoteList& notes, Note* note);
