#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/conflict_copy.h"
#include "storage/file_identity.h"
#include "storage/load.h"
#include "storage/file_io.h"
#include "storage/own_version.h"
#include "storage/recovery.h"

namespace {

// Removes the temporary a failed rename of the note's file left, if any.
void ForgetLeftover(Note* note) {
  if (note->leftover_temp.empty()) return;
  unlink(note->leftover_temp.c_str());
  note->leftover_temp.clear();
}

// The first number after `taken` that no note has and no file has.
int NextFreeNumber(const NoteList& notes, int taken) {
  // (1 and up for taken 0: a note never has number 0.)
  struct stat st;
  int n = taken <= 0 ? 1 : taken + 1;
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

void TakeFileVersion(Note* note, Note&& from_file, const StoredFile& file, std::size_t unit) {
  note->name = std::move(from_file.name);
  note->text = std::move(from_file.text);
  note->file_bytes = std::move(from_file.file_bytes);
  note->x = from_file.x;
  note->y = from_file.y;
  note->width = note->window_width = from_file.width;
  note->height = note->window_height = from_file.height;
  note->has_geometry = true;
  note->hidden = note->stored_hidden = from_file.hidden;
  note->anchored = from_file.anchored;
  note->alarm = from_file.alarm;
  note->moved = false;
  note->buffer_size = GrownBufferSize(note->buffer_size, note->text.size(), unit);
  note->stored_file = file;
  note->file_made_here = false;
}

std::string BothVersionsMessage(const std::vector<std::string>& names) {
  constexpr std::size_t kMaxListed = 20;
  std::string message =
      "These notes were changed here and, meanwhile, in their files\n"
      "by another program or machine. Both versions are kept;\n"
      "the other one is now a note of its own:\n";
  for (std::size_t i = 0; i < names.size() && i < kMaxListed; ++i) message += "  " + names[i] + "\n";
  if (names.size() > kMaxListed) message += "  and " + std::to_string(names.size() - kMaxListed) + " more\n";
  message.pop_back();
  return message;
}

bool KeepOtherVersion(const NoteList& notes, const Note& note, const std::string& found, OutsideChanges* outside,
                      std::string* err, std::string* detail) {
  auto other = std::make_unique<Note>();
  if (!ReadNoteFile(found, outside->options, other.get())) return true;  // no note: nothing to keep
  other->name = MarkedName(other->name, kFromSyncMark);
  // Beside the note, not hidden under it.
  other->x += kOtherVersionOffset;
  other->y += kOtherVersionOffset;
  other->id = NextFreeNumber(notes, 0);
  other->has_geometry = true;
  other->window_width = other->width;
  other->window_height = other->height;
  other->buffer_size = BufferSizeFor(other->text.size(), notes.settings().buffer_size);
  std::string why;
  if (!WriteNoteFile(notes, other.get(), FormatNoteFile(*other, outside->options.screen), &why, nullptr, detail)) {
    *err = "Couldn't keep the version of\n" + note.name + "\nthat another program wrote:\n" + why +
           "\nThe note was not saved; " + note.file_path + " is unchanged.";
    return false;
  }
  outside->made.push_back(std::move(other));
  return true;
}

bool WriteNoteFile(const NoteList& notes, Note* note, ScreenSize screen, std::string* err, ReplacePass* pass,
                   std::string* detail, OutsideChanges* outside) {
  return WriteNoteFile(notes, note, FormatNoteFile(*note, screen), err, pass, detail, outside);
}

NoteWriteStart PrepareNoteWrite(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                                std::string* detail, OutsideChanges* outside, FileWrite* write) {
  err->clear();
  if (detail) detail->clear();
  // A sync engine's conflict copy is never written in place.
  if (outside) MoveOffConflictCopy(notes, note);
  const bool new_file = note->file_path.empty();
  bool keep_existing = new_file;
  // What the file was when it was looked at last; the rename happens only
  // while it still is (a sync engine may rename a new version over it
  // while this one is written).
  StoredFile seen;
  bool seen_gone = false;
  if (!new_file && outside && note->stored_file.known) {
    // Another program may have changed or removed the file since this one
    // read or wrote it: its version is never written over unseen.
    std::string found;
    StoredFile now;
    switch (LookAgain(note->file_path, note->stored_file, outside->options, &found, &now)) {
      case FileNow::kSame:
        note->stored_file = now;
        seen = now;
        break;
      case FileNow::kNotNote:
        break;  // nothing that reads as a note is lost
      case FileNow::kGone:
        if (!note->changed()) {
          outside->gone.push_back(note);
          return NoteWriteStart::kNothingToWrite;
        }
        keep_existing = true;  // written again, but over nothing that came meanwhile
        seen_gone = true;
        break;
      case FileNow::kChanged: {
        Note theirs;
        ReadNoteFile(found, outside->options, &theirs);
        if (!note->changed() && !OwnVersionAtRisk(*note, theirs, notes.settings().note_dir)) {
          TakeFileVersion(note, std::move(theirs), now, notes.settings().buffer_size);
          outside->taken.push_back(note);
          return NoteWriteStart::kNothingToWrite;
        }
        if (!KeepOtherVersion(notes, *note, found, outside, err, detail)) return NoteWriteStart::kFailed;
        note->stored_file = now;
        note->file_made_here = false;
        seen = now;
        break;
      }
    }
  }
  if (new_file) note->file_path = notes.NoteFilePath(note->id);
  *write = FileWrite();
  write->id = note->id;
  write->path = note->file_path;
  write->bytes = bytes;
  write->new_file = new_file;
  write->hidden = note->hidden;
  write->options.keep_existing = keep_existing;
  if (seen.known || seen_gone) {
    const std::string path = note->file_path;
    write->options.still_as_seen = [path, seen, seen_gone] {
      struct stat st;
      if (lstat(path.c_str(), &st) != 0) return seen_gone && errno == ENOENT;
      return !seen_gone && st.st_dev == seen.device && st.st_ino == seen.inode &&
             static_cast<unsigned long long>(st.st_size) == seen.size && st.st_mtim.tv_sec == seen.mtime_sec &&
             st.st_mtim.tv_nsec == seen.mtime_nsec;
    };
  }
  return NoteWriteStart::kWrite;
}

bool FinishNoteWrite(Note* note, const FileWrite& write, std::string* err, std::string* detail) {
  err->clear();
  if (detail) detail->clear();
  const ReplaceDetails& details = write.details;
  const std::string& temp = details.temp_path;
  if (!write.ok) {
    if (detail) *detail = write.system;
    switch (details.failed_step) {
      case ReplaceDetails::kCreate:
        *err = "Couldn't create " + temp + ":\n" + details.reason + "\nSave of note failed." +
               Unchanged(note->file_path, write.new_file);
        break;
      case ReplaceDetails::kWrite:
        *err = "Couldn't write " + temp + ":\n" + details.reason + "\nSave of note failed." +
               Unchanged(note->file_path, write.new_file);
        break;
      case ReplaceDetails::kRename:
        *err = "Couldn't rename " + temp + "\nto " + note->file_path + ".\nSave of note failed.\n" + temp +
               " should contain valid copy of note.";
        if (!details.exists) {
          ForgetLeftover(note);
          note->leftover_temp = temp;
        }
        break;
      case ReplaceDetails::kChanged:
        *err = note->file_path + " keeps being changed by another program.\nSave of note failed.";
        break;
      case ReplaceDetails::kDone:
        break;
      case ReplaceDetails::kFlushDirectory:
        // The new file is in place; only its surviving a crash is in doubt.
        // It stays the note's file, and the note stays changed, so the next
        // save writes it again.
        note->stored_hidden = write.hidden;
        ForgetLeftover(note);
        TakeIdentity(note, write.bytes);
        *err = "Couldn't flush " + DirectoryOf(note->file_path) + " to disk:\n" + details.reason +
               "\nSave of note failed.\n" + note->file_path + " holds the note,\nbut a crash may still lose it.";
        return false;
    }
    if (write.new_file) note->file_path.clear();
    return false;
  }
  note->stored_hidden = write.hidden;
  ForgetLeftover(note);
  if (write.new_file) note->file_made_here = true;
  note->stored_file = write.identity;
  if (!write.identity.known) {
    *err = "Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.";
    return false;
  }
  return true;
}

bool WriteNoteFile(const NoteList& notes, Note* note, const std::string& bytes, std::string* err,
                   ReplacePass* pass, std::string* detail, OutsideChanges* outside) {
  FileWrite write;
  for (int attempt = 0;; ++attempt) {
    switch (PrepareNoteWrite(notes, note, bytes, err, detail, outside, &write)) {
      case NoteWriteStart::kNothingToWrite:
        return true;
      case NoteWriteStart::kFailed:
        return false;
      case NoteWriteStart::kWrite:
        break;
    }
    write.options.pass = pass;
    ReplaceNow(&write);
    if (write.ok || write.details.failed_step != ReplaceDetails::kChanged || attempt >= 5) break;
  }
  // A new note whose number another program took meanwhile is saved under
  // the next free number; an existing file is never replaced by it.
  int number = note->id;
  for (int tries = 0; !write.ok && write.details.exists && tries < 100; ++tries) {
    number = NextFreeNumber(notes, number);
    note->file_path = write.path = notes.NoteFilePath(number);
    ReplaceNow(&write);
  }
  return FinishNoteWrite(note, write, err, detail);
}

bool SaveNotes(const NoteList& notes, const std::vector<Note*>& which, ScreenSize screen, bool ahead,
               const SaveTold& told, std::string* flush_err, OutsideChanges* outside) {
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
          WriteNoteFile(notes, note, files[i - start], &message, ahead ? &pass : nullptr, &detail, outside);
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

bool SaveChangedNotes(NoteList& notes, ScreenSize screen, std::string* err, const NoteFileReadOptions* options) {
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
  // The versions other programs wrote are kept on disk; nothing is shown.
  OutsideChanges outside;
  if (options) outside.options = *options;
  bool all = SaveNotes(notes, which, screen, true, told, &flush, options ? &outside : nullptr);
  if (!flush.empty()) *err += (err->empty() ? "" : "\n") + flush;
  return all;
}
