#include "storage/conflict_copy.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "storage/dir_names.h"

namespace {

std::string BaseNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool SomeNoteHasFile(const NoteList& notes, const std::string& path) {
  for (const auto& other : notes)
    if (other->file_path == path) return true;
  return false;
}

// Renames from to to unless something stands at to: 0, or the errno.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing: a hard link can.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

}  // namespace

bool MoveOffConflictCopy(const NoteList& notes, Note* note) {
  if (note->file_path.empty() || !IsConflictCopyName(BaseNameOf(note->file_path))) return false;
  struct stat st;
  if (lstat(note->file_path.c_str(), &st) != 0) {
    if (errno != ENOENT || !note->changed()) return false;
    // Gone (moved to a number of its own elsewhere, or deleted): the changes
    // here are written as a new note's.
    note->file_path.clear();
    return true;
  }
  if (!S_ISREG(st.st_mode)) return false;
  // The note's own number first, then the lowest free one.
  int number = note->id;
  for (int tries = 0; tries < 1000; ++tries) {
    const std::string path = notes.NoteFilePath(number);
    struct stat there;
    const bool free = number > 0 && (number == note->id || !notes.FindNote(number)) &&
                      !SomeNoteHasFile(notes, path) && lstat(path.c_str(), &there) != 0 && errno == ENOENT;
    if (free) {
      const int error = RenameNoReplace(note->file_path, path);
      if (error == 0) {
        note->file_path = path;
        return true;
      }
      if (error != EEXIST) return false;  // it stays where it is
    }
    number = number == note->id ? 1 : number + 1;
    if (number == note->id) ++number;
  }
  return false;
}
