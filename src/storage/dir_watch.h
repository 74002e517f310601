// Watching the note directory for changes other programs make (X-free):
// an inotify descriptor that the main loop watches, and the reading of its
// events into the names that changed. Nothing wakes the program while
// nothing changes.
#pragma once

#include <cstddef>
#include <set>
#include <string>

#include "storage/file_io.h"

// What a batch of events says: the names of note files (and ".lock") that
// were written, renamed to or from, made or deleted, and whether the
// kernel's queue overflowed (then every name may have changed).
struct DirEvents {
  std::set<std::string> names;
  bool overflow = false;
  bool lock_file = false;  // ".lock" was deleted, replaced or made
};

// Reads a buffer of struct inotify_event records into *events. Names of no
// interest (the program's own temporaries, sync engines' temporaries, the
// recovery directory) are passed over.
void ParseDirEvents(const char* buffer, std::size_t length, DirEvents* events);

class DirWatch {
 public:
  // Starts watching dir; false with *error ("<dir>: <system's text>") when
  // the system cannot.
  bool Start(const std::string& dir, std::string* error);
  int fd() const { return fd_.get(); }
  // Reads every event waiting, without blocking, into *events.
  void Read(DirEvents* events);

 private:
  FileDescriptor fd_;
};
