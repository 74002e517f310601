#include "storage/own_version.h"

#include <dirent.h>

#include <string_view>

#include "storage/dir_names.h"
#include "storage/file_identity.h"
#include "storage/file_io.h"
#include "storage/load.h"

bool HoldsInOrder(const std::string& whole, const std::string& part) {
  std::size_t at = 0;
  for (char c : part) {
    at = whole.find(c, at);
    if (at == std::string::npos) return false;
    ++at;
  }
  return true;
}

namespace {

// Whether a conflict copy of the note's file holds the bytes it wrote.
bool KeptAsConflictCopy(const Note& note, const std::string& note_dir) {
  const std::string base = note.file_path.substr(note.file_path.rfind('/') + 1);
  DirStream dir(opendir(note_dir.c_str()));
  if (!dir) return false;
  while (dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (name.substr(0, base.size()) != base || !IsConflictCopyName(name)) continue;
    std::string bytes, reason;
    StoredFile copy;
    NoteFileReadOptions options;
    if (ReadCandidateFile(note_dir + "/" + entry->d_name, options, &bytes, &reason, &copy) &&
        SameBytes(copy, note.stored_file))
      return true;
  }
  return false;
}

}  // namespace

bool OwnVersionAtRisk(const Note& note, const Note& theirs, const std::string& note_dir) {
  if (!note.file_made_here) return false;
  if (HoldsInOrder(theirs.text, note.Text())) return false;
  return !KeptAsConflictCopy(note, note_dir);
}
