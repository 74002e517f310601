#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "storage/atomic_file.h"
#include "storage/file_io.h"

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* message) {
  message->clear();
  bool new_file = note->file_path.empty();
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
  FileWriteResult r = ReplaceFile(note->file_path, FormatNoteFile(*note, screen), new_file);
  const std::string& temp = r.temp_path;
  switch (r.stage) {
    case FileWriteResult::kOk:
      break;
    case FileWriteResult::kOpen:
      ReportFileError(temp, r.error);
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kWrite:
      ReportFileError(temp, r.error);
      *message = "Couldn't write " + temp + ":\n" + std::strerror(r.error) + "\nSave of note failed.\n" +
                 note->file_path + " is unchanged.";
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kExists:
    case FileWriteResult::kRename:
      ReportFileError(temp + "-" + note->file_path, r.error);
      *message = "Couldn't rename " + temp + "\nto " + note->file_path + ".\nSave of note failed.\n" + temp +
                 " should contain valid copy of note.";
      if (new_file) note->file_path.clear();
      return false;
  }
  struct stat st;
  if (stat(note->file_path.c_str(), &st) != 0) {
    *message = "Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.";
    return false;
  }
  return true;
}

void SaveChangedNotes(NoteList& notes, ScreenSize screen) {
  std::string ignored;
  for (const auto& note : notes) {
    if (!note->changed() && !note->moved) continue;
    if (!WriteNoteFile(notes, note.get(), screen, &ignored)) continue;
    note->moved = false;
    note->MarkSaved();
  }
}
