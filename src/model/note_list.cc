#include "model/note_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

NoteList& Notes() {
  static NoteList notes;
  return notes;
}

int NoteList::LowestFreeId() const {
  std::vector<int> ids;
  ids.reserve(notes_.size());
  for (const auto& n : notes_)
    if (n->id > 0) ids.push_back(n->id);
  std::sort(ids.begin(), ids.end());
  auto file_exists = [this](int id) {
    struct stat st;
    return !settings_.note_dir.empty() && lstat(NoteFilePath(id).c_str(), &st) == 0;
  };
  int candidate = 1;
  std::size_t i = 0;
  while (true) {
    while (i < ids.size() && ids[i] < candidate) ++i;
    if ((i < ids.size() && ids[i] == candidate) || file_exists(candidate)) {
      ++candidate;
      continue;
    }
    return candidate;
  }
}

Note* NoteList::NewNote(int id, std::time_t now) {
  auto note = std::make_unique<Note>();
  note->alarm = AlarmAt(now);
  note->buffer_size = settings_.buffer_size;
  note->id = id == -1 ? LowestFreeId() : id;
  note->name = "Note " + std::to_string(note->id);
  return Add(std::move(note));
}

Note* NoteList::NewNote(int id) { return NewNote(id, std::time(nullptr)); }

Note* NoteList::Add(std::unique_ptr<Note> note) {
  notes_.push_back(std::move(note));
  return notes_.back().get();
}

Note* NoteList::FindNote(int id) const {
  for (const auto& n : notes_)
    if (n->id == id) return n.get();
  return nullptr;
}

bool NoteList::Contains(const Note* note) const {
  return std::any_of(notes_.begin(), notes_.end(), [note](const auto& n) { return n.get() == note; });
}

bool NoteList::RemoveNote(Note* note, std::string* err) {
  auto it = std::find_if(notes_.begin(), notes_.end(), [note](const auto& n) { return n.get() == note; });
  if (it == notes_.end()) return true;
  std::unique_ptr<Note> owned = std::move(*it);
  notes_.erase(it);
  if (owned->file_path.empty() || unlink(owned->file_path.c_str()) == 0 || errno == ENOENT) return true;
  if (err) *err = owned->file_path + ": " + std::strerror(errno);
  return false;
}

std::string NoteList::NoteFilePath(int id) const { return settings_.note_dir + "/note" + std::to_string(id); }

void OutOfMemory() {
  static const char kMessage[] = "stikkel: out of memory.\n";
  (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  std::_Exit(1);
}

void InstallOutOfMemoryHandler() { std::set_new_handler(OutOfMemory); }
