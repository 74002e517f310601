// Writing note files from note records (X-free).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "storage/atomic_file.h"
#include "storage/note_file.h"

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
bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err,
                   ReplacePass* pass = nullptr, std::string* detail = nullptr);
// The same with the note's file formatted already (FormatNoteFile).
bool WriteNoteFile(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                   ReplacePass* pass = nullptr, std::string* detail = nullptr);

// How many note files a pass writes ahead at a time (each holds a file
// descriptor open until its save).
constexpr std::size_t kNotesWrittenAhead = 128;

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
               const SaveTold& told, std::string* flush_err);

// Writes every note that needs it (Note::NeedsWrite), from the records
// alone, through SaveNotes with the files written ahead. Used when the
// display is lost. False when a save or the flush failed, with *err holding
// one line for each failed call in the system's words.
bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err);
