#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/app.h"
#include "notes/note.h"

NoteList& Notes() {
  static NoteList notes;
  return notes;
}

namespace {

// A file of that number in the note directory that no note has loaded (an
// older or unreadable file) must not be overwritten by a new note.
bool NoteFileExists(int id) {
  if (app_res.noteDir == nullptr) return false;
  struct stat st;
  return lstat(NoteFilePath(id).c_str(), &st) == 0;
}

}  // namespace

int LowestFreeId() {
  std::vector<int> ids;
  ids.reserve(Notes().size());
  for (const auto& n : Notes())
    if (n->id > 0) ids.push_back(n->id);
  std::sort(ids.begin(), ids.end());
  int candidate = 1;
  std::size_t i = 0;
  while (true) {
    while (i < ids.size() && ids[i] < candidate) ++i;
    if ((i < ids.size() && ids[i] == candidate) || NoteFileExists(candidate)) {
      ++candidate;
      continue;
    }
    return candidate;
  }
}

Note* NewNote(int id, std::time_t now) {
  auto note = std::make_unique<Note>();
  std::tm local{};
  localtime_r(&now, &local);
  note->alarm_month = local.tm_mon;
  note->alarm_day = local.tm_mday;
  note->alarm_hour = local.tm_hour;
  note->alarm_minute = local.tm_min;
  note->buffer_size = app_res.bufSize;
  note->text.reset(new char[note->buffer_size]());
  note->id = id == -1 ? LowestFreeId() : id;
  note->name = "Note " + std::to_string(note->id);
  Notes().push_back(std::move(note));
  return Notes().back().get();
}

Note* NewNote(int id) { return NewNote(id, std::time(nullptr)); }

Note* FindNote(int id) {
  for (const auto& n : Notes())
    if (n->id == id) return n.get();
  return nullptr;
}

bool RemoveNote(Note* note) {
  NoteList& notes = Notes();
  auto it = std::find_if(notes.begin(), notes.end(), [note](const auto& n) { return n.get() == note; });
  if (it == notes.end()) return true;
  std::unique_ptr<Note> owned = std::move(*it);
  notes.erase(it);
  if (owned->file_path.empty() || unlink(owned->file_path.c_str()) == 0 || errno == ENOENT) return true;
  int saved = errno;
  owned.reset();
  errno = saved;
  return false;
}

std::string NoteFilePath(int id) { return std::string(app_res.noteDir) + "/note" + std::to_string(id); }

void OutOfMemory() {
  static const char kMessage[] = "stikkel: out of memory.\n";
  (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  std::_Exit(1);
}

void InstallOutOfMemoryHandler() { std::set_new_handler(OutOfMemory); }
