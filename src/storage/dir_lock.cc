#include "storage/dir_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// An open-file-description lock: released when the last descriptor of this
// open goes (a child between fork and exec does not keep it, the file is
// opened close-on-exec). Over NFS it is a lock on the server. Kernels
// without such locks get flock.
bool LockWithoutWaiting(int fd, int* error) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
  if (errno == EINVAL) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) errno = EAGAIN;
  }
  *error = errno;
  return false;
}

// The locked file is still the one the path names: a holder that ended
// removed it meanwhile, or a new one took its place.
bool StillNamed(int fd, const std::string& path) {
  struct stat open_st, path_st;
  if (fstat(fd, &open_st) != 0 || stat(path.c_str(), &path_st) != 0) return false;
  return open_st.st_dev == path_st.st_dev && open_st.st_ino == path_st.st_ino;
}

enum class Opened { kLocked, kHeld, kFailed };

// Opens the lock file at path (made when missing) and locks it, trying
// again when the file locked was removed or replaced between the open and
// the lock (a holder removes it as it ends). kHeld when another process
// holds it; kFailed with *error for anything else.
Opened OpenAndLock(const std::string& path, FileDescriptor* locked, std::string* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    FileDescriptor fd(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd.valid()) {
      *error = path + ": " + std::strerror(errno);
      return Opened::kFailed;
    }
    int lock_error = 0;
    if (!LockWithoutWaiting(fd.get(), &lock_error)) {
      if (lock_error == EAGAIN || lock_error == EACCES) return Opened::kHeld;
      *error = path + ": " + std::strerror(lock_error);
      return Opened::kFailed;
    }
    if (StillNamed(fd.get(), path)) {
      *locked = std::move(fd);
      return Opened::kLocked;
    }
  }
  *error = path + ": keeps being replaced";
  return Opened::kFailed;
}

}  // namespace

std::string LockFilePath(const std::string& dir) { return dir + "/.lock"; }

bool NoteDirLock::Take(const std::string& dir, bool* held, std::string* error) {
  path_ = LockFilePath(dir);
  *held = false;
  // The directory first: while another stikkel holds it, nothing is touched.
  FileDescriptor dir_fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.valid() && flock(dir_fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      *held = true;
      return false;
    }
    dir_fd.Close();  // a file system that does not lock directories (NFS)
  }
  FileDescriptor fd;
  switch (OpenAndLock(path_, &fd, error)) {
    case Opened::kHeld: *held = true; return false;
    case Opened::kFailed: return false;
    case Opened::kLocked: break;
  }
  // What a holder killed before its exit left in the file names no one
  // now; the file stays empty until Announce.
  if (ftruncate(fd.get(), 0) != 0) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  fd_ = std::move(fd);
  dir_fd_ = std::move(dir_fd);
  return true;
}

bool NoteDirLock::Announce(const LockHolder& me, std::string* error) {
  const std::string text = FormatLockHolder(me);
  announced_ = text;
  if (ftruncate(fd_.get(), 0) != 0 || pwrite(fd_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool NoteDirLock::Keep(std::string* error) {
  if (!fd_.valid() || StillNamed(fd_.get(), path_)) return true;
  FileDescriptor fd;
  switch (OpenAndLock(path_, &fd, error)) {
    case Opened::kHeld: *error = path_ + ": taken by another process while it was away"; return false;
    case Opened::kFailed: return false;
    case Opened::kLocked: break;
  }
  if (ftruncate(fd.get(), 0) != 0 ||
      pwrite(fd.get(), announced_.data(), announced_.size(), 0) != static_cast<ssize_t>(announced_.size())) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  fd_ = std::move(fd);  // the old file's lock goes with it
  return true;
}

void NoteDirLock::Release() {
  if (!fd_.valid()) return;
  // Removed while still locked: whoever opened it meanwhile sees that the
  // file it locked is no longer the lock file and tries again. A file that
  // is no longer the one this holder locked is left alone.
  if (StillNamed(fd_.get(), path_)) unlink(path_.c_str());
  fd_.Close();
  dir_fd_.Close();
}

bool ParseLockHolder(const std::string& contents, LockHolder* holder) {
  if (contents.empty() || contents.back() != '\n') return false;
  std::size_t space = contents.rfind(' ');
  if (space == std::string::npos || space == 0) return false;
  std::string pid_text = contents.substr(space + 1, contents.size() - space - 2);
  if (pid_text.empty() || pid_text.find_first_not_of("0123456789") != std::string::npos || pid_text.size() > 12)
    return false;
  holder->host = contents.substr(0, space);
  holder->pid = std::strtol(pid_text.c_str(), nullptr, 10);
  return holder->pid > 0;
}

std::string FormatLockHolder(const LockHolder& holder) {
  return holder.host + " " + std::to_string(holder.pid) + "\n";
}

bool ReadLockHolder(const std::string& dir, LockHolder* holder) {
  FileDescriptor fd(open(LockFilePath(dir).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return false;
  char buf[512];
  ssize_t n = read(fd.get(), buf, sizeof buf);
  if (n <= 0) return false;
  return ParseLockHolder(std::string(buf, static_cast<std::size_t>(n)), holder);
}

LockHolder ThisProcess() {
  LockHolder me;
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::strcpy(host, "localhost");
  // The name stands on one line and before the last space.
  me.host = host;
  for (char& c : me.host)
    if (c == '\n' || c == ' ') c = '_';
  me.pid = static_cast<long>(getpid());
  return me;
}
