// Replacing a file so that it is always either its old or its new version.
#pragma once

#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "storage/file_io.h"

struct FileWriteResult {
  enum Stage { kOk, kOpen, kWrite, kRename, kExists } stage = kOk;
  int error = 0;           // errno of the failed call
  std::string temp_path;   // the temporary file used (kept after a failed rename)
};

// A pass of file replacements made together. Every file's data still
// reaches the disk before its rename, but the temporaries can be written
// ahead and sent to the disk all at once, so that the flush before each
// rename finds its data written already and the file system commits them
// together; and the directories renamed into are flushed once, when Finish
// runs or the pass goes.
class ReplacePass {
 public:
  ReplacePass() = default;
  ~ReplacePass() { Finish(); }
  ReplacePass(const ReplacePass&) = delete;
  ReplacePass& operator=(const ReplacePass&) = delete;
  // Writes now the temporary that replacing path by bytes (ReplaceFile
  // with the path alone, in this pass) will rename, without flushing it. A
  // failure is forgotten here: that ReplaceFile writes afresh and reports.
  void WriteAhead(const std::string& path, const std::string& bytes);
  // Has the system start writing every temporary written ahead to disk,
  // without waiting for it.
  void StartWriteback();
  // The temporary written ahead for path, when it holds bytes: taken out of
  // the pass, its descriptor still open.
  bool Take(const std::string& path, const std::string& bytes, FileDescriptor* fd, std::string* temp_path);
  // Notes the directory of `path` for the flush.
  void AddDirectory(const std::string& path);
  // Removes the temporaries written ahead that were not taken, and flushes
  // every directory noted.
  void Finish();

 private:
  struct Ahead {
    std::string bytes;
    std::string temp_path;
    FileDescriptor fd;
  };
  std::map<std::string, Ahead> ahead_;  // by the path each is to replace
  std::vector<std::string> dirs_;
};

// Writes bytes to temp_path (created anew, 0666 less umask), checks
// every write, flushes it to disk and closes it, then renames it over path
// and flushes the directory (or, in a pass, leaves that to the pass). On a
// failed write, flush or close the temporary file is removed and path is
// left as it was. With no_replace, an existing path is never replaced
// (stage kExists).
FileWriteResult ReplaceFile(const std::string& temp_path, const std::string& path, const std::string& bytes,
                            bool no_replace = false, ReplacePass* pass = nullptr);

// ReplaceFile through a temporary whose name is new to path's directory:
// temp_stem followed by six random characters, created exclusively (as
// mkstemp does, but with 0666 less umask), so nothing under another name is
// ever written through or removed.
// With no_replace an existing path is never replaced (stage kExists; the
// temporary is removed, as it holds nothing to keep). With later_than, the
// new file's modification time is after it even when the clock is behind.
// `pass` as for ReplaceFile.
FileWriteResult ReplaceFileThroughNewTemporary(const std::string& temp_stem, const std::string& path,
                                               const std::string& bytes, bool no_replace = false,
                                               const struct timespec* later_than = nullptr,
                                               ReplacePass* pass = nullptr);

// ReplaceFileThroughNewTemporary with the stem a save uses: "sk1.", the
// process id and a dot, beside path. No two saves ever share a temporary,
// not even saves from two machines whose processes have the same id. In a
// pass, the temporary written ahead for path is taken when it holds bytes.
FileWriteResult ReplaceFile(const std::string& path, const std::string& bytes, bool no_replace = false,
                            ReplacePass* pass = nullptr);

// The directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);
