#include "storage/dir_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "storage/dir_names.h"

namespace {

constexpr std::uint32_t kMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_ONLYDIR | IN_EXCL_UNLINK;

}  // namespace

void ParseDirEvents(const char* buffer, std::size_t length, DirEvents* events) {
  std::size_t at = 0;
  while (at + sizeof(inotify_event) <= length) {
    inotify_event event;
    std::memcpy(&event, buffer + at, sizeof event);
    const std::size_t size = sizeof(inotify_event) + event.len;
    if (at + size > length) break;
    if (event.mask & IN_Q_OVERFLOW) events->overflow = true;
    if (event.len > 0 && !(event.mask & IN_ISDIR)) {
      const char* start = buffer + at + sizeof(inotify_event);
      std::string name(start, strnlen(start, event.len));
      if (name == ".lock") events->lock_file = true;
      else if (IsNoteCandidateName(name)) events->names.insert(std::move(name));
    }
    at += size;
  }
}

bool DirWatch::Start(const std::string& dir, std::string* error) {
  fd_ = FileDescriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd_.valid() || inotify_add_watch(fd_.get(), dir.c_str(), kMask) < 0) {
    *error = dir + ": " + std::strerror(errno);
    fd_.Close();
    return false;
  }
  return true;
}

void DirWatch::Read(DirEvents* events) {
  alignas(inotify_event) char buffer[16 * 1024];
  while (true) {
    ssize_t n = read(fd_.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    ParseDirEvents(buffer, static_cast<std::size_t>(n), events);
  }
}
