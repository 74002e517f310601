#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/file_identity.h"
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

// What the note's file holds now that this program wrote it.
void TakeIdentity(Note* note, const std::string& bytes) {
  struct stat st;
  if (stat(note->file_path.c_str(), &st) == 0) note->stored_file = IdentityOf(st, bytes);
}

}  // namespace

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err, ReplacePass* pass,
                   std::string* detail) {
  return WriteNoteFile(notes, note, FormatNoteFile(*note, screen), err, pass, detail);
}

bool WriteNoteFile(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                   ReplacePass* pass, std::string* detail) {
  err->clear();
  if (detail) detail->clear();
  const bool new_file = note->file_path.empty();
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
  ReplaceOptions options;
  options.keep_existing = new_file;
  options.pass = pass;
  ReplaceDetails details;
  std::string system;
  bool ok = ReplaceFile(note->file_path, bytes, &system, options, &details);
  // A new note whose number another program took meanwhile is saved under
  // the next free number; an existing file is never replaced by it.
  int number = note->id;
  for (int tries = 0; !ok && details.exists && tries < 100; ++tries) {
    number = NextFreeNumber(notes, number);
    note->file_path = notes.NoteFilePath(number);
    ok = ReplaceFile(note->file_path, bytes, &system, options, &details);
  }
  const std::string& temp = details.temp_path;
  if (!ok) {
    if (detail) *detail = system;
    switch (details.failed_step) {
      case ReplaceDetails::kCreate:
        *err = "Couldn't create " + temp + ":\n" + details.reason + "\nSave of note failed." +
               Unchanged(note->file_path, new_file);
        break;
      case ReplaceDetails::kWrite:
        *err = "Couldn't write " + temp + ":\n" + details.reason + "\nSave of note failed." +
               Unchanged(note->file_path, new_file);
        break;
      case ReplaceDetails::kRename:
        *err = "Couldn't rename " + temp + "\nto " + note->file_path + ".\nSave of note failed.\n" + temp +
               " should contain valid copy of note.";
        if (!details.exists) {
          ForgetLeftover(note);
          note->leftover_temp = temp;
        }
        break;
      case ReplaceDetails::kDone:
        break;
      case ReplaceDetails::kFlushDirectory:
        // The new file is in place; only its surviving a crash is in doubt.
        // It stays the note's file, and the note stays changed, so the next
        // save writes it again.
        note->stored_hidden = note->hidden;
        ForgetLeftover(note);
        TakeIdentity(note, bytes);
        *err = "Couldn't flush " + DirectoryOf(note->file_path) + " to disk:\n" + details.reason +
               "\nSave of note failed.\n" + note->file_path + " holds the note,\nbut a crash may still lose it.";
        return false;
    }
    if (new_file) note->file_path.clear();
    return false;
  }
  note->stored_hidden = note->hidden;
  ForgetLeftover(note);
  struct stat st;
  if (stat(note->file_path.c_str(), &st) == 0) note->stored_file = IdentityOf(st, bytes);
  else {
    note->stored_file = StoredFile();
    *err = "Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.";
    return false;
  }
  return true;
}

bool SaveNotes(const NoteList& notes, const std::vector<Note*>& which, ScreenSize screen, bool ahead,
               const SaveTold& told, std::string* flush_err) {
  flush_err->clear();
  ReplacePass pass;
  bool all = true;
  std::string message, detail;
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
      const bool written =
          WriteNoteFile(notes, note, files[i - start], &message, ahead ? &pass : nullptr, &detail);
      if (written) {
        note->moved = false;
        note->MarkSaved();
      }
      all = all && written;
      if (told) told(note, written, message, detail);
    }
  }
  if (!pass.Finish(flush_err)) all = false;
  return all;
}

bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err) {
  err->clear();
  std::vector<Note*> which;
  for (const auto& note : notes)
    if (note->NeedsWrite()) which.push_back(note.get());
  // In the system's words, one line each: this is told where there is no
  // window to show a message in.
  auto told = [err](Note*, bool written, const std::string&, const std::string& detail) {
    if (!written && !detail.empty()) *err += (err->empty() ? "" : "\n") + detail;
  };
  std::string flush;
  bool all = SaveNotes(notes, which, screen, true, told, &flush);
  if (!flush.empty()) *err += (err->empty() ? "" : "\n") + flush;
  return all;
}
