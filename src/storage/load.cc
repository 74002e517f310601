#include "storage/load.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/app.h"
#include "notes/note.h"
#include "notes/note_window.h"
#include "storage/note_file.h"

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
int UniqueId(int id) {
  if (FindNote(id) == nullptr) return id;
  return LowestFreeId();
}

void LoadNote(const std::string& path, int id, const NoteFileData& data) {
  Note* note = NewNote(UniqueId(id));
  note->name = data.name;
  note->x = data.x;
  note->y = data.y;
  note->width = data.width;
  note->height = data.height;
  note->saved_width = data.width;
  note->saved_height = data.height;
  note->has_geometry = true;
  note->hidden = data.hidden;
  if (!data.older_format) {
    note->anchored = data.anchored;
    note->alarm_set = data.alarm_set;
    note->alarm_month = data.alarm_month;
    note->alarm_day = data.alarm_day;
    note->alarm_hour = data.alarm_hour;
    note->alarm_minute = data.alarm_minute;
  }
  note->file_path = path;
  // The buffer grows in steps of bufSize so the text always keeps a NUL.
  std::size_t length = data.text.size();
  std::size_t unit = static_cast<std::size_t>(app_res.bufSize);
  if (length >= unit) {
    std::size_t size = (length / unit + 1) * unit;
    note->text.reset(new char[size]());
    note->buffer_size = static_cast<int>(size);
  }
  std::memcpy(note->text.get(), data.text.data(), length);
  CreateNoteWindow(note);
}

}  // namespace

void LoadNotes() {
  const std::string dir = app_res.noteDir;
  DIR* d = opendir(dir.c_str());
  if (!d) {
    std::fprintf(stderr, "stikkel: %s: %s\n", dir.c_str(), std::strerror(errno));
    return;
  }
  NoteFileReadOptions options;
  options.compatibility = app_res.compatibility;
  options.screen_width = screen_width;
  options.screen_height = screen_height;
  std::string bytes;
  while (dirent* entry = readdir(d)) {
    if (!IsNoteFileName(entry->d_name)) continue;
    std::string path = dir + "/" + entry->d_name;
    NoteFileData data;
    if (!ReadCandidateFile(path, &bytes) || !ReadNoteFile(bytes, options, &data)) continue;
    // A text longer than any buffer the program can hold is not a note.
    if (data.text.size() >= static_cast<std::size_t>(INT32_MAX) - static_cast<std::size_t>(app_res.bufSize)) continue;
    LoadNote(path, NoteIdFromFileName(entry->d_name), data);
  }
  closedir(d);
}
