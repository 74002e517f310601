// What a change of one name in the note directory means for the notes
// (X-free): the rules the watch of the directory applies once changes have
// settled.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "model/note_list.h"
#include "storage/save.h"

// The files of notes destroyed here, by size and hash of their bytes: a
// stale copy of one that a sync engine brings back is not a new note.
using DestroyedFiles = std::set<std::pair<unsigned long long, unsigned long long>>;

enum class DirChange {
  kNothing,    // nothing to do (the program's own write, the same bytes, no note)
  kTaken,      // a note with no unsaved change took its file's new version
  kGone,       // the file of a note with no unsaved change was deleted: it goes
  kSaveAgain,  // the file of a note with unsaved changes was deleted: save it
  kKeptBoth,   // changed here and there: the other version is a note of its own
  kKeptOwn,    // a note made here met another machine's note under its number,
               // which is a note of its own now: the note is to be saved again
  kArrived,    // a new note file came
  kStaleCopy,  // a copy of a destroyed note's file came, and was removed
};

// Looks at the file `name` of the note directory and applies the rules:
// what was done goes into *outside (taken, gone, made, arrived), as a save
// does; *err says what failed when the other version of a note could not
// be kept (the note keeps its changes, its file is left alone).
DirChange LookAtName(NoteList& notes, const std::string& name, const DestroyedFiles& destroyed,
                     OutsideChanges* outside, std::string* err);
