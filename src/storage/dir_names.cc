#include "storage/dir_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "storage/file_io.h"
#include "storage/note_file.h"

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

bool IsSaveTemporaryName(std::string_view name) {
  if (!StartsWith(name, "sk1.")) return false;
  name.remove_prefix(4);
  std::size_t digits = 0;
  while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
  if (digits == 0 || digits > 10 || digits + 7 != name.size() || name[digits] != '.') return false;
  for (char c : name.substr(digits + 1))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsSyncTemporaryName(std::string_view name) {
  return (StartsWith(name, ".syncthing.") && EndsWith(name, ".tmp")) || StartsWith(name, "~syncthing~") ||
         StartsWith(name, ".~") || EndsWith(name, ".part");
}

bool IsConflictCopyName(std::string_view name) {
  return name.find(".sync-conflict-") != std::string_view::npos ||
         name.find("conflicted copy") != std::string_view::npos;
}

bool IsNoteCandidateName(std::string_view name) { return IsNoteFileName(name) && !IsSyncTemporaryName(name); }

std::vector<std::string> RemoveCrashTemporaries(const std::string& note_dir) {
  std::vector<std::string> removed;
  FileDescriptor fd(open(note_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return removed;
  DirStream d(fdopendir(fd.get()));
  if (!d) return removed;
  const int dir_fd = fd.Release();
  while (dirent* entry = readdir(d.get())) {
    if (!IsSaveTemporaryName(entry->d_name)) continue;
    struct stat st;
    if (fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (unlinkat(dir_fd, entry->d_name, 0) == 0) removed.emplace_back(entry->d_name);
  }
  return removed;
}
