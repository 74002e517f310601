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
// Failed calls on files are reported on standard error. Returns true when
// the file is on disk; otherwise false with *message set to what the user
// is told. A temporary left by a failed rename is removed once a later
// save of the note succeeds. Does not touch the changed flag; the record's
// stored hidden flag becomes what the new file holds. In a pass, the note
// directory is flushed by the pass (once for all its saves) instead of
// after this file's rename, and the file's temporary may have been written
// ahead (WriteNoteFileAhead).
bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* message,
                   ReplacePass* pass = nullptr);

// Writes the temporary of the note's file for a WriteNoteFile of the note
// later in the pass, unless the record changes before it.
void WriteNoteFileAhead(const NoteList& notes, const Note& note, ScreenSize screen, ReplacePass* pass);

// How many note files a pass writes ahead at a time (each holds a file
// descriptor open until its save).
constexpr std::size_t kNotesWrittenAhead = 128;

// Writes every note that needs it (Note::NeedsWrite), from the records
// alone, and marks each one written saved; the files are written ahead and
// flushed together, and the note directory is flushed once at the end.
// Tells nobody but standard error; used when the display is lost.
void SaveChangedNotes(NoteList& notes, ScreenSize screen);
