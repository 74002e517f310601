#include "notes/note_saving.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/locale.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/recovery_journal.h"
#include "storage/atomic_file.h"
#include "storage/load.h"
#include "storage/recovery.h"
#include "storage/save.h"

ScreenSize CurrentScreen() { return {screen_width, screen_height}; }

NoteFileReadOptions ReadOptions() {
  NoteFileReadOptions options;
  options.compatibility = app_res.compatibility;
  options.screen = CurrentScreen();
  options.utf8 = Utf8Notes();
  return options;
}

bool NoteNeedsSaving(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (window && window->shell() && XtIsRealized(window->shell())) {
    int x = note->x, y = note->y;
    window->CurrentPosition(&x, &y);
    // A new place is kept in the record until a save writes it.
    if (x != note->x || y != note->y) {
      note->x = x;
      note->y = y;
      note->moved = true;
    }
  }
  return note->NeedsWrite();
}

namespace {

// Asks the server at once where every shown note's window stands that may
// have moved: a few round trips in all.
void LookAtAllNotes() {
  std::vector<NoteWindow*> windows;
  for (const auto& note : Notes())
    if (NoteWindow* window = WindowOf(note.get()); window && !note->hidden) windows.push_back(window);
  NoteWindow::LookAt(windows);
}

// The note's window when the note has something to save, with the window's
// size and text handed to the record; null otherwise.
NoteWindow* ReadyToSave(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (!window || !window->shell() || !XtIsRealized(window->shell())) return nullptr;
  if (!NoteNeedsSaving(note)) return nullptr;
  window->KeepSize();
  window->SyncText();
  return window;
}

// SaveNote, in a pass of saves when `pass` is given.
bool Save(Note* note, ReplacePass* pass) {
  NoteWindow* window = ReadyToSave(note);
  if (!window) return true;
  std::string message, detail;
  if (!WriteNoteFile(Notes(), note, CurrentScreen(), &message, pass, &detail)) {
    ReportFileFailure(message, detail);
    return false;
  }
  note->moved = false;
  window->MarkSaved();
  RecoveryNoteGone(note->id);
  return true;
}

}  // namespace

bool SaveNote(Note* note) { return Save(note, nullptr); }

bool SaveAllNotes(bool report) {
  if (Notes().empty()) {
    if (report) ShowError("There are no notes to save.");
    return true;
  }
  LookAtAllNotes();
  ReplacePass pass;
  // A save may show a popup but never adds or removes notes; walk by index
  // all the same so the walk stays valid. The files of a stretch of notes
  // are written first and sent to the disk together; then each one is
  // flushed (its data is on the way already) and renamed.
  bool all = true;
  for (std::size_t start = 0; start < Notes().size(); start += kNotesWrittenAhead) {
    const std::size_t end = std::min(Notes().size(), start + kNotesWrittenAhead);
    for (std::size_t i = start; i < end; ++i)
      if (ReadyToSave(Notes()[i].get())) WriteNoteFileAhead(Notes(), *Notes()[i], CurrentScreen(), &pass);
    pass.StartWriteback();
    for (std::size_t i = start; i < end && i < Notes().size(); ++i) all = Save(Notes()[i].get(), &pass) && all;
  }
  std::string flush;
  if (!pass.Finish(&flush)) {
    ReportFileFailure("Couldn't flush the note directory to disk.\nThe notes saved may not survive a crash.", flush);
    all = false;
  }
  return all;
}

bool AnyNoteNeedsSaving() {
  LookAtAllNotes();
  bool any = false;
  for (std::size_t i = 0; i < Notes().size(); ++i) any = NoteNeedsSaving(Notes()[i].get()) || any;
  return any;
}

int RecoverUnsavedNotes() {
  int failed = 0;
  for (const auto& note : Notes()) {
    if (!note->NeedsWrite()) continue;
    ++failed;
    if (NoteWindow* window = WindowOf(note.get())) window->SyncText();
    const std::string bytes = FormatNoteFile(*note, CurrentScreen());
    std::string path, error;
    if (WriteRecoveryFile(Notes().settings().note_dir, RecoveryNumber(*note), bytes, &path, &error)) {
      ReportOnStandardError("note " + std::to_string(note->id) + " could not be saved; its text is in " + path);
      continue;
    }
    // Nowhere left to write it: standard error is the last place.
    ReportOnStandardError("note " + std::to_string(note->id) + " could not be saved, nor written to " + path + " (" +
                          error + "); its text follows");
    ReportOnStandardErrorAsIs(note->text + "\n");
  }
  return failed;
}

void SaveChangedNotesWithoutDisplay() {
  // The window's text is client memory: reading it asks the server nothing.
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && note->NeedsWrite()) window->SyncText();
  }
  std::string error;
  if (!SaveChangedNotes(Notes(), CurrentScreen(), &error) && !error.empty()) ReportOnStandardError(error);
  SettleRecoveryWithoutDisplay();
}

void LoadNotes() {
  std::vector<std::string> problems;
  LoadNoteFiles(Notes(), ReadOptions(), &problems);
  for (const std::string& problem : problems) ReportOnStandardError(problem);
  std::vector<Note*> recovered = RecoverNotes();
  // Notes that were never saved come back from their recovery files alone.
  for (std::size_t i = 0; i < Notes().size(); ++i) {
    Note* note = Notes()[i].get();
    if (!WindowOf(note)) CreateNoteWindow(note);
  }
  ShowRecoveredNotes(recovered);
}
