// Replacing a file so that it is always either its old or its new version.
#pragma once

#include <time.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "storage/file_io.h"

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
  // Writes now the temporary that replacing path by bytes (ReplaceFile with
  // the save's temporaries, in this pass) will rename, without flushing it.
  // A failure is forgotten here: that ReplaceFile writes afresh and fails.
  void WriteAhead(const std::string& path, const std::string& bytes);
  // Has the system start writing every temporary written ahead to disk,
  // without waiting for it.
  void StartWriteback();
  // The temporary written ahead for path, when it holds bytes (told by
  // their length and hash: the pass keeps no copy of them): taken out of
  // the pass, its descriptor still open.
  bool Take(const std::string& path, const std::string& bytes, FileDescriptor* fd, std::string* temp_path);
  // Notes the directory of `path` for the flush.
  void AddDirectory(const std::string& path);
  // Removes the temporaries written ahead that were not taken, and flushes
  // every directory noted. False, with *err (when given) naming the first
  // directory whose flush failed: the files renamed into it are in place,
  // but a crash may still lose them.
  bool Finish(std::string* err = nullptr);

 private:
  struct Ahead {
    std::size_t size = 0;
    std::size_t hash = 0;
    std::string temp_path;
    FileDescriptor fd;
  };
  std::map<std::string, Ahead> ahead_;  // by the path each is to replace
  std::vector<std::string> dirs_;
};

// How ReplaceFile replaces a file.
struct ReplaceOptions {
  // The temporaries are named temp_stem followed by six random characters;
  // empty gives the stem a save uses: "sk1.", the process id and a dot,
  // beside the file (no two saves ever share a temporary, not even saves
  // from two machines whose processes have the same id).
  std::string temp_stem;
  // Never replace a file that is there already.
  bool keep_existing = false;
  // The new file's modification time is after this even when the clock is
  // behind.
  const struct timespec* later_than = nullptr;
  // The pass this replacement is part of: the directory is flushed by the
  // pass, and a temporary the pass wrote ahead for path (save stem only) is
  // taken when it holds bytes.
  ReplacePass* pass = nullptr;
  // Asked just before the rename (the new file written and flushed): when
  // it says no, the file at path changed meanwhile, the temporary is
  // removed, path is left as it is, and the replacement fails at kChanged.
  std::function<bool()> still_as_seen;
};

// What a replacement used and, when it failed, where it stopped: for a
// caller that tells the user in words of its own.
struct ReplaceDetails {
  std::string temp_path;  // the temporary used
  enum Step {
    kDone,            // nothing failed
    kCreate,          // the temporary could not be made
    kWrite,           // a write, flush or close of the temporary failed; it is removed
    kRename,          // the rename failed; the temporary holds the new bytes
    kFlushDirectory,  // the file is in place, but the flush of its directory failed
    kChanged,         // still_as_seen said no: nothing was replaced
  } failed_step = kDone;
  std::string reason;  // the system's text for the failed call
  // keep_existing found a file at the path: the temporary is removed.
  bool exists = false;
};

// Writes bytes to a temporary of a name new to path's directory (created
// exclusively, as mkstemp does, but with 0666 less umask, so nothing under
// another name is ever written through or removed), checks every write,
// flushes it to disk and closes it, then renames it over path and flushes
// the directory (or, in a pass, leaves that to the pass). The new file
// keeps the permissions of the old one. On a failed write, flush or close
// the temporary is removed and path is left as it was. True when the new
// file is in place and flushed; otherwise false with *err saying what
// failed ("<temporary>: <system's text>", for a failed rename
// "<temporary>-<path>: ...", for a failed flush "<directory>: ...") and
// *details, when given, what was used and where it stopped.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string* err,
                 const ReplaceOptions& options = {}, ReplaceDetails* details = nullptr);

// ReplaceFile through a temporary of a fixed name: whatever stands under
// that name (the leftover of a crash, or a link to another file) is removed
// first, never written through.
bool ReplaceFileThroughNamedTemporary(const std::string& path, const std::string& temp_path,
                                      const std::string& bytes, std::string* err,
                                      ReplaceDetails* details = nullptr);

// The directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);
