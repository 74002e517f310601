#include "storage/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "model/utf8.h"
#include "storage/atomic_file.h"
#include "storage/file_io.h"
#include "storage/load.h"

namespace {

// Temporaries in the recovery directory start with this, then the process id.
constexpr const char* kTempPrefix = "tmp.";

bool NewerThan(const struct stat& a, const struct stat& b) {
  if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
  return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

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

// What one recovery file is for.
enum class Verdict { kApply, kStale, kKeep };

}  // namespace

std::string RecoveryDirectory(const std::string& note_dir) { return note_dir + "/.recovery"; }

int RecoveryNumber(const Note& note) {
  if (note.file_path.empty()) return note.id;
  std::string_view name = note.file_path;
  std::size_t slash = name.rfind('/');
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  return IsNoteFileName(name) ? NoteIdFromFileName(name) : note.id;
}

std::string RecoveryPath(const std::string& note_dir, int id) {
  return RecoveryDirectory(note_dir) + "/note" + std::to_string(id);
}

bool WriteRecoveryFile(const std::string& note_dir, int id, const std::string& bytes, std::string* path,
                       std::string* error) {
  const std::string dir = RecoveryDirectory(note_dir);
  *path = RecoveryPath(note_dir, id);
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
  // Newer than the note's file, which the next start compares it with,
  // also when the clock was set back since that was saved.
  struct stat saved;
  const bool has_file = stat((note_dir + "/note" + std::to_string(id)).c_str(), &saved) == 0;
  ReplaceOptions options;
  options.temp_stem = dir + "/" + kTempPrefix + std::to_string(getpid()) + ".";
  options.later_than = has_file ? &saved.st_mtim : nullptr;
  return ReplaceFile(*path, bytes, error, options);
}

bool RemoveRecoveryFile(const std::string& note_dir, int id, std::string* error) {
  const std::string path = RecoveryPath(note_dir, id);
  if (unlink(path.c_str()) != 0 && errno != ENOENT) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  // The directory stays only while it holds something.
  rmdir(RecoveryDirectory(note_dir).c_str());
  return true;
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

  const std::size_t unit = notes.settings().buffer_size;
  std::string bytes;
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    if (name.compare(0, std::strlen(kTempPrefix), kTempPrefix) == 0) {
      // Left by a write that was cut short: the file it was for is whole.
      unlink(path.c_str());
      continue;
    }
    if (!IsNoteFileName(name)) continue;
    const int id = NoteIdFromFileName(name);
    Note* loaded = notes.FindNote(id);

    Note recovered;
    NoteFileInfo info;
    struct stat rst;
    std::string why;
    if (lstat(path.c_str(), &rst) != 0) why = std::strerror(errno);
    else if (!S_ISREG(rst.st_mode)) why = "not a regular file";
    else if (!ReadCandidateFile(path, options, &bytes, &why)) why = "not a note";
    else if (!ReadNoteFile(bytes, options, &recovered, &info)) why = "not a note";
    else if (!Whole(bytes, info)) why = "not a whole note (cut short or added to)";
    else if (recovered.text.size() >= static_cast<std::size_t>(INT32_MAX) - unit) why = "too long";
    else if (name != "note" + std::to_string(id)) why = "no note has that name";

    Verdict verdict = Verdict::kKeep;
    if (why.empty()) {
      struct stat nst;
      if (loaded && !loaded->file_path.empty()) {
        if (stat(loaded->file_path.c_str(), &nst) != 0) verdict = Verdict::kApply;  // gone meanwhile
        else verdict = NewerThan(rst, nst) ? Verdict::kApply : Verdict::kStale;
      } else if (loaded) {
        why = "a second recovery file for one note";
      } else if (lstat(notes.NoteFilePath(id).c_str(), &nst) == 0) {
        why = notes.NoteFilePath(id) + " is there but was not loaded";
      } else {
        verdict = Verdict::kApply;
      }
    }

    switch (verdict) {
      case Verdict::kStale:
        unlink(path.c_str());
        break;
      case Verdict::kKeep:
        result.problems.push_back(path + ": " + why + "; kept, not recovered");
        result.kept.push_back(id);
        break;
      case Verdict::kApply: {
        Note* note = loaded;
        if (note) {
          note->text = std::move(recovered.text);
          note->name = std::move(recovered.name);
          note->file_bytes = std::move(recovered.file_bytes);
        } else {
          auto fresh = std::make_unique<Note>(std::move(recovered));
          fresh->id = id;
          fresh->has_geometry = true;
          fresh->window_width = fresh->width;
          fresh->window_height = fresh->height;
          note = notes.Add(std::move(fresh));
        }
        note->buffer_size = std::max(note->buffer_size, BufferSizeFor(note->text.size(), unit));
        note->MarkChanged();
        result.notes.push_back(note);
        break;
      }
    }
  }
  rmdir(dir.c_str());  // when nothing is left in it
  return result;
}

std::string RecoveryMessage(const std::vector<std::string>& names) {
  constexpr std::size_t kMaxListed = 20;
  constexpr std::size_t kMaxNameBytes = 60;
  std::string message = "Changes that were not saved have been recovered in:\n";
  for (std::size_t i = 0; i < names.size() && i < kMaxListed; ++i) {
    std::size_t cut = Utf8PrefixLength(names[i], kMaxNameBytes);
    message += "  " + names[i].substr(0, cut) + (cut < names[i].size() ? "...\n" : "\n");
  }
  if (names.size() > kMaxListed) message += "  and " + std::to_string(names.size() - kMaxListed) + " more\n";
  message += "Save them to keep them.";
  return message;
}
