// Small helpers for files (X-free): owners of a file descriptor and of a
// directory stream.
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
