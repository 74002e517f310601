// The recovery place (X-free): while a note has changes not yet saved, its
// text and name are kept in <noteDir>/.recovery/note<id>, in the note file
// format, written the way a save writes (a new temporary in that directory,
// written, flushed to disk, renamed, the directory flushed). Loading does
// not take these files for notes; ApplyRecoveryFiles brings them back.
#pragma once

#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/note_file.h"

std::string RecoveryDirectory(const std::string& note_dir);

// The number a note's recovery file goes under: its file's, where the next
// start finds the note (a new note whose number was taken is saved under
// another), or its id while it has no file.
int RecoveryNumber(const Note& note);
std::string RecoveryPath(const std::string& note_dir, int id);

// Writes the bytes of a note file to the note's recovery file, making the
// directory (mode 0700) when missing. The file is dated after the note's
// file even when the clock was set back since the save, as the next start
// takes only a newer one. True when they are on disk, with
// *path the file; otherwise false and *error says what failed
// ("<file>: <system's text>").
bool WriteRecoveryFile(const std::string& note_dir, int id, const std::string& bytes, std::string* path,
                       std::string* error);

// Removes the note's recovery file, and the directory when that leaves it
// empty; true when the file is gone (or was never there), otherwise false
// with *error saying what failed ("<file>: <system's text>").
bool RemoveRecoveryFile(const std::string& note_dir, int id, std::string* error);

struct RecoveredNotes {
  // Notes that now hold recovered changes, marked changed: loaded notes
  // with the recovered text and name, and new notes that were never saved
  // (appended to the list, without a file).
  std::vector<Note*> notes;
  // Ids whose recovery files stay as they are because they could not be
  // read or belong to no note; each has its line in problems.
  std::vector<int> kept;
  // What the user is told, one line each ("<file>: <why>"): the files kept,
  // and a recovery place that could not be read.
  std::vector<std::string> problems;
};

// Run once after the note files are loaded and before their windows are
// made. A recovery file newer than its note's file, or one with no note
// file at all, is applied; one not newer than its note's file is stale and
// removed; one that cannot be read is kept, reported and not applied.
// Temporaries left by an interrupted write are removed. No note file is
// written.
RecoveredNotes ApplyRecoveryFiles(NoteList& notes, const NoteFileReadOptions& options);

// The text of the popup that lists the recovered notes by name (at most a
// screenful of them).
std::string RecoveryMessage(const std::vector<std::string>& names);
