// Inserting a string or a file's contents at a note's insertion point, and
// the Insert Calendar command.
#pragma once

#include <string>

#include "model/note.h"
#include "tools/temp_file.h"

// Inserts source at the note's insertion point: the string itself, or with
// from_file the contents of the file at that path up to its first NUL byte.
// With from_file and remove_after the file is removed afterwards (not when
// its text did not fit). Failures are shown to the user. Does not mark the
// note changed; callers do.
void InsertIntoNote(Note* note, const std::string& source, bool remove_after, bool from_file);

// The Insert Calendar command: runs the calendar command into the temporary
// file and inserts what it wrote at the note's insertion point.
void InsertCalendar(Note* note);

// The temporary path of this process, "<tmpDir>/sk<pid>", shared by the
// calendar, printing and e-mail.
std::string ProgramTempPath();

// Opens path as the private temporary file. On failure reports it on
// standard error and to the user ("Can't open tempoary file for writing")
// and returns false.
bool OpenProgramTempFile(TempFile* file, const std::string& path);
