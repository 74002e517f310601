#include "storage/load.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <memory>

#include "storage/file_io.h"

bool ReadCandidateFile(const std::string& path, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  bytes->clear();
  bytes->reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return false;
    }
    bytes->append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

namespace {

// A note whose id another loaded note already has gets a fresh one; it
// keeps its own file.
int UniqueId(const NoteList& notes, int id) {
  if (notes.FindNote(id) == nullptr) return id;
  return notes.LowestFreeId();
}

}  // namespace

std::vector<Note*> LoadNoteFiles(NoteList& notes, const NoteFileReadOptions& options) {
  std::vector<Note*> loaded;
  const std::string& dir = notes.settings().note_dir;
  DIR* d = opendir(dir.c_str());
  if (!d) {
    ReportFileError(dir, errno);
    return loaded;
  }
  const std::size_t unit = notes.settings().buffer_size;
  const std::time_t now = std::time(nullptr);
  std::string bytes;
  while (dirent* entry = readdir(d)) {
    if (!IsNoteFileName(entry->d_name)) continue;
    std::string path = dir + "/" + entry->d_name;
    auto note = std::make_unique<Note>();
    note->alarm = AlarmAt(now);  // kept by a note of the older format
    if (!ReadCandidateFile(path, &bytes) || !ReadNoteFile(bytes, options, note.get())) continue;
    // A text longer than any buffer the program can hold is not a note.
    if (note->text.size() >= static_cast<std::size_t>(INT32_MAX) - unit) continue;
    note->id = UniqueId(notes, NoteIdFromFileName(entry->d_name));
    note->has_geometry = true;
    note->window_width = note->width;
    note->window_height = note->height;
    note->file_path = path;
    note->buffer_size = BufferSizeFor(note->text.size(), unit);
    loaded.push_back(notes.Add(std::move(note)));
  }
  closedir(d);
  return loaded;
}
