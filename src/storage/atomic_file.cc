#include "storage/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <functional>
#include <random>
#include <utility>

#include "storage/file_io.h"

namespace {

// Flushes the directory of path to disk; false with *error set when the
// flush fails. A directory that cannot be opened for reading, or a file
// system that does not flush directories (EINVAL), has nothing to wait for.
bool SyncDirectory(const std::string& path, int* error) {
  FileDescriptor fd(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid() || fsync(fd.get()) == 0 || errno == EINVAL) return true;
  *error = errno;
  return false;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

// Creates a file of a name the directory has not got, for writing only;
// an invalid descriptor with errno set when none can be made.
FileDescriptor CreateUniqueTemporary(const std::string& stem, std::string* path) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // One generator per thread: recovery files and note files are written
  // on threads of their own.
  thread_local std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(getpid()) << 32)};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = stem;
    std::uint64_t bits = random();
    for (int i = 0; i < 6; ++i, bits >>= 6) name += kLetters[bits % (sizeof kLetters - 1)];
    *path = name;
    FileDescriptor fd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return FileDescriptor();
}

// Moves the open file's modification time past *later_than when the clock
// put it at or before that.
void StampLaterThan(int fd, const struct timespec& later_than) {
  struct stat st;
  if (fstat(fd, &st) != 0) return;
  if (st.st_mtim.tv_sec > later_than.tv_sec ||
      (st.st_mtim.tv_sec == later_than.tv_sec && st.st_mtim.tv_nsec > later_than.tv_nsec))
    return;
  struct timespec times[2] = {{0, UTIME_OMIT}, later_than};
  if (++times[1].tv_nsec >= 1000000000L) {
    times[1].tv_nsec = 0;
    ++times[1].tv_sec;
  }
  futimens(fd, times);
}

// Fills the open temporary file fd that is to replace path; false with
// errno set when a write fails.
bool FillTemporary(FileDescriptor& fd, const std::string& path, const std::string& bytes,
                   const struct timespec* later_than) {
  // The new version keeps the permissions the user gave the old one (a
  // private note stays private).
  struct stat old;
  if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd.get(), old.st_mode & 07777);
  bool ok = fd.WriteAll(bytes);
  if (ok && later_than) StampLaterThan(fd.get(), *later_than);
  return ok;
}

// Ends a replacement that failed at `step` on `what` with the system's
// error; returns false.
bool Fail(ReplaceDetails::Step step, const std::string& temp_path, const std::string& what, int error,
          std::string* err, ReplaceDetails* details) {
  *err = what + ": " + std::strerror(error);
  if (details) {
    details->failed_step = step;
    details->temp_path = temp_path;
    details->reason = std::strerror(error);
    details->exists = false;
  }
  return false;
}

// A replacement under way: its open temporary, and what it is to become.
struct Replacement {
  FileDescriptor fd;
  std::string temp_path;
  bool filled = false;  // the pass wrote the bytes ahead
};

// Fills the temporary (unless that was done), flushes and closes it, and
// renames it to path.
bool WriteAndRename(Replacement r, const std::string& path, const std::string& bytes,
                    const ReplaceOptions& options, std::string* err, ReplaceDetails* details) {
  const std::string& temp_path = r.temp_path;
  if (details) {
    *details = ReplaceDetails();
    details->temp_path = temp_path;
  }
  bool ok = r.filled || FillTemporary(r.fd, path, bytes, options.later_than);
  ok = ok && fsync(r.fd.get()) == 0;
  int error = ok ? 0 : errno;
  if (!r.fd.Close() && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp_path.c_str());
    return Fail(ReplaceDetails::kWrite, temp_path, temp_path, error, err, details);
  }
  if (options.still_as_seen && !options.still_as_seen()) {
    unlink(temp_path.c_str());
    *err = path + ": changed meanwhile";
    if (details) {
      details->failed_step = ReplaceDetails::kChanged;
      details->reason = "changed meanwhile";
    }
    return false;
  }
  const bool keep = options.keep_existing;
  int renamed = keep ? renameat2(AT_FDCWD, temp_path.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE)
                     : rename(temp_path.c_str(), path.c_str());
  if (renamed != 0 && keep && (errno == EINVAL || errno == ENOSYS)) {
    // The file system cannot rename without replacing: a hard link can.
    renamed = link(temp_path.c_str(), path.c_str());
    if (renamed == 0) unlink(temp_path.c_str());
  }
  if (renamed != 0) {
    error = errno;
    Fail(ReplaceDetails::kRename, temp_path, temp_path + "-" + path, error, err, details);
    if (keep && error == EEXIST) {
      // Nothing in the temporary is worth keeping: the file stays as it was.
      unlink(temp_path.c_str());
      if (details) details->exists = true;
    }
    return false;
  }
  if (options.pass) {
    options.pass->AddDirectory(path);
  } else if (!SyncDirectory(path, &error)) {
    return Fail(ReplaceDetails::kFlushDirectory, temp_path, DirectoryOf(path), error, err, details);
  }
  return true;
}

// The stem of a save's temporaries beside path.
std::string SaveStem(const std::string& path) {
  return DirectoryOf(path) + "/sk1." + std::to_string(getpid()) + ".";
}

}  // namespace

void ReplacePass::WriteAhead(const std::string& path, const std::string& bytes) {
  Ahead ahead;
  ahead.fd = CreateUniqueTemporary(SaveStem(path), &ahead.temp_path);
  if (!ahead.fd.valid()) return;
  if (!FillTemporary(ahead.fd, path, bytes, nullptr)) {
    ahead.fd.Close();
    unlink(ahead.temp_path.c_str());
    return;
  }
  ahead.size = bytes.size();
  ahead.hash = std::hash<std::string>{}(bytes);
  auto [it, added] = ahead_.try_emplace(path);
  if (!added) unlink(it->second.temp_path.c_str());
  it->second = std::move(ahead);
}

void ReplacePass::StartWriteback() {
  for (auto& [path, ahead] : ahead_) sync_file_range(ahead.fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool ReplacePass::Take(const std::string& path, const std::string& bytes, FileDescriptor* fd,
                       std::string* temp_path) {
  auto it = ahead_.find(path);
  if (it == ahead_.end()) return false;
  Ahead ahead = std::move(it->second);
  ahead_.erase(it);
  if (ahead.size != bytes.size() || ahead.hash != std::hash<std::string>{}(bytes)) {
    ahead.fd.Close();
    unlink(ahead.temp_path.c_str());
    return false;
  }
  *fd = std::move(ahead.fd);
  *temp_path = ahead.temp_path;
  return true;
}

void ReplacePass::AddDirectory(const std::string& path) {
  std::string dir = DirectoryOf(path);
  if (std::find(dirs_.begin(), dirs_.end(), dir) == dirs_.end()) dirs_.push_back(dir);
}

bool ReplacePass::Finish(std::string* err) {
  for (auto& [path, ahead] : ahead_) {
    ahead.fd.Close();
    unlink(ahead.temp_path.c_str());
  }
  ahead_.clear();
  bool ok = true;
  for (const std::string& dir : dirs_) {
    int error = 0;
    if (SyncDirectory(dir + "/", &error) || !ok) continue;
    ok = false;
    if (err) *err = dir + ": " + std::strerror(error);
  }
  dirs_.clear();
  return ok;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string* err,
                 const ReplaceOptions& options, ReplaceDetails* details) {
  Replacement r;
  const bool save_stem = options.temp_stem.empty();
  if (save_stem && options.pass && options.pass->Take(path, bytes, &r.fd, &r.temp_path)) {
    r.filled = true;
  } else {
    r.fd = CreateUniqueTemporary(save_stem ? SaveStem(path) : options.temp_stem, &r.temp_path);
    if (!r.fd.valid()) return Fail(ReplaceDetails::kCreate, r.temp_path, r.temp_path, errno, err, details);
  }
  return WriteAndRename(std::move(r), path, bytes, options, err, details);
}

bool ReplaceFileThroughNamedTemporary(const std::string& path, const std::string& temp_path,
                                      const std::string& bytes, std::string* err, ReplaceDetails* details) {
  Replacement r;
  r.temp_path = temp_path;
  // Whatever stands under the temporary name (the leftover of a crash, or a
  // link to another file) is removed, never written through.
  unlink(temp_path.c_str());
  r.fd = FileDescriptor(open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!r.fd.valid()) return Fail(ReplaceDetails::kCreate, temp_path, temp_path, errno, err, details);
  return WriteAndRename(std::move(r), path, bytes, ReplaceOptions(), err, details);
}
