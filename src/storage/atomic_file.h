// Replacing a file so that it is always either its old or its new version.
#pragma once

#include <time.h>

#include <string>
#include <vector>

struct FileWriteResult {
  enum Stage { kOk, kOpen, kWrite, kRename, kExists } stage = kOk;
  int error = 0;           // errno of the failed call
  std::string temp_path;   // the temporary file used (kept after a failed rename)
};

// Directories to flush once for a pass of renames into them: each file is
// flushed before its rename all the same, but the directory entries reach
// the disk together, when Flush runs or the object goes.
class DirectorySyncs {
 public:
  DirectorySyncs() = default;
  ~DirectorySyncs() { Flush(); }
  DirectorySyncs(const DirectorySyncs&) = delete;
  DirectorySyncs& operator=(const DirectorySyncs&) = delete;
  // Notes the directory of `path` for the flush.
  void Add(const std::string& path);
  // Flushes every directory noted since the last flush.
  void Flush();

 private:
  std::vector<std::string> dirs_;
};

// Writes bytes to temp_path (created anew, 0666 less umask), checks
// every write, flushes it to disk and closes it, then renames it over path
// and flushes the directory (or, with `later`, leaves that to it). On a
// failed write, flush or close the temporary file is removed and path is
// left as it was. With no_replace, an existing path is never replaced
// (stage kExists).
FileWriteResult ReplaceFile(const std::string& temp_path, const std::string& path, const std::string& bytes,
                            bool no_replace = false, DirectorySyncs* later = nullptr);

// ReplaceFile through a temporary whose name is new to path's directory:
// temp_stem followed by six random characters, created exclusively (as
// mkstemp does, but with 0666 less umask), so nothing under another name is
// ever written through or removed.
// With no_replace an existing path is never replaced (stage kExists; the
// temporary is removed, as it holds nothing to keep). With later_than, the
// new file's modification time is after it even when the clock is behind.
// `later` as for ReplaceFile.
FileWriteResult ReplaceFileThroughNewTemporary(const std::string& temp_stem, const std::string& path,
                                               const std::string& bytes, bool no_replace = false,
                                               const struct timespec* later_than = nullptr,
                                               DirectorySyncs* later = nullptr);

// ReplaceFileThroughNewTemporary with the stem a save uses: "sk1.", the
// process id and a dot, beside path. No two saves ever share a temporary,
// not even saves from two machines whose processes have the same id.
FileWriteResult ReplaceFile(const std::string& path, const std::string& bytes, bool no_replace = false,
                            DirectorySyncs* later = nullptr);

// The directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);
