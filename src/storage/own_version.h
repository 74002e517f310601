// A note made here whose number another machine gave a note of its own
// meanwhile (X-free). Two machines apart both give a new note the lowest
// free number; once they meet, an engine that keeps the last writer's file
// (and makes no conflict copy) puts the other machine's note in place of
// this one's file. Taking that version would lose this note: it is kept.
#pragma once

#include <string>

#include "model/note.h"

// Whether `theirs`, found at the file of a note with no unsaved change,
// would take the place of a version that exists nowhere else: the note's
// file was made here and no other version of it was seen since
// (Note::file_made_here), theirs does not hold the note's text (its
// characters in order, as an edit made on top of it would), and no
// conflict copy of the file in note_dir holds the bytes the note wrote
// (where one does, the engine kept this note's version).
bool OwnVersionAtRisk(const Note& note, const Note& theirs, const std::string& note_dir);

// Whether every character of `part` stands in `whole`, in the same order.
bool HoldsInOrder(const std::string& whole, const std::string& part);
