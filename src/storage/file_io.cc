#include "storage/file_io.h"

#include <unistd.h>

#include <cerrno>

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool FileDescriptor::WriteAll(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileDescriptor::ReadAll(std::string* bytes) {
  char chunk[65536];
  while (true) {
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes->append(chunk, static_cast<std::size_t>(n));
  }
}

bool FileDescriptor::Close() {
  if (fd_ < 0) return true;
  int rc = close(fd_);
  fd_ = -1;
  return rc == 0;
}
