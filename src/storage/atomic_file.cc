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

// Fills the open temporary file fd (named result->temp_path; unless
// `filled` says that was done) and renames it to path.
void WriteAndRename(FileDescriptor fd, const std::string& path, const std::string& bytes, bool no_replace,
                    const struct timespec* later_than, ReplacePass* pass, bool filled, FileWriteResult* result) {
  const std::string& temp_path = result->temp_path;
  bool ok = filled || FillTemporary(fd, path, bytes, later_than);
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
  if (pass)
    pass->AddDirectory(path);
  else
    SyncDirectory(path);
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
  ahead.bytes = bytes;
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
  if (ahead.bytes != bytes) {
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

void ReplacePass::Finish() {
  for (auto& [path, ahead] : ahead_) {
    ahead.fd.Close();
    unlink(ahead.temp_path.c_str());
  }
  ahead_.clear();
  for (const std::string& dir : dirs_) SyncDirectory(dir + "/");
  dirs_.clear();
}

FileWriteResult ReplaceFile(const std::string& temp_path, const std::string& path, const std::string& bytes,
                            bool no_replace, ReplacePass* pass) {
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
  WriteAndRename(std::move(fd), path, bytes, no_replace, nullptr, pass, false, &result);
  return result;
}

FileWriteResult ReplaceFileThroughNewTemporary(const std::string& temp_stem, const std::string& path,
                                               const std::string& bytes, bool no_replace,
                                               const struct timespec* later_than, ReplacePass* pass) {
  FileWriteResult result;
  FileDescriptor fd = CreateUniqueTemporary(temp_stem, &result.temp_path);
  if (!fd.valid()) {
    result.stage = FileWriteResult::kOpen;
    result.error = errno;
    return result;
  }
  WriteAndRename(std::move(fd), path, bytes, no_replace, later_than, pass, false, &result);
  if (result.stage == FileWriteResult::kExists) unlink(result.temp_path.c_str());
  return result;
}

FileWriteResult ReplaceFile(const std::string& path, const std::string& bytes, bool no_replace,
                            ReplacePass* pass) {
  FileWriteResult result;
  FileDescriptor fd;
  if (pass && pass->Take(path, bytes, &fd, &result.temp_path)) {
    WriteAndRename(std::move(fd), path, bytes, no_replace, nullptr, pass, true, &result);
    if (result.stage == FileWriteResult::kExists) unlink(result.temp_path.c_str());
    return result;
  }
  return ReplaceFileThroughNewTemporary(SaveStem(path), path, bytes, no_replace, nullptr, pass);
}
