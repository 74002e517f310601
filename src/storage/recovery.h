// The recovery place (X-free): while a note has changes not yet saved, its
// text and name are kept in <noteDir>/.recovery/<name>, one file per note:
// the name of the note's file (note1, note1~, note1.sync-conflict-..., each
// its own), or new<id> while the note has no file. It is written the way a
// save writes (a new temporary in that directory, written, flushed to disk,
// renamed, the directory flushed) in the note file format, its header line
// also naming what the note's file held when the program last read or wrote
// it. Loading does not take these files for notes; ApplyRecoveryFiles
// brings them back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/note_list.h"
#include "storage/note_file.h"

std::string RecoveryDirectory(const std::string& note_dir);
// Where recovery files that could not be read are moved to.
std::string KeptRecoveryDirectory(const std::string& note_dir);

// The name of the note's recovery file: its file's name, or "new<id>" while
// it has none.
std::string JournalName(const Note& note);
std::string RecoveryPath(const std::string& note_dir, const std::string& name);

// The bytes of a recovery file: a note file's bytes with `base` (what the
// note's file held) named at the end of the header line, past the fourteen
// numbers, where a reader of note files looks no further.
std::string JournalBytes(const std::string& note_file, const StoredFile& base);
// The same bytes made from the note itself, its text copied once; the
// second puts them in *out, using its memory again.
std::string JournalFileBytes(const Note& note, ScreenSize screen);
void JournalFileBytes(const Note& note, ScreenSize screen, std::string* out);
// Reads the base a recovery file names; false when it names none (a file
// of an older stikkel). base->known is false for a note that had no file.
bool ReadJournalBase(std::string_view bytes, StoredFile* base);

// Writes bytes to the recovery file `name`, making the directory (mode
// 0700) when missing. True when they are on disk, with *path the file;
// otherwise false and *error says what failed ("<file>: <system's text>").
bool WriteRecoveryFile(const std::string& note_dir, const std::string& name, const std::string& bytes,
                       std::string* path, std::string* error);

// Removes the recovery file `name`, and the directory when that leaves it
// empty; true when the file is gone (or was never there), otherwise false
// with *error saying what failed ("<file>: <system's text>").
bool RemoveRecoveryFile(const std::string& note_dir, const std::string& name, std::string* error);

struct RecoveredNotes {
  // Notes that now hold recovered changes, marked changed: loaded notes
  // with the recovered text and name, and notes made from recovery files
  // (appended to the list, without a file).
  std::vector<Note*> notes;
  // Of those, the notes made because the note's file had changed too since
  // the recovery file was written: both versions are kept, the recovered
  // one as a note of its own whose name says so.
  std::vector<Note*> both_kept;
  // Recovery files that could not be read, each moved into
  // KeptRecoveryDirectory: "<file>: <why>; moved to <place>" (or, when even
  // the move failed, "...; kept").
  std::vector<std::string> set_aside;
  // A recovery place that could not be read: "<dir>: <system's text>".
  std::vector<std::string> problems;
};

// Run once after the note files are loaded and before their windows are
// made. Each recovery file is judged against what the note's file holds now,
// never by dates: when the file is still what the recovery file was written
// against, the recovered changes are applied to its note; when the file
// changed since (or is gone, or is no note), the recovered version becomes a
// note of its own; a recovery file that holds what the note holds already is
// removed; one that cannot be read is moved aside. Temporaries left by an
// interrupted write are removed. No note file is written.
RecoveredNotes ApplyRecoveryFiles(NoteList& notes, const NoteFileReadOptions& options);

// The name a note takes when it is kept beside another version of itself:
// its name and the mark, cut short to the longest name a note has.
std::string MarkedName(const std::string& name, const std::string& mark);

// The text of the popup that lists the recovered notes by name (at most a
// screenful of them), the notes kept beside a changed file, and the
// recovery files set aside.
std::string RecoveryMessage(const std::vector<std::string>& names, const std::vector<std::string>& both_kept = {},
                            const std::vector<std::string>& set_aside = {});
