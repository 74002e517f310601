#include "storage/load.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_set>

#include "storage/dir_names.h"
#include "storage/file_identity.h"
#include "storage/file_io.h"

namespace {

std::string TextTooLongReason() { return "text longer than " + std::to_string(kMaxStoredTextBytes) + " bytes"; }

}  // namespace

bool ReadCandidateFile(const std::string& path, const NoteFileReadOptions& options, std::string* bytes,
                       std::string* reason, StoredFile* identity) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) {
    *reason = std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *reason = "not a regular file";
    return false;
  }
  // Read in steps: first until the header and the name are in, then up to
  // what the header says the text holds. The file's size bounds each step,
  // so that reading costs what the file holds, not what its header claims
  // (one byte more finds a file that grew meanwhile).
  constexpr std::size_t kStep = 64 * 1024;
  const std::size_t file_size = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  bytes->clear();
  NoteFileExtent extent;
  bool at_end = false;
  while (true) {
    const bool head = extent.verdict == NoteFileExtent::kNeedMore;
    std::size_t want = head ? bytes->size() + kStep : extent.bytes;
    if (at_end || bytes->size() >= want) break;
    std::size_t old = bytes->size();
    std::size_t step = want - old;
    if (head && step > kStep) step = kStep;
    if (old < file_size && step > file_size + 1 - old) step = file_size + 1 - old;
    if (old >= file_size && step > kStep) step = kStep;
    bytes->resize(old + step);
    ssize_t n = read(fd.get(), &(*bytes)[old], step);
    if (n < 0 && errno == EINTR) {
      bytes->resize(old);
      continue;
    }
    if (n < 0) {
      *reason = std::strerror(errno);
      return false;
    }
    bytes->resize(old + static_cast<std::size_t>(n));
    at_end = n == 0;
    if (head) {
      extent = MeasureNoteFile(*bytes, at_end, options);
      if (extent.verdict == NoteFileExtent::kNotNote) {
        *reason = extent.reason;
        return false;
      }
      // A text longer than a note file may hold is not read at all.
      if (extent.verdict == NoteFileExtent::kRead && file_size > extent.text_start &&
          std::min(extent.stated_length, file_size - extent.text_start) > kMaxStoredTextBytes) {
        *reason = TextTooLongReason();
        return false;
      }
    }
  }
  if (identity) *identity = IdentityOf(st, *bytes);
  return true;
}

namespace {

// A note whose id another note already has (`taken`) gets a fresh one; it
// keeps its own file. The set saves a walk of the list for every file.
int UniqueId(const NoteList& notes, std::unordered_set<int>* taken, int id) {
  if (taken->count(id)) id = notes.LowestFreeId();
  taken->insert(id);
  return id;
}

// A file name may hold control characters: none reaches the terminal.
std::string SkippedFileLine(const std::string& path, const std::string& reason) {
  std::string shown = path;
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return shown + ": not a note (" + reason + "); skipped";
}

}  // namespace

std::vector<Note*> LoadNoteFiles(NoteList& notes, const NoteFileReadOptions& options,
                                 std::vector<std::string>* problems) {
  std::vector<Note*> loaded;
  const std::string& dir = notes.settings().note_dir;
  DirStream d(opendir(dir.c_str()));
  if (!d) {
    if (problems) problems->push_back(dir + ": " + std::strerror(errno));
    return loaded;
  }
  const std::size_t unit = notes.settings().buffer_size;
  // The alarm a note of the older format keeps: now, worked out once.
  const Alarm alarm_now = AlarmAt(std::time(nullptr));
  std::unordered_set<int> taken;
  for (const auto& note : notes) taken.insert(note->id);
  std::string bytes;
  while (dirent* entry = readdir(d.get())) {
    if (!IsNoteCandidateName(entry->d_name)) continue;
    std::string path = dir + "/" + entry->d_name;
    auto note = std::make_unique<Note>();
    note->alarm = alarm_now;
    std::string reason;
    NoteFileInfo info;
    bool ok = ReadCandidateFile(path, options, &bytes, &reason, &note->stored_file);
    if (ok && !ReadNoteFile(bytes, options, note.get(), &info)) {
      ok = false;
      reason = "no note header";
    }
    if (ok && info.text_bytes > kMaxStoredTextBytes) {
      ok = false;
      reason = TextTooLongReason();
    }
    if (!ok) {
      if (problems) problems->push_back(SkippedFileLine(path, reason));
      continue;
    }
    note->id = UniqueId(notes, &taken, NoteIdFromFileName(entry->d_name));
    note->has_geometry = true;
    note->window_width = note->width;
    note->window_height = note->height;
    note->file_path = path;
    // The buffer is sized from the length the file states, which may be
    // more than the text it holds.
    std::size_t stated = info.stated_length > 0 ? static_cast<std::size_t>(info.stated_length) : 0;
    note->buffer_size = BufferSizeFor(std::max(stated, info.text_bytes), unit);
    loaded.push_back(notes.Add(std::move(note)));
  }
  return loaded;
}

FileNow LookAgain(const std::string& path, const StoredFile& stored, const NoteFileReadOptions& options,
                  std::string* bytes, StoredFile* now) {
  bytes->clear();
  *now = StoredFile();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? FileNow::kGone : FileNow::kNotNote;
  if (stored.known && S_ISREG(st.st_mode)) {
    StoredFile quick = stored;
    quick.device = st.st_dev;
    quick.inode = st.st_ino;
    quick.size = static_cast<unsigned long long>(st.st_size);
    quick.mtime_sec = st.st_mtim.tv_sec;
    quick.mtime_nsec = st.st_mtim.tv_nsec;
    if (SameFileState(quick, stored)) {
      *now = stored;
      return FileNow::kSame;
    }
  }
  std::string reason;
  if (!ReadCandidateFile(path, options, bytes, &reason, now)) {
    bytes->clear();
    return FileNow::kNotNote;
  }
  if (SameBytes(*now, stored)) return FileNow::kSame;
  Note probe;
  if (!ReadNoteFile(*bytes, options, &probe)) return FileNow::kNotNote;
  return FileNow::kChanged;
}
