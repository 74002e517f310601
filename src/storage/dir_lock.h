// One running stikkel per note directory (X-free): a kernel lock on the
// file ".lock" in the directory, which the kernel releases when the holding
// process ends however it ends. The file names the holder ("host pid").
// Where the file system allows, the directory itself is locked too (flock
// on an open descriptor of it), which no deletion or replacement of
// ".lock" (a sync engine may do either) can undo.
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

  // Makes sure the lock file is still this holder's: when it was deleted
  // or replaced, makes and locks a new one naming this holder. False, with
  // *error, when another process holds the new file (a second stikkel got
  // in while the file was away, on a file system without the directory's
  // lock) or no new one can be made.
  bool Keep(std::string* error);

  // Removes the lock file, when it is still this holder's (never another
  // one's), and gives the lock up (at a clean exit).
  void Release();

  bool taken() const { return fd_.valid(); }
  const std::string& path() const { return path_; }

 private:
  FileDescriptor fd_;
  FileDescriptor dir_fd_;  // the directory, locked (invalid where that cannot be)
  std::string path_;
  std::string announced_;  // what Announce wrote
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
