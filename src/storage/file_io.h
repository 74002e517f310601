// Small helpers for files (X-free): an owning file descriptor and the one
// way a failed call on a file is reported.
#pragma once

#include <dirent.h>

#include <memory>
#include <string>
#include <string_view>

// Owns an open file descriptor and closes it when it goes.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  // Writes all the bytes, going on after short writes and interruptions;
  // false with errno set when a write fails.
  bool WriteAll(std::string_view bytes);
  // Appends everything up to the end of the file to *bytes; false with
  // errno set when a read fails.
  bool ReadAll(std::string* bytes);
  // Closes the descriptor; false with errno set when the close reports an
  // error. Closing a closed one does nothing.
  bool Close();
  // Gives the descriptor up to a new owner (fdopendir) without closing it.
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Owns an open directory stream and closes it when it goes.
struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

// Reports a failed call on a file on standard error:
// "stikkel: <what>: <the system's text for error>". what is the path (for a
// failed rename, the two paths joined by a hyphen).
void ReportFileError(const std::string& what, int error);
// The same with a text of the program's own instead of the system's.
void ReportFileProblem(const std::string& what, const std::string& text);
