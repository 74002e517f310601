#include "notes/note_saving.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/outside_changes.h"
#include "notes/recovery_journal.h"
#include "storage/dir_names.h"
#include "storage/load.h"
#include "storage/recovery.h"
#include "storage/save.h"

void TakeWindowPlace(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (window && window->shell() && XtIsRealized(window->shell())) window->TakePlace();
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

// Whether the note has a window and something to save, with the window's
// place and size taken into the record. A note loaded hidden and not shown
// since has no widgets yet: its record holds its place and size.
bool ReadyToSave(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (!window) return false;
  const bool built = window->shell() != nullptr;
  if (built && !XtIsRealized(window->shell())) return false;
  TakeWindowPlace(note);
  if (!note->NeedsWrite()) return false;
  if (built) window->KeepSize();
  return true;
}

// Saves the notes of `which` (SaveNotes), each failure told once.
bool Save(const std::vector<Note*>& which, bool ahead) {
  CatchUpRecovery(which);
  std::string flush;
  OutsideChanges outside;
  outside.options = ReadOptions();
  bool all = SaveNotes(Notes(), which, CurrentScreen(), ahead,
                       [](Note* note, bool written, const std::string& err, const std::string& detail) {
                         if (written) RecoveryNoteGone(note->id);
                         else ReportFileFailure(err, detail);
                       }, &flush, &outside);
  ShowOutsideChanges(&outside);
  if (!flush.empty())
    ReportFileFailure("Couldn't flush the note directory to disk.\nThe notes saved may not survive a crash.", flush);
  return all;
}

}  // namespace

bool SaveNote(Note* note) {
  if (!ReadyToSave(note)) return true;
  return Save({note}, false);
}

bool SaveAllNotes(bool report) {
  if (Notes().empty()) {
    if (report) ShowError("There are no notes to save.");
    return true;
  }
  LookAtAllNotes();
  std::vector<Note*> which;
  for (const auto& note : Notes())
    if (ReadyToSave(note.get())) which.push_back(note.get());
  return Save(which, true);
}

bool AnyNoteNeedsSaving() {
  LookAtAllNotes();
  bool any = false;
  for (const auto& note : Notes()) {
    TakeWindowPlace(note.get());
    any = note->NeedsWrite() || any;
  }
  return any;
}

int RecoverUnsavedNotes() {
  int failed = 0;
  for (const auto& note : Notes()) {
    if (!note->NeedsWrite()) continue;
    ++failed;
    const std::string bytes = FormatNoteFile(*note, CurrentScreen());
    std::string path, error;
    if (WriteRecoveryFile(Notes().settings().note_dir, JournalName(*note), JournalBytes(bytes, note->stored_file),
                          &path, &error)) {
      note->journal_name = JournalName(*note);
      ReportOnStandardError("note " + std::to_string(note->id) + " could not be saved; its text is in " + path);
      continue;
    }
    // Nowhere left to write it: standard error is the last place.
    ReportOnStandardError("note " + std::to_string(note->id) + " could not be saved, nor written to " + path + " (" +
                          error + "); its text follows");
    ReportOnStandardErrorAsIs(note->Text() + "\n");
  }
  return failed;
}

void SaveChangedNotesWithoutDisplay() {
  // The windows' texts are client memory: reading them asks the server
  // nothing. No widget shows the changed flag any more.
  for (const auto& note : Notes())
    if (NoteWindow* window = WindowOf(note.get())) window->DisplayGone();
  std::string error;
  const NoteFileReadOptions options = ReadOptions();
  if (!SaveChangedNotes(Notes(), CurrentScreen(), &error, &options) && !error.empty()) ReportOnStandardError(error);
  SettleRecoveryWithoutDisplay();
}

void LoadNotes() {
  RemoveCrashTemporaries(Notes().settings().note_dir);
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
