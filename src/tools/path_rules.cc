#include "tools/path_rules.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <memory>

#include "storage/atomic_file.h"
#include "storage/file_io.h"

namespace {

std::string SystemError(int error) { return std::strerror(error); }

}  // namespace

std::string StartDirectory(const char* home_dir, const char* home_env) {
  if (home_dir && *home_dir) return home_dir;
  if (home_env && *home_env) return home_env;
  return "/";
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir == "/") return "/" + name;
  return dir + "/" + name;
}

std::string ParentDirectory(const std::string& dir) {
  std::string::size_type slash = dir.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return dir.substr(0, slash);
}

bool DirectoryButtonPath(const std::string& dir, const std::string& name, std::string* path,
                         std::string* error) {
  if (name == "..") {
    if (dir.size() > kMaxPathLength) {
      *error = "Path name too long! Max length: " + std::to_string(kMaxPathLength) +
               "\nPath name (masterpath): " + dir + "\n";
      return false;
    }
    *path = ParentDirectory(dir);
    return true;
  }
  if (dir.size() + name.size() > kMaxPathLength) {
    *error = "Path name too long! Max length: " + std::to_string(kMaxPathLength) + "\nPath name: " + dir + "\n";
    return false;
  }
  *path = JoinPath(dir, name);
  return true;
}

bool FileButtonPath(const std::string& dir, const std::string& name, std::string* path,
                    std::string* error) {
  if (dir.size() + name.size() > kMaxPathLength) {
    *error = "File name (" + name + ") is too long!";
    return false;
  }
  *path = JoinPath(dir, name);
  return true;
}

bool CheckTypedPath(const std::string& typed, std::string* error) {
  if (typed.size() > kMaxPathLength) {
    *error = "File name (" + typed + ") is too long!";
    return false;
  }
  return true;
}

int PathFieldWidth(int name_width, std::size_t chars) {
  constexpr long long kWidest = 32767;
  long long width = static_cast<long long>(name_width) * static_cast<long long>(std::min<std::size_t>(chars, kWidest)) + 10;
  return static_cast<int>(std::clamp(width, 1LL, kWidest));
}

bool ListDirectoryEntries(const std::string& dir, DirectoryListing* listing, std::string* diagnostics) {
  listing->directories.clear();
  listing->files.clear();
  DirStream stream(opendir(dir.c_str()));
  if (!stream) {
    *diagnostics += dir + ": " + SystemError(errno) + "\n";
    *diagnostics += "stikkel: Can't open directory - " + dir + "\n";
    return false;
  }
  const bool root = dir == "/";
  while (listing->directories.size() < kMaxListEntries || listing->files.size() < kMaxListEntries) {
    const dirent* entry = readdir(stream.get());
    if (!entry) break;
    const std::string name = entry->d_name;
    if (name == "." || (root && name == "..")) continue;
    const std::string path = JoinPath(dir, name);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      *diagnostics += dir + ": " + SystemError(errno) + "\n";
      *diagnostics += "stikkel: Can't stat file - " + path + "\n";
      continue;
    }
    std::vector<std::string>* list = S_ISDIR(st.st_mode)   ? &listing->directories
                                     : S_ISREG(st.st_mode) ? &listing->files
                                                           : nullptr;
    if (list && list->size() < kMaxListEntries) list->push_back(name);
  }
  return true;
}

namespace {

// The export's failure: *err is what the user is told (the file could not
// be opened, or not written), *detail the failed call in the system's
// words. Returns false.
bool ExportFailed(const std::string& path, bool opened, const std::string& reason, std::string* err,
                  std::string* detail) {
  *err = opened ? "Can't write " + path + "!" : "Can't open " + path + " for writing!";
  if (detail) *detail = path + ": " + reason;
  return false;
}

// Writes into whatever stands at path (a device, a FIFO with a reader, or
// the target of a dangling link), as there is no file to replace. A FIFO
// nobody reads fails at once instead of hanging the program.
bool WriteInPlace(const std::string& path, const std::string& bytes, std::string* err, std::string* detail) {
  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.valid()) return ExportFailed(path, false, SystemError(errno), err, detail);
  int flags = fcntl(fd.get(), F_GETFL);
  if (flags != -1) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  if (!fd.WriteAll(bytes) || !fd.Close()) return ExportFailed(path, true, SystemError(errno), err, detail);
  return true;
}

}  // namespace

std::string ExportTempPath(const std::string& path, long pid) {
  std::size_t slash = path.rfind('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // Kept well within the longest name a directory entry can have.
  constexpr std::size_t kMaxBase = 200;
  if (base.size() > kMaxBase) base.resize(kMaxBase);
  std::string name = "." + base + ".sk" + std::to_string(pid);
  return slash == std::string::npos ? name : JoinPath(DirectoryOf(path), name);
}

bool WriteExportFile(const std::string& path, const std::string& text, std::string* err, std::string* detail) {
  std::string bytes = text;
  bytes += '\n';
  struct stat st;
  bool exists = stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(path, bytes, err, detail);
  struct stat link;
  if (!exists && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
    return WriteInPlace(path, bytes, err, detail);
  // A link to an existing file: the file it leads to is replaced, the link
  // stays.
  std::string target = path;
  if (exists) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (real) target = real.get();
  }
  // The new text goes to a temporary file beside the old one and takes its
  // place in one rename: a failed write leaves the old file as it was.
  ReplaceDetails details;
  std::string system;
  if (ReplaceFileThroughNamedTemporary(target, ExportTempPath(target, getpid()), bytes, &system, &details))
    return true;
  return ExportFailed(path, details.failed_step != ReplaceDetails::kCreate, details.reason, err, detail);
}
