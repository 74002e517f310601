// Replacing a file so that it is always either its old or its new version.
#pragma once

#include <time.h>

#include <string>

struct FileWriteResult {
  enum Stage { kOk, kOpen, kWrite, kRename, kExists } stage = kOk;
  int error = 0;           // errno of the failed call
  std::string temp_path;   // the temporary file used (kept after a failed rename)
};

// Writes bytes to temp_path (created anew, 0666 less umask), checks
// every write, flushes it to disk and closes it, then renames it over path
// and flushes the directory. On a failed write, flush or close the
// temporary file is removed and path is left as it was. With no_replace,
// an existing path is never replaced (stage kExists).
FileWriteResult ReplaceFile(const std::string& temp_path, const std::string& path, const std::string& bytes,
                            bool no_replace = false);

// ReplaceFile through a temporary whose name is new to path's directory:
// temp_stem followed by six random characters, created exclusively (as
// mkstemp does, but with 0666 less umask), so nothing under another name is
// ever written through or removed.
// With no_replace an existing path is never replaced (stage kExists; the
// temporary is removed, as it holds nothing to keep). With later_than, the
// new file's modification time is after it even when the clock is behind.
FileWriteResult ReplaceFileThroughNewTemporary(const std::string& temp_stem, const std::string& path,
                                               const std::string& bytes, bool no_replace = false,
                                               const struct timespec* later_than = nullptr);

// ReplaceFileThroughNewTemporary with the stem a save uses: "sk1.", the
// process id and a dot, beside path. No two saves ever share a temporary,
// not even saves from two machines whose processes have the same id.
FileWriteResult ReplaceFile(const std::string& path, const std::string& bytes, bool no_replace = false);

// The directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);
