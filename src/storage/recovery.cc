#include "storage/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "model/utf8.h"
#include "storage/atomic_file.h"
#include "storage/file_identity.h"
#include "storage/file_io.h"
#include "storage/load.h"

namespace {

// Temporaries in the recovery directory start with this, then the process id.
constexpr const char* kTempPrefix = "tmp.";
// The word in a recovery file's header line that names its base.
constexpr std::string_view kBaseWord = " base ";
constexpr std::string_view kNoBase = "none";
// What the name of a note made from a recovery file says.
constexpr const char* kRecoveredMark = " (recovered)";

// Whether a note file's bytes are whole as this program writes them: the
// header line, the name line and exactly the stated text, nothing after.
// The reader takes less (a note file cut short keeps what it has); a
// recovery file cut short or added to is not applied at all.
bool Whole(const std::string& bytes, const NoteFileInfo& info) {
  if (info.older_format) return false;
  std::size_t header_end = bytes.find('\n');
  if (header_end == std::string::npos) return false;
  std::size_t name_end = bytes.find('\n', header_end + 1);
  if (name_end == std::string::npos) return false;
  std::size_t text = bytes.size() - (name_end + 1);
  return text == info.text_bytes && info.stated_length >= 0 &&
         text == static_cast<std::size_t>(info.stated_length);
}

// "new" and the digits of a number.
bool IsNewNoteJournal(std::string_view name, int* id) {
  if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, "new") != 0) return false;
  long n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n <= 0 || n > 1000000000L) return false;
  *id = static_cast<int>(n);
  return true;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves an unreadable recovery file into the kept directory under a name
// no other file there has. Returns the line the user is told.
std::string SetAside(const std::string& note_dir, const std::string& name, const std::string& why) {
  const std::string from = RecoveryPath(note_dir, name);
  const std::string kept = KeptRecoveryDirectory(note_dir);
  const std::string told = from + ": " + why;
  if (mkdir(kept.c_str(), 0700) != 0 && errno != EEXIST) return told + "; kept";
  for (int n = 0; n < 1000; ++n) {
    std::string to = kept + "/" + name + (n ? "." + std::to_string(n) : "");
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return told + "; moved to " + to;
    }
    if (errno == EINVAL || errno == ENOSYS) {
      // A file system without an exclusive rename: look first.
      struct stat st;
      if (lstat(to.c_str(), &st) == 0) continue;
      if (rename(from.c_str(), to.c_str()) == 0) return told + "; moved to " + to;
      break;
    }
    if (errno != EEXIST) break;
  }
  return told + "; kept";
}

bool SameNote(const Note& a, const Note& b) { return a.name == b.name && a.text == b.text; }

}  // namespace

std::string RecoveryDirectory(const std::string& note_dir) { return note_dir + "/.recovery"; }
std::string KeptRecoveryDirectory(const std::string& note_dir) { return RecoveryDirectory(note_dir) + "/kept"; }

std::string JournalName(const Note& note) {
  if (note.file_path.empty()) return "new" + std::to_string(note.id);
  return BaseName(note.file_path);
}

std::string RecoveryPath(const std::string& note_dir, const std::string& name) {
  return RecoveryDirectory(note_dir) + "/" + name;
}

namespace {

// The words of a recovery file's header line that name its base.
std::string BaseWords(const StoredFile& base) {
  std::string word(kBaseWord.substr(1));
  if (!base.known) {
    word += kNoBase;
  } else {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%llu %llu %llu %lld %ld %016llx", base.device, base.inode, base.size,
                  base.mtime_sec, base.mtime_nsec, base.hash);
    word += numbers;
  }
  return word;
}

}  // namespace

std::string JournalBytes(const std::string& note_file, const StoredFile& base) {
  std::size_t header_end = note_file.find('\n');
  if (header_end == std::string::npos) return note_file;
  return note_file.substr(0, header_end) + BaseWords(base) + " " + note_file.substr(header_end);
}

std::string JournalFileBytes(const Note& note, ScreenSize screen) {
  std::string out;
  JournalFileBytes(note, screen, &out);
  return out;
}

void JournalFileBytes(const Note& note, ScreenSize screen, std::string* out) {
  FormatNoteFileInto(note, screen, BaseWords(note.stored_file), out);
}

bool ReadJournalBase(std::string_view bytes, StoredFile* base) {
  *base = StoredFile();
  std::string_view header = bytes.substr(0, bytes.find('\n'));
  std::size_t at = header.find(kBaseWord);
  if (at == std::string_view::npos) return false;
  std::string rest(header.substr(at + kBaseWord.size()));
  if (rest.compare(0, kNoBase.size(), kNoBase) == 0) return true;
  unsigned long long device, inode, size, hash;
  long long sec;
  long nsec;
  if (std::sscanf(rest.c_str(), "%llu %llu %llu %lld %ld %llx", &device, &inode, &size, &sec, &nsec, &hash) != 6)
    return false;
  base->known = true;
  base->device = device;
  base->inode = inode;
  base->size = size;
  base->mtime_sec = sec;
  base->mtime_nsec = nsec;
  base->hash = hash;
  return true;
}

bool WriteRecoveryFile(const std::string& note_dir, const std::string& name, const std::string& bytes,
                       std::string* path, std::string* error) {
  const std::string dir = RecoveryDirectory(note_dir);
  *path = RecoveryPath(note_dir, name);
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = dir + ": " + std::strerror(errno);
    return false;
  }
  // Never through a link planted under the directory's name.
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) {
    *error = dir + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    *error = dir + ": " + std::strerror(ENOTDIR);
    return false;
  }
  ReplaceOptions options;
  options.temp_stem = dir + "/" + kTempPrefix + std::to_string(getpid()) + ".";
  if (ReplaceFile(*path, bytes, error, options)) return true;
  rmdir(dir.c_str());  // when it was made for this file alone
  return false;
}

bool RemoveRecoveryFile(const std::string& note_dir, const std::string& name, std::string* error) {
  const std::string path = RecoveryPath(note_dir, name);
  // Where the directory is not one, no file of it can be either.
  if (unlink(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  // The directory stays only while it holds something.
  rmdir(RecoveryDirectory(note_dir).c_str());
  return true;
}

std::string MarkedName(const std::string& name, const std::string& mark) {
  if (name.size() + mark.size() <= kMaxNameLength) return name + mark;
  std::size_t room = kMaxNameLength > mark.size() ? kMaxNameLength - mark.size() : 0;
  return name.substr(0, Utf8PrefixLength(name, room)) + mark;
}

RecoveredNotes ApplyRecoveryFiles(NoteList& notes, const NoteFileReadOptions& options) {
  RecoveredNotes result;
  const std::string& note_dir = notes.settings().note_dir;
  const std::string dir = RecoveryDirectory(note_dir);
  FileDescriptor fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno != ENOENT) result.problems.push_back(dir + ": " + std::strerror(errno));
    return result;
  }
  DirStream d(fdopendir(fd.get()));
  if (!d) {
    result.problems.push_back(dir + ": " + std::strerror(errno));
    return result;
  }
  fd.Release();
  std::vector<std::string> names;
  while (dirent* entry = readdir(d.get())) names.emplace_back(entry->d_name);
  d.reset();
  std::sort(names.begin(), names.end());

  const std::size_t unit = notes.settings().buffer_size;
  // Adds a note made from a recovery file, without a file of its own.
  auto add = [&](Note&& from, int id) {
    auto fresh = std::make_unique<Note>(std::move(from));
    fresh->id = id > 0 && !notes.FindNote(id) && access(notes.NoteFilePath(id).c_str(), F_OK) != 0
                    ? id
                    : notes.LowestFreeId();
    fresh->file_path.clear();
    fresh->stored_file = StoredFile();
    fresh->has_geometry = true;
    fresh->window_width = fresh->width;
    fresh->window_height = fresh->height;
    return notes.Add(std::move(fresh));
  };

  std::string bytes;
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    if (name.compare(0, std::strlen(kTempPrefix), kTempPrefix) == 0) {
      // Left by a write that was cut short: the file it was for is whole.
      unlink(path.c_str());
      continue;
    }
    int new_id = 0;
    const bool for_new_note = IsNewNoteJournal(name, &new_id);
    if (!for_new_note && !IsNoteFileName(name)) continue;  // not one of ours

    Note recovered;
    NoteFileInfo info;
    StoredFile base;
    bool has_base = false;  // false in a recovery file of an older stikkel
    struct stat rst;
    std::string why;
    if (lstat(path.c_str(), &rst) != 0) why = std::strerror(errno);
    else if (!S_ISREG(rst.st_mode)) why = "not a regular file";
    else if (!ReadCandidateFile(path, options, &bytes, &why)) why = "not a note";
    else if (!ReadNoteFile(bytes, options, &recovered, &info)) why = "not a note";
    else if (!Whole(bytes, info)) why = "not a whole note (cut short or added to)";
    else if (recovered.text.size() >= static_cast<std::size_t>(INT32_MAX) - unit) why = "too long";
    else has_base = ReadJournalBase(bytes, &base);
    if (!why.empty()) {
      result.set_aside.push_back(SetAside(note_dir, name, why));
      continue;
    }
    Note* note = nullptr;
    if (for_new_note) {
      note = add(std::move(recovered), new_id);
    } else {
      const std::string file = note_dir + "/" + name;
      Note* loaded = nullptr;
      for (const auto& n : notes)
        if (n->file_path == file) loaded = n.get();
      if (loaded && SameNote(*loaded, recovered)) {
        unlink(path.c_str());  // the file holds it already: saved, then killed
        continue;
      }
      if (loaded && has_base && (SameFileState(base, loaded->stored_file) ||
                                                 SameBytes(base, loaded->stored_file))) {
        note = loaded;
        note->text = std::move(recovered.text);
        note->name = std::move(recovered.name);
        note->file_bytes = std::move(recovered.file_bytes);
      } else if (!loaded && access(file.c_str(), F_OK) != 0) {
        // The note's file is gone (or the note never had one): the
        // recovered version is the note.
        note = add(std::move(recovered), NoteIdFromFileName(name));
      } else {
        // Both the file and the note changed since: both are kept.
        recovered.name = MarkedName(recovered.name, kRecoveredMark);
        note = add(std::move(recovered), 0);
        const std::string moved = RecoveryPath(note_dir, JournalName(*note));
        if (rename(path.c_str(), moved.c_str()) != 0) unlink(moved.c_str());
        note->journal_name = JournalName(*note);
        result.both_kept.push_back(note);
      }
    }
    if (note->journal_name.empty()) note->journal_name = name;
    note->buffer_size = std::max(note->buffer_size, BufferSizeFor(note->text.size(), unit));
    note->MarkChanged();
    result.notes.push_back(note);
  }
  rmdir(dir.c_str());  // when nothing is left in it
  return result;
}

std::string RecoveryMessage(const std::vector<std::string>& names, const std::vector<std::string>& both_kept,
                            const std::vector<std::string>& set_aside) {
  constexpr std::size_t kMaxListed = 20;
  constexpr std::size_t kMaxNameBytes = 60;
  auto list = [](const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kMaxListed; ++i) {
      std::size_t cut = Utf8PrefixLength(lines[i], kMaxNameBytes);
      text += "  " + lines[i].substr(0, cut) + (cut < lines[i].size() ? "...\n" : "\n");
    }
    if (lines.size() > kMaxListed) text += "  and " + std::to_string(lines.size() - kMaxListed) + " more\n";
    return text;
  };
  std::string message;
  if (!names.empty()) {
    message += "Changes that were not saved have been recovered in:\n" + list(names);
    if (!both_kept.empty())
      message += "The files of these notes changed meanwhile; both versions are kept:\n" + list(both_kept);
    message += "Save them to keep them.";
  }
  if (!set_aside.empty()) {
    if (!message.empty()) message += "\n";
    message += "These recovery files could not be read and were set aside:\n";
    for (std::size_t i = 0; i < set_aside.size() && i < kMaxListed; ++i) message += "  " + set_aside[i] + "\n";
    if (set_aside.size() > kMaxListed)
      message += "  and " + std::to_string(set_aside.size() - kMaxListed) + " more\n";
    message.pop_back();
  }
  return message;
}
