// Making sure the note directory exists (X-free).
#pragma once

#include <cstdio>
#include <string>

struct NoteDirOutcome {
  std::string path;  // the absolute note directory
  int exit_status;   // -1 to go on; otherwise the program ends with it
};

// Returns the home directory for a relative note directory: $HOME when set
// and not empty, else the password entry of the real user; false when
// neither names one.
bool FindHomeDirectory(std::string* home);

// Makes note_dir absolute (relative to home) and makes sure it exists,
// creating the last component with mode 0755 when missing. A path that
// exists but is not a directory is refused. Messages go to out and err as
// the user sees them. home_known is false (or home empty) when no home
// directory could be found.
NoteDirOutcome EnsureNoteDirAt(const std::string& note_dir, bool home_known, const std::string& home,
                               FILE* out, FILE* err);

// EnsureNoteDirAt for the configured noteDir, the user's home directory and
// the standard streams: returns the absolute note directory, or ends the
// program.
std::string EnsureNoteDir(const char* note_dir);
