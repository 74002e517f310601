#include "storage/dir_change.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "storage/file_identity.h"
#include "storage/load.h"
#include "storage/own_version.h"

namespace {

Note* NoteOfFile(const NoteList& notes, const std::string& path) {
  for (const auto& note : notes)
    if (note->file_path == path) return note.get();
  return nullptr;
}

// A note file that came: a new note, or a stale copy of a destroyed one.
DirChange Arrived(NoteList& notes, const std::string& name, const std::string& path,
                  const DestroyedFiles& destroyed, OutsideChanges* outside) {
  std::string bytes, reason;
  auto note = std::make_unique<Note>();
  NoteFileInfo info;
  if (!ReadCandidateFile(path, outside->options, &bytes, &reason, &note->stored_file) ||
      !ReadNoteFile(bytes, outside->options, note.get(), &info) || info.text_bytes > kMaxStoredTextBytes)
    return DirChange::kNothing;
  if (destroyed.count({note->stored_file.size, note->stored_file.hash})) {
    unlink(path.c_str());
    return DirChange::kStaleCopy;
  }
  int id = NoteIdFromFileName(name);
  bool taken = id <= 0 || notes.FindNote(id);
  for (const auto& other : outside->arrived) taken = taken || other->id == id;
  if (taken) {
    id = notes.LowestFreeId();
    for (const auto& other : outside->arrived)
      if (other->id >= id) id = other->id + 1;
  }
  note->id = id;
  note->file_path = path;
  note->has_geometry = true;
  note->window_width = note->width;
  note->window_height = note->height;
  std::size_t stated = info.stated_length > 0 ? static_cast<std::size_t>(info.stated_length) : 0;
  note->buffer_size = BufferSizeFor(std::max(stated, info.text_bytes), notes.settings().buffer_size);
  outside->arrived.push_back(std::move(note));
  return DirChange::kArrived;
}

}  // namespace

DirChange LookAtName(NoteList& notes, const std::string& name, const DestroyedFiles& destroyed,
                     OutsideChanges* outside, std::string* err) {
  err->clear();
  const std::string path = notes.settings().note_dir + "/" + name;
  Note* note = NoteOfFile(notes, path);
  if (!note) return Arrived(notes, name, path, destroyed, outside);
  if (!note->stored_file.known) return DirChange::kNothing;  // nothing to compare with
  std::string found;
  StoredFile now;
  switch (LookAgain(path, note->stored_file, outside->options, &found, &now)) {
    case FileNow::kSame:
      // The same bytes under a new inode: the other machine has them.
      if (now.inode != note->stored_file.inode) note->file_made_here = false;
      note->stored_file = now;
      return DirChange::kNothing;
    case FileNow::kNotNote:
      return DirChange::kNothing;
    case FileNow::kGone:
      if (note->changed()) return DirChange::kSaveAgain;
      outside->gone.push_back(note);
      return DirChange::kGone;
    case FileNow::kChanged:
      break;
  }
  Note theirs;
  ReadNoteFile(found, outside->options, &theirs);
  const bool own_at_risk = OwnVersionAtRisk(*note, theirs, notes.settings().note_dir);
  if (!note->changed() && !own_at_risk) {
    TakeFileVersion(note, std::move(theirs), now, notes.settings().buffer_size);
    outside->taken.push_back(note);
    return DirChange::kTaken;
  }
  std::string detail;
  if (!KeepOtherVersion(notes, *note, found, outside, err, &detail)) return DirChange::kNothing;
  // The file's version is kept elsewhere now: the next save of the note
  // replaces it without asking again.
  note->stored_file = now;
  note->file_made_here = false;
  if (note->changed()) return DirChange::kKeptBoth;
  // Its own version exists nowhere else: it is written again at once.
  note->MarkChanged();
  return DirChange::kKeptOwn;
}
