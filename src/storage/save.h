// Writing note files from note records (X-free).
#pragma once

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
// stored hidden flag becomes what the new file holds. With `later`, the
// note directory is flushed by it (once for a pass of saves) instead of
// after this file's rename.
bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* message,
                   DirectorySyncs* later = nullptr);

// Writes every note that needs it (Note::NeedsWrite), from the records
// alone, and marks each one written saved; the note directory is flushed
// once at the end. Tells nobody but standard error; used when the display
// is lost.
void SaveChangedNotes(NoteList& notes, ScreenSize screen);
