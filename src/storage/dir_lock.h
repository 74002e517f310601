// One running stikkel per note directory (X-free): a kernel lock on the
// file ".lock" in the directory, which the kernel releases when the holding
// process ends however it ends. The file names the holder ("host pid").
#pragma once

#include <string>

#include "storage/file_io.h"

struct LockHolder {
  std::string host;
  long pid = 0;
};

class NoteDirLock {
 public:
  NoteDirLock() = default;
  ~NoteDirLock() = default;
  NoteDirLock(const NoteDirLock&) = delete;
  NoteDirLock& operator=(const NoteDirLock&) = delete;

  // Tries to take the lock of `dir` without waiting; true when this process
  // now holds the notes. A process that finds the lock held leaves every
  // file as it was and returns false with *held set; one that takes it
  // empties the file (a holder that was killed left its name there). False
  // with *held clear and *error saying why when the file system refuses
  // the lock or the file.
  bool Take(const std::string& dir, bool* held, std::string* error);

  // Writes this process's host and pid into the lock file; only after that
  // do other instances look for the holder. False (with error) when the
  // write fails.
  bool Announce(const LockHolder& me, std::string* error);

  // Removes the lock file and gives the lock up (at a clean exit).
  void Release();

  bool taken() const { return fd_.valid(); }
  const std::string& path() const { return path_; }

 private:
  FileDescriptor fd_;
  std::string path_;
};

// The lock file of a note directory.
std::string LockFilePath(const std::string& dir);

// The holder named in a lock file's contents: "host pid" and a newline.
// False while the contents are incomplete (being written) or not of that form.
bool ParseLockHolder(const std::string& contents, LockHolder* holder);
std::string FormatLockHolder(const LockHolder& holder);

// Reads the holder of dir's lock; false when the file names none (yet).
bool ReadLockHolder(const std::string& dir, LockHolder* holder);

// This machine's name and this process: what Announce writes.
LockHolder ThisProcess();
