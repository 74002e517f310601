#include "storage/save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/popups.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"
#include "storage/atomic_file.h"
#include "storage/note_file.h"

namespace {

std::string TempName() { return std::string(app_res.noteDir) + "/sk1." + std::to_string(getpid()); }

void ReportFileError(const std::string& what, int error) {
  std::fprintf(stderr, "stikkel: %s: %s\n", what.c_str(), std::strerror(error));
}

NoteFileData FileDataOf(const Note* note, int width, int height) {
  NoteFileData data;
  data.x = note->x;
  data.y = note->y;
  data.width = width;
  data.height = height;
  data.hidden = note->hidden;
  data.anchored = note->anchored;
  data.screen_width = screen_width;
  data.screen_height = screen_height;
  data.alarm_set = note->alarm_set;
  data.alarm_month = note->alarm_month;
  data.alarm_day = note->alarm_day;
  data.alarm_hour = note->alarm_hour;
  data.alarm_minute = note->alarm_minute;
  data.name = note->name;
  data.text.assign(note->text.get(), strnlen(note->text.get(), static_cast<std::size_t>(note->buffer_size)));
  return data;
}

// Writes the note's file; true when it is on disk. A new note never
// replaces a file it did not load.
bool WriteNote(Note* note, const NoteFileData& data, bool with_popups) {
  bool new_file = note->file_path.empty();
  if (new_file) note->file_path = NoteFilePath(note->id);
  const std::string temp = TempName();
  FileWriteResult r = ReplaceFile(temp, note->file_path, FormatNoteFile(data), new_file);
  switch (r.stage) {
    case FileWriteResult::kOk:
      break;
    case FileWriteResult::kOpen:
      ReportFileError(temp, r.error);
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kWrite:
      ReportFileError(temp, r.error);
      if (with_popups)
        ShowError("Couldn't write " + temp + ":\n" + std::strerror(r.error) + "\nSave of note failed.\n" +
                  note->file_path + " is unchanged.");
      if (new_file) note->file_path.clear();
      return false;
    case FileWriteResult::kExists:
    case FileWriteResult::kRename:
      ReportFileError(temp + "-" + note->file_path, r.error);
      if (with_popups)
        ShowError("Couldn't rename " + temp + "\nto " + note->file_path + ".\nSave of note failed.\n" + temp +
                  " should contain valid copy of note.");
      if (new_file) note->file_path.clear();
      return false;
  }
  struct stat st;
  if (stat(note->file_path.c_str(), &st) != 0) {
    if (with_popups)
      ShowError("Rename " + temp + " to\n " + note->file_path + " failed.\nMight be NFS problems.\nSave of note failed.");
    return false;
  }
  return true;
}

}  // namespace

void SaveNote(Widget, XtPointer client_data, XtPointer) {
  Note* note = FindNote(NoteIdOf(client_data));
  if (!note || !note->shell || !XtIsRealized(note->shell)) return;
  // A hidden note cannot have been moved; its window is not managed while
  // it is withdrawn, so its own position would not be the frame's.
  int x = note->x, y = note->y;
  if (!note->hidden && note->may_have_moved) {
    // Cleared before asking: a notice that comes in meanwhile sets it again.
    note->may_have_moved = false;
    OuterWindowPosition(note, &x, &y);
  }
  if (x == note->x && y == note->y && !note->changed && !note->moved) return;
  note->x = x;
  note->y = y;
  XWindowAttributes attrs;
  if (XGetWindowAttributes(display, XtWindow(note->shell), &attrs)) {
    note->saved_width = attrs.width;
    note->saved_height = attrs.height;
  }
  if (WriteNote(note, FileDataOf(note, note->saved_width, note->saved_height), true)) {
    note->moved = false;
    MarkNoteSaved(note);
  }
}

void SaveAllNotes(bool report) {
  if (Notes().empty()) {
    if (report) ShowError("There are no notes to save.");
    return;
  }
  // A save may show a popup but never adds or removes notes; walk by index
  // all the same so the walk stays valid.
  for (std::size_t i = 0; i < Notes().size(); ++i) {
    Note* note = Notes()[i].get();
    SaveNote(note->shell, reinterpret_cast<XtPointer>(static_cast<long>(note->id)), nullptr);
  }
}

void SaveChangedNotesWithoutDisplay() {
  for (const auto& note : Notes()) {
    if (!note->changed && !note->moved) continue;
    int width = note->saved_width ? note->saved_width : note->width;
    int height = note->saved_height ? note->saved_height : note->height;
    if (WriteNote(note.get(), FileDataOf(note.get(), width, height), false)) note->changed = note->moved = false;
  }
}
