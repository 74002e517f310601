#include "tools/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// Whether st describes a file this process may use as its temporary file;
// sets errno when not.
bool Usable(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
    return false;
  }
  if (st.st_uid != geteuid() || st.st_nlink != 1) {
    errno = EPERM;
    return false;
  }
  return true;
}

}  // namespace

std::string TempFilePath(const std::string& dir, pid_t pid) {
  return dir + "/sk" + std::to_string(pid);
}

bool TempFile::Open(const std::string& path) {
  Close();
  // Look before opening, so that no device or FIFO is even opened.
  struct stat before {};
  bool existed = lstat(path.c_str(), &before) == 0;
  if (existed && !Usable(before)) return false;
  if (!existed && errno != ENOENT) return false;

  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd.valid()) return false;
  struct stat st {};
  bool ok = fstat(fd.get(), &st) == 0 && Usable(st);
  if (ok && existed && (st.st_dev != before.st_dev || st.st_ino != before.st_ino)) {
    errno = EEXIST;  // replaced between the look and the open
    ok = false;
  }
  ok = ok && fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && ftruncate(fd.get(), 0) == 0;
  if (!ok) {
    int saved = errno;
    fd.Close();
    errno = saved;
    return false;
  }
  int flags = fcntl(fd.get(), F_GETFL);
  if (flags != -1) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  fd_ = std::move(fd);
  return true;
}
