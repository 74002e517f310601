#include "storage/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>
#include <utility>

#include "storage/file_io.h"

namespace {

void SyncDirectory(const std::string& path) {
  FileDescriptor fd(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) fsync(fd.get());
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
  static std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(getpid()) << 32)};
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

// Fills the open temporary file fd (named result->temp_path) and renames it
// to path.
void WriteAndRename(FileDescriptor fd, const std::string& path, const std::string& bytes, bool no_replace,
                    const struct timespec* later_than, DirectorySyncs* later, FileWriteResult* result) {
  const std::string& temp_path = result->temp_path;
  // The new version keeps the permissions the user gave the old one (a
  // private note stays private).
  struct stat old;
  if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd.get(), old.st_mode & 07777);
  bool ok = fd.WriteAll(bytes);
  if (ok && later_than) StampLaterThan(fd.get(), *later_than);
  ok = ok && fsync(fd.get()) == 0;
  int error = ok ? 0 : errno;
  if (!fd.Close() && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp_path.c_str());
    result->stage = FileWriteResult::kWrite;
    result->error = error;
    return;
  }
  int renamed = no_replace ? renameat2(AT_FDCWD, temp_path.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE)
                           : rename(temp_path.c_str(), path.c_str());
  if (renamed != 0 && no_replace && (errno == EINVAL || errno == ENOSYS)) {
    // The file system cannot rename without replacing: a hard link can.
    renamed = link(temp_path.c_str(), path.c_str());
    if (renamed == 0) unlink(temp_path.c_str());
  }
  if (renamed != 0) {
    result->error = errno;
    result->stage = result->error == EEXIST && no_replace ? FileWriteResult::kExists : FileWriteResult::kRename;
    return;
  }
  if (later)
    later->Add(path);
  else
    SyncDirectory(path);
}

}  // namespace

void DirectorySyncs::Add(const std::string& path) {
  std::string dir = DirectoryOf(path);
  if (std::find(dirs_.begin(), dirs_.end(), dir) == dirs_.end()) dirs_.push_back(dir);
}

void DirectorySyncs::Flush() {
  for (const std::string& dir : dirs_) SyncDirectory(dir + "/");
  dirs_.clear();
}

FileWriteResult ReplaceFile(const std::string& temp_path, const std::string& path, const std::string& bytes,
                            bool no_replace, DirectorySyncs* later) {
  FileWriteResult result;
  result.temp_path = temp_path;
  // Whatever stands under the temporary name (the leftover of a crash, or a
  // link to another file) is removed, never written through.
  unlink(temp_path.c_str());
  FileDescriptor fd(open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd.valid()) {
    result.stage = FileWriteResult::kOpen;
    result.error = errno;
    return result;
  }
  WriteAndRename(std::move(fd), path, bytes, no_replace, nullptr, later, &result);
  return result;
}

FileWriteResult ReplaceFileThroughNewTemporary(const std::string& temp_stem, const std::string& path,
                                               const std::string& bytes, bool no_replace,
                                               const struct timespec* later_than, DirectorySyncs* later) {
  FileWriteResult result;
  FileDescriptor fd = CreateUniqueTemporary(temp_stem, &result.temp_path);
  if (!fd.valid()) {
    result.stage = FileWriteResult::kOpen;
    result.error = errno;
    return result;
  }
  WriteAndRename(std::move(fd), path, bytes, no_replace, later_than, later, &result);
  if (result.stage == FileWriteResult::kExists) unlink(result.temp_path.c_str());
  return result;
}

FileWriteResult ReplaceFile(const std::string& path, const std::string& bytes, bool no_replace,
                            DirectorySyncs* later) {
  return ReplaceFileThroughNewTemporary(DirectoryOf(path) + "/sk1." + std::to_string(getpid()) + ".", path, bytes,
                                        no_replace, nullptr, later);
}
