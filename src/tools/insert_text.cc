#include "tools/insert_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "storage/file_io.h"
#include "tools/command_jobs.h"
#include "tools/shell_command.h"

namespace {

void InsertString(NoteWindow* window, const std::string& text) {
  std::string_view bytes(text.c_str());
  // A text that would make the note too long is refused by the window,
  // which says why; any other refusal is reported here.
  if (!window->InsertAtCaret(bytes) && window->InsertedLength(bytes) <= window->Room())
    ReportError("Can't add text from buffer to note!!");
}

void InsertFile(NoteWindow* window, const std::string& path, bool remove_after) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    ReportError("Can't stat file: " + path);
    if (remove_after) unlink(path.c_str());
    return;
  }
  // Non-blocking, so that a FIFO cannot hang the program.
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    const int error = errno;
    ReportFileFailure("Can't open file for\nreading: " + path, path + ": " + std::strerror(error));
    if (remove_after) unlink(path.c_str());
    return;
  }
  // The file is read whole, but never more than one byte past the room left
  // in the note: that is enough to know that the text won't fit, and a huge
  // file costs no more memory than the note itself. It goes in at once,
  // after the last read: a file that comes in several reads is still taken
  // or refused as a whole, and read as UTF-8 or as Latin-1 as a whole.
  // Nothing after a NUL byte is inserted.
  std::size_t size = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  std::string bytes(std::min(size, window->Room() + 1), '\0');
  std::size_t have = 0;
  while (have < bytes.size()) {
    ssize_t got = read(fd.get(), &bytes[have], bytes.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // end of file, or a read error ends it the same way
    std::size_t chunk = strnlen(&bytes[have], static_cast<std::size_t>(got));
    have += chunk;
    if (chunk < static_cast<std::size_t>(got)) break;
  }
  bytes.resize(have);
  bool refused = !bytes.empty() && !window->InsertAtCaret(bytes);
  bool too_long = refused && window->InsertedLength(bytes) > window->Room();
  fd.Close();
  if (refused) {
    if (!too_long) ReportError("Can't add text from file to note!!");
    return;
  }
  if (remove_after) unlink(path.c_str());
}

}  // namespace

void InsertIntoNote(Note* note, const std::string& source, bool remove_after, bool from_file) {
  NoteWindow* window = WindowOf(note);
  if (from_file) InsertFile(window, source, remove_after);
  else InsertString(window, source);
}

std::string ProgramTempPath() { return TempFilePath(program.res.tmpDir ? program.res.tmpDir : "/tmp", getpid()); }

bool OpenProgramTempFile(TempFile* file, const std::string& path) {
  if (file->Open(path)) return true;
  const int error = errno;
  ReportFileFailure("Can't open tempoary file for\nwriting: " + path, path + ": " + std::strerror(error));
  return false;
}

void InsertCalendar(Note* note) {
  std::string path = TemporaryPathFor(ProgramTempPath());
  TempFile file;
  if (!OpenProgramTempFile(&file, path)) return;
  // The command writes into the file the program opened; the shell never
  // opens the path itself. The program goes on while it runs; its output
  // goes in at the note's insertion point once it has ended.
  std::string command = program.res.calendarCmd ? program.res.calendarCmd : "";
  const int id = note->id;
  RunInBackground(command, {}, file.fd(), path, [path, command, id, note](const CommandResult& result) {
    if (!CommandSucceeded(result)) {
      std::string message = "Couldn't run " + command + ": return code = " + std::to_string(result.status);
      std::string said = result.start_error ? std::strerror(result.start_error) : FirstErrorLines(result.error_output);
      if (!said.empty()) message += "\n" + said;
      ReportError(message);
      unlink(path.c_str());
      return;
    }
    Note* target = Notes().FindNote(id);
    if (target != note) {  // the note was destroyed meanwhile
      unlink(path.c_str());
      return;
    }
    InsertIntoNote(target, path, true, true);
    target->MarkChanged();
  });
}
