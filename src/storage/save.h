// Writing note files from note records (X-free).
#pragma once

#include <cstddef>
#include <string>

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
// note's file, but fails the save. A temporary left by a failed rename is
// removed once a later save of the note succeeds. Does not touch the changed flag; the record's
// stored hidden flag becomes what the new file holds. In a pass, the note
// directory is flushed by the pass (once for all its saves) instead of
// after this file's rename, and the file's temporary may have been written
// ahead (WriteNoteFileAhead).
bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err,
                   ReplacePass* pass = nullptr, std::string* detail = nullptr);

// Writes the temporary of the note's file for a WriteNoteFile of the note
// later in the pass, unless the record changes before it.
void WriteNoteFileAhead(const NoteList& notes, const Note& note, ScreenSize screen, ReplacePass* pass);

// How many note files a pass writes ahead at a time (each holds a file
// descriptor open until its save).
constexpr std::size_t kNotesWrittenAhead = 128;

// Writes every note that needs it (Note::NeedsWrite), from the records
// alone, and marks each one written saved; the files are written ahead and
// flushed together, and the note directory is flushed once at the end.
// Used when the display is lost. False when a save or the flush failed,
// with *err holding one line for each failed call in the system's words.
bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err);
