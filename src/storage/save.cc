#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "storage/atomic_file.h"
#include "storage/file_io.h"

namespace {

// The temporary a failed rename left, per note: it holds that note's new
// contents until a later save of the note succeeds.
std::map<const Note*, std::string>& Leftovers() {
  static std::map<const Note*, std::string> leftovers;
  return leftovers;
}

void ForgetLeftover(const Note* note) {
  auto it = Leftovers().find(note);
  if (it == Leftovers().end()) return;
  unlink(it->second.c_str());
  Leftovers().erase(it);
}

// The first number after `taken` that no note has and no file has.
int NextFreeNumber(const NoteList& notes, int taken) {
  struct stat st;
  int n = taken < 0 ? 1 : taken + 1;
  while (notes.FindNote(n) || lstat(notes.NoteFilePath(n).c_str(), &st) == 0) ++n;
  return n;
}

// What the user is told after the note's file was left as it was.
std::string Unchanged(const std::string& path, bool new_file) {
  return new_file ? std::string() : "\n" + path + " is unchanged.";
}

}  // namespace

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* message,
                   ReplacePass* pass) {
  message->clear();
  const bool new_file = note->file_path.empty();
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
  const std::string bytes = FormatNoteFile(*note, screen);
  FileWriteResult r = ReplaceFile(note->file_path, bytes, new_file, pass);
  // A new note whose number another program took meanwhile is saved under
  // the next free number; an existing file is never replaced by it.
  int number = note->id;
  for (int tries = 0; r.stage == FileWriteResult::kExists && tries < 100; ++tries) {
    number = NextFreeNumber(notes, number);
    note->file_path = notes.NoteFilePath(number);
    r = ReplaceFile(note->file_path, bytes, true, pass);
  }
  const std::string& temp = r.temp_path;
  switch (r.stage) {
    case FileWriteResult::kOk:
      note->stored_hidden = note->hidden;
      break;
    case FileWriteResult::kOpen:
      ReportFileError(temp, r.error);
      *message = "Couldn't create " + temp + ":\n" + std::strerror(r.error) + "\nSave of note failed." +
                 Unchanged(note->file_path, new_file);
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kWrite:
      ReportFileError(temp, r.error);
      *message = "Couldn't write " + temp + ":\n" + std::strerror(r.error) + "\nSave of note failed." +
                 Unchanged(note->file_path, new_file);
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kExists:
    case FileWriteResult::kRename:
      ReportFileError(temp + "-" + note->file_path, r.error);
      *message = "Couldn't rename " + temp + "\nto " + note->file_path + ".\nSave of note failed.\n" + temp +
                 " should contain valid copy of note.";
      if (new_file) note->file_path.clear();
      if (r.stage == FileWriteResult::kRename) {
        ForgetLeftover(note);
        Leftovers()[note] = temp;
      }
      return false;
  }
  ForgetLeftover(note);
  struct stat st;
  if (stat(note->file_path.c_str(), &st) != 0) {
    *message = "Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.";
    return false;
  }
  return true;
}

void WriteNoteFileAhead(const NoteList& notes, const Note& note, ScreenSize screen, ReplacePass* pass) {
  const std::string path = note.file_path.empty() ? notes.NoteFilePath(note.id) : note.file_path;
  pass->WriteAhead(path, FormatNoteFile(note, screen));
}

void SaveChangedNotes(NoteList& notes, ScreenSize screen) {
  std::string ignored;
  ReplacePass pass;
  auto unsaved = [](const Note& note) { return note.NeedsWrite(); };
  for (std::size_t start = 0; start < notes.size(); start += kNotesWrittenAhead) {
    const std::size_t end = std::min(notes.size(), start + kNotesWrittenAhead);
    for (std::size_t i = start; i < end; ++i)
      if (unsaved(*notes[i])) WriteNoteFileAhead(notes, *notes[i], screen, &pass);
    pass.StartWriteback();
    for (std::size_t i = start; i < end; ++i) {
      Note* note = notes[i].get();
      if (!unsaved(*note) || !WriteNoteFile(notes, note, screen, &ignored, &pass)) continue;
      note->moved = false;
      note->MarkSaved();
    }
  }
}
