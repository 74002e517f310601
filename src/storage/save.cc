#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/file_io.h"

namespace {

// Removes the temporary a failed rename of the note's file left, if any.
void ForgetLeftover(Note* note) {
  if (note->leftover_temp.empty()) return;
  unlink(note->leftover_temp.c_str());
  note->leftover_temp.clear();
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
  return WriteNoteFile(notes, note, FormatNoteFile(*note, screen), message, pass);
}

bool WriteNoteFile(const NoteList& notes, Note* note, const std::string& bytes, std::string* message,
                   ReplacePass* pass) {
  message->clear();
  const bool new_file = note->file_path.empty();
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
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
        note->leftover_temp = temp;
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

bool SaveNotes(const NoteList& notes, const std::vector<Note*>& which, ScreenSize screen, bool ahead,
               const SaveTold& told) {
  ReplacePass pass;
  bool all = true;
  std::string message;
  const std::size_t stretch = ahead ? kNotesWrittenAhead : 1;
  std::vector<std::string> files;
  for (std::size_t start = 0; start < which.size(); start += stretch) {
    const std::size_t end = std::min(which.size(), start + stretch);
    files.clear();
    for (std::size_t i = start; i < end; ++i) files.push_back(FormatNoteFile(*which[i], screen));
    if (ahead) {
      for (std::size_t i = start; i < end; ++i) {
        const Note& note = *which[i];
        pass.WriteAhead(note.file_path.empty() ? notes.NoteFilePath(note.id) : note.file_path, files[i - start]);
      }
      pass.StartWriteback();
    }
    for (std::size_t i = start; i < end; ++i) {
      Note* note = which[i];
      const bool written = WriteNoteFile(notes, note, files[i - start], &message, ahead ? &pass : nullptr);
      if (written) {
        note->moved = false;
        note->MarkSaved();
      }
      all = all && written;
      if (told) told(note, written, message);
    }
  }
  return all;
}

void SaveChangedNotes(NoteList& notes, ScreenSize screen) {
  std::vector<Note*> which;
  for (const auto& note : notes)
    if (note->NeedsWrite()) which.push_back(note.get());
  SaveNotes(notes, which, screen, true, nullptr);
}
