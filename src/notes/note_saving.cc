#include "notes/note_saving.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/client_data.h"
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
#include "storage/save_writer.h"

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
  // Its save in a pass under way, if any, is done or dropped now: this one
  // writes what the note holds now.
  ForgetQueuedSave(note);
  if (!ReadyToSave(note)) return true;
  return Save({note}, false);
}

namespace {

// A pass of SaveAllNotes: its files are written by `writer` while the main
// loop goes on.
struct Pass {
  std::unique_ptr<SaveWriter> writer;  // made at the first pass
  bool running = false;
  ScreenSize screen;
  SaveOutcome outcome;
  std::vector<SaveDone> done;     // of the pass under way
  bool again = false;             // another pass was asked for meanwhile
  std::vector<SaveDone> waiting;  // and these run after it
} pass;

void StartPass();

// Takes one finished write into its note and tells a failure (with the
// display: in a popup, as a save does; without: nothing, as the save that
// follows tells it).
void TakeWrite(const FileWrite& write, bool display) {
  Note* note = Notes().FindNote(write.id);
  // A note destroyed meanwhile had its save withdrawn: this is another.
  if (!note || note->file_path != write.path) return;
  if (!write.ok && (write.details.failed_step == ReplaceDetails::kChanged || write.details.exists)) {
    // The file changed again, or the new note's number was taken, after the
    // pass looked: the note is saved again here, looking afresh.
    if (write.new_file) note->file_path.clear();
    if (display && note->NeedsWrite() && !Save({note}, false)) pass.outcome.all = false;
    return;
  }
  std::string err, detail;
  if (!FinishNoteWrite(note, write, &err, &detail)) {
    pass.outcome.all = false;
    if (display) ReportFileFailure(err, detail);
    return;
  }
  // Changed again while it was written: it stays to be saved.
  if (FormatNoteFile(*note, pass.screen) != write.bytes) return;
  note->moved = false;
  note->MarkSaved();
  if (display) RecoveryNoteGone(note->id);
}

void EndPass(const std::string& flush) {
  if (!flush.empty()) {
    pass.outcome.all = false;
    ReportFileFailure("Couldn't flush the note directory to disk.\nThe notes saved may not survive a crash.", flush);
  }
  pass.running = false;
  const SaveOutcome outcome = pass.outcome;
  std::vector<SaveDone> done = std::move(pass.done);
  pass.done.clear();
  for (const SaveDone& d : done)
    if (d) d(outcome);
  if (!pass.again || pass.running) return;
  pass.again = false;
  pass.done = std::move(pass.waiting);
  pass.waiting.clear();
  StartPass();
}

// Takes in every write finished so far; ends the pass when it is over.
void TakeWrites() {
  if (!pass.writer) return;
  std::vector<FileWrite> done;
  std::string flush;
  const bool ended = pass.writer->Take(&done, &flush);
  for (const FileWrite& write : done) TakeWrite(write, true);
  if (ended && pass.running) EndPass(flush);
}

void WritesReadable(XtPointer, int*, XtInputId*) { TakeWrites(); }

void StartPass() {
  pass.running = true;
  pass.outcome = SaveOutcome();
  if (!pass.writer) {
    pass.writer = std::make_unique<SaveWriter>();
    if (pass.writer->fd() >= 0)
      XtAppAddInput(program.app_context, pass.writer->fd(), IntClientData(XtInputReadMask), WritesReadable,
                    nullptr);
  }
  LookAtAllNotes();
  std::vector<Note*> which;
  for (const auto& note : Notes())
    if (ReadyToSave(note.get())) which.push_back(note.get());
  pass.outcome.tried = which.size();
  CatchUpRecovery(which);
  pass.screen = CurrentScreen();
  OutsideChanges outside;
  outside.options = ReadOptions();
  std::vector<FileWrite> writes;
  writes.reserve(which.size());
  for (Note* note : which) {
    std::string err, detail;
    FileWrite write;
    switch (PrepareNoteWrite(Notes(), note, FormatNoteFile(*note, pass.screen), &err, &detail, &outside, &write)) {
      case NoteWriteStart::kWrite:
        writes.push_back(std::move(write));
        break;
      case NoteWriteStart::kNothingToWrite:
        // Another program's version was taken, or the file went: as saved.
        note->moved = false;
        note->MarkSaved();
        RecoveryNoteGone(note->id);
        break;
      case NoteWriteStart::kFailed:
        pass.outcome.all = false;
        ReportFileFailure(err, detail);
        break;
    }
  }
  ShowOutsideChanges(&outside);
  if (writes.empty()) {
    EndPass(std::string());
    return;
  }
  pass.writer->Add(std::move(writes));
  pass.writer->Close();
  if (pass.writer->fd() < 0) TakeWrites();  // written already, on this thread
}

}  // namespace

void SaveAllNotes(bool report, SaveDone done) {
  if (Notes().empty()) {
    if (report) ShowError("There are no notes to save.");
    if (done) done(SaveOutcome());
    return;
  }
  if (pass.running) {
    pass.again = true;
    pass.waiting.push_back(std::move(done));
    return;
  }
  pass.done.push_back(std::move(done));
  StartPass();
}

void TakeFinishedSaves() {
  if (pass.running) TakeWrites();
}

void ForgetQueuedSave(Note* note) {
  if (!pass.running || !pass.writer) return;
  std::vector<FileWrite> done;
  bool dropped = false, was_new = false;
  if (!pass.writer->Withdraw(note->id, &done, &dropped, &was_new)) return;
  for (const FileWrite& write : done) TakeWrite(write, true);
  if (dropped && was_new && Notes().Contains(note)) note->file_path.clear();
}

void WaitForSaves() {
  if (pass.writer) pass.writer->Wait();
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
  // What a pass under way wrote is taken in first; what it did not write
  // is written below.
  if (pass.writer) {
    pass.writer->Wait();
    std::vector<FileWrite> done;
    std::string flush;
    pass.writer->Take(&done, &flush);
    for (const FileWrite& write : done) TakeWrite(write, false);
  }
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
