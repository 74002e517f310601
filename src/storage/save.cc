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

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err, ReplacePass* pass,
                   std::string* detail) {
  err->clear();
  if (detail) detail->clear();
  const bool new_file = note->file_path.empty();
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
  const std::string bytes = FormatNoteFile(*note, screen);
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
          Leftovers()[note] = temp;
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
  if (stat(note->file_path.c_str(), &st) != 0) {
    *err = "Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.";
    return false;
  }
  return true;
}

void WriteNoteFileAhead(const NoteList& notes, const Note& note, ScreenSize screen, ReplacePass* pass) {
  const std::string path = note.file_path.empty() ? notes.NoteFilePath(note.id) : note.file_path;
  pass->WriteAhead(path, FormatNoteFile(note, screen));
}

bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err) {
  err->clear();
  std::string message, detail;
  bool all = true;
  ReplacePass pass;
  auto unsaved = [](const Note& note) { return note.NeedsWrite(); };
  for (std::size_t start = 0; start < notes.size(); start += kNotesWrittenAhead) {
    const std::size_t end = std::min(notes.size(), start + kNotesWrittenAhead);
    for (std::size_t i = start; i < end; ++i)
      if (unsaved(*notes[i])) WriteNoteFileAhead(notes, *notes[i], screen, &pass);
    pass.StartWriteback();
    for (std::size_t i = start; i < end; ++i) {
      Note* note = notes[i].get();
      if (!unsaved(*note)) continue;
      if (!WriteNoteFile(notes, note, screen, &message, &pass, &detail)) {
        // In the system's words, one line each: this is told where there
        // is no window to show the message in.
        if (!detail.empty()) *err += (err->empty() ? "" : "\n") + detail;
        all = false;
        continue;
      }
      note->moved = false;
      note->MarkSaved();
    }
  }
  std::string flush;
  if (!pass.Finish(&flush)) {
    *err += (err->empty() ? "" : "\n") + flush;
    all = false;
  }
  return all;
}
