// The temporary file of the calendar, printing and e-mail: one path per
// process in the configured directory, opened by the program itself so that
// nobody else can slip another file in its place.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "storage/file_io.h"

// "<dir>/sk<pid>".
std::string TempFilePath(const std::string& dir, pid_t pid);

// A private temporary file opened for writing. The path is never followed
// through a symbolic link; a name that holds a file of another user, a file
// with other hard links or anything but a regular file is refused. A file
// created here has mode 0600; a leftover regular file of the user's own is
// reused, made private and emptied.
class TempFile {
 public:
  // Returns false with errno set when the file cannot be opened safely.
  bool Open(const std::string& path);
  // Writes all the bytes; false with errno set on failure.
  bool Write(const char* bytes, std::size_t len) { return fd_.WriteAll(std::string_view(bytes, len)); }
  // Closes the file; false with errno set when the close reports an error.
  bool Close() { return fd_.Close(); }

  int fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
};
