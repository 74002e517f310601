// Writing note files from note records (X-free).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/atomic_file.h"
#include "storage/note_file.h"
#include "storage/save_writer.h"

// Writes the note's file from its record, through a temporary file of its
// own that is renamed over it. A note without a file gets
// <note_dir>/note<id>, or the next free number when another program took
// that one meanwhile; it never replaces a file that is already there.
// Returns true when the file is on disk; otherwise false with *err set to
// what the user is told and *detail (when given) to the failed call in the
// system's words ("<file>: <system's text>"; empty when no call failed).
// A failed flush of the directory leaves the new file in place, as the
// note's file, but fails the save. A temporary left by a failed rename
// (kept in the record) is removed once a later save of the note succeeds.
// Does not touch the changed flag; the record's stored hidden flag becomes
// what the new file holds. In a pass, the note directory is flushed by the
// pass (once for all its saves) instead of after this file's rename, and the
// file's temporary may have been written ahead with the same bytes.
// What a save found at the files of notes that another program (a sync
// engine, another machine) changed or removed since this one last read or
// wrote them. Nothing is lost: a note with no unsaved change takes the
// file's version (or, its file deleted, is to go), and a note changed here
// and there keeps its version while the file's becomes a note of its own.
struct OutsideChanges {
  NoteFileReadOptions options;  // how the program reads note files
  // Notes that took their file's version (text, name, place, size, flags,
  // alarm) and were not written: their windows must show it.
  std::vector<Note*> taken;
  // Notes whose file was deleted elsewhere and that had no unsaved change:
  // not written; they are to go, without a file to delete.
  std::vector<Note*> gone;
  // The other versions of notes changed here and elsewhere, each written
  // to a file of its own (the next free number) with a name that says so,
  // not yet in the note list.
  std::vector<std::unique_ptr<Note>> made;
  // Notes read from files that came into the note directory (the watch of
  // the directory finds them), not yet in the note list.
  std::vector<std::unique_ptr<Note>> arrived;
};

// The mark on the name of a note made from another program's version.
constexpr const char* kFromSyncMark = " (from sync)";
// How far right and down of the note's place the other version stands.
constexpr int kOtherVersionOffset = 30;

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err,
                   ReplacePass* pass = nullptr, std::string* detail = nullptr, OutsideChanges* outside = nullptr);
// The same with the note's file formatted already (FormatNoteFile). With
// `outside`, a file the program read or wrote before is looked at again
// first (storage/file_identity.h); when another program changed or removed
// it meanwhile, OutsideChanges says what was done instead.
bool WriteNoteFile(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                   ReplacePass* pass = nullptr, std::string* detail = nullptr, OutsideChanges* outside = nullptr);

// The two halves of WriteNoteFile, for a write done elsewhere (SaveWriter).
// PrepareNoteWrite looks at the note's file again (as WriteNoteFile does
// with `outside`) and, when the file is to be written, fills *write with
// the path, the bytes and the check made right before the rename; a note
// without a file gets its path now. kNothingToWrite: another program's
// version was taken or the file is gone (see OutsideChanges); kFailed: with
// *err and *detail, as WriteNoteFile's.
enum class NoteWriteStart { kWrite, kNothingToWrite, kFailed };
NoteWriteStart PrepareNoteWrite(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                                std::string* detail, OutsideChanges* outside, FileWrite* write);
// Takes what came of the write into the record (the file, its identity,
// the stored hidden flag, a temporary left by a failed rename) and, when it
// failed, words it for the user as WriteNoteFile does. True when the file
// is on disk. A failure at ReplaceDetails::kChanged, or a new note's file
// name found taken (details.exists), is for WriteNoteFile to try again.
bool FinishNoteWrite(Note* note, const FileWrite& write, std::string* err, std::string* detail);

// Writes the other version of a note changed here and elsewhere (`found`,
// the bytes now at its file) to a file of its own under the next free
// number, its name marked kFromSyncMark, and adds it to outside->made.
// False, with *err, when it could not be written (then the note's file must
// not be replaced either).
bool KeepOtherVersion(const NoteList& notes, const Note& note, const std::string& found, OutsideChanges* outside,
                      std::string* err, std::string* detail);

// What the user is told of the notes made from other programs' versions
// (their names, at most a screenful of them).
std::string BothVersionsMessage(const std::vector<std::string>& names);

// Makes the note show a version of its file another program wrote: text,
// name, place, size, flags and alarm, and what the file is now.
// The buffer grows in steps of `unit`.
void TakeFileVersion(Note* note, Note&& from_file, const StoredFile& file, std::size_t unit);

// What a save tells of each note it tried: whether the file is on disk, and
// if not what the user is told and the failed call in the system's words
// (as WriteNoteFile's err and detail).
using SaveTold =
    std::function<void(Note* note, bool written, const std::string& err, const std::string& detail)>;

// The one way notes are saved: writes the file of each note of `which`, in
// order, formatting each one once, and marks each one written saved and no
// longer moved. With `ahead`, the files of each stretch of
// kNotesWrittenAhead notes are written first and sent to the disk together,
// then each one is flushed and renamed, and the note directory is flushed
// once at the end. `told` (may be empty) hears of every note. Returns
// whether every note was written and the note directory flushed; a failed
// flush of the directory is in *flush_err (empty otherwise).
bool SaveNotes(const NoteList& notes, const std::vector<Note*>& which, ScreenSize screen, bool ahead,
               const SaveTold& told, std::string* flush_err, OutsideChanges* outside = nullptr);

// Writes every note that needs it (Note::NeedsWrite), from the records
// alone, through SaveNotes with the files written ahead. Used when the
// display is lost. False when a save or the flush failed, with *err holding
// one line for each failed call in the system's words.
bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err,
                      const NoteFileReadOptions* options = nullptr);
