#include "notes/note_saving.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
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

// How many notes a step of a pass looks at (asking the server where their
// windows stand, formatting their files), and how long a step may take
// notes in: the main loop answers between steps.
constexpr std::size_t kNotesPerStep = 250;
constexpr auto kStepTime = std::chrono::milliseconds(20);

// A pass of SaveAllNotes. The main loop looks at the notes in steps and
// hands their files to `writer`, which writes them while the main loop goes
// on; what it wrote is taken into the notes in steps too.
struct Pass {
  std::unique_ptr<SaveWriter> writer;  // made at the first pass
  bool running = false;
  ScreenSize screen;
  SaveOutcome outcome;
  std::vector<SaveDone> done;     // of the pass under way
  bool again = false;             // another pass was asked for meanwhile
  std::vector<SaveDone> waiting;  // and these run after it
  std::vector<int> ids;           // the notes when the pass began, in list order
  std::size_t next = 0;           // the first of them not yet looked at
  bool added = false;             // the writer has files of this pass
  bool written = false;           // and has ended: every one written
  std::string flush;              // a failed flush of the note directory
  std::deque<FileWrite> backlog;  // written, not yet taken into their notes
  bool step_armed = false;
} pass;

void StartPass();
void Advance();

// The notes by id, for many look-ups at once.
std::unordered_map<int, Note*> NotesById() {
  std::unordered_map<int, Note*> by_id;
  by_id.reserve(Notes().size());
  for (const auto& note : Notes()) by_id.emplace(note->id, note.get());
  return by_id;
}

// Takes one finished write into its note and tells a failure (with the
// display: in a popup, as a save does; without: nothing, as the save that
// follows tells it). True when it saved a note afresh here (the note list
// may have changed).
bool TakeWrite(Note* note, const FileWrite& write, bool display) {
  // A note destroyed meanwhile had its save withdrawn: this is another.
  if (!note || note->file_path != write.path) return false;
  if (!write.ok && (write.details.failed_step == ReplaceDetails::kChanged || write.details.exists)) {
    // The file changed again, or the new note's number was taken, after the
    // pass looked: the note is saved again here, looking afresh.
    if (write.new_file) note->file_path.clear();
    if (!display || !note->NeedsWrite()) return false;
    if (!Save({note}, false)) pass.outcome.all = false;
    return true;
  }
  std::string err, detail;
  if (!FinishNoteWrite(note, write, &err, &detail)) {
    pass.outcome.all = false;
    if (display) ReportFileFailure(err, detail);
    return false;
  }
  // Changed again while it was written: it stays to be saved.
  if (FormatNoteFile(*note, pass.screen) != write.bytes) return false;
  note->moved = false;
  note->MarkSaved();
  if (display) RecoveryNoteGone(note->id);
  return false;
}

// Takes written files into their notes, for at most `until` (all of them
// when it is the zero time point).
void TakeBacklog(bool display, std::chrono::steady_clock::time_point until = {}) {
  if (pass.backlog.empty()) return;
  // A few writes are found by walking the list; many through an index.
  constexpr std::size_t kIndexFrom = 32;
  std::unordered_map<int, Note*> by_id;
  if (pass.backlog.size() >= kIndexFrom) by_id = NotesById();
  std::size_t count = 0;
  while (!pass.backlog.empty()) {
    if (until != std::chrono::steady_clock::time_point() && ++count % 16 == 0 &&
        std::chrono::steady_clock::now() > until)
      break;
    FileWrite write = std::move(pass.backlog.front());
    pass.backlog.pop_front();
    Note* note = nullptr;
    if (by_id.empty()) {
      note = Notes().FindNote(write.id);
    } else if (auto it = by_id.find(write.id); it != by_id.end()) {
      note = it->second;
    }
    if (TakeWrite(note, write, display) && !by_id.empty()) by_id = NotesById();
  }
}

void EndPass() {
  if (!pass.flush.empty()) {
    pass.outcome.all = false;
    ReportFileFailure("Couldn't flush the note directory to disk.\nThe notes saved may not survive a crash.",
                      pass.flush);
  }
  pass.running = false;
  pass.ids.clear();
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

// Takes in every write finished so far; with `renames`, a rename under way
// is waited for too.
void TakeWrites(bool renames = false) {
  if (!pass.writer) return;
  std::vector<FileWrite> done;
  std::string flush;
  if (pass.writer->Take(&done, &flush, renames)) {
    pass.written = true;
    pass.flush = flush;
  }
  for (FileWrite& write : done) pass.backlog.push_back(std::move(write));
}

void WritesReadable(XtPointer, int*, XtInputId*) {
  TakeWrites();
  if (pass.running) Advance();
}

void StepDue(XtPointer, XtIntervalId*) {
  pass.step_armed = false;
  if (pass.running) Advance();
}

// Looks at the next step of notes: where their windows stand, whether they
// need saving; formats their files and hands them to the writer.
void LookAtNextNotes() {
  std::unordered_map<int, Note*> by_id = NotesById();
  const std::size_t end = std::min(pass.ids.size(), pass.next + kNotesPerStep);
  std::vector<Note*> notes;
  std::vector<NoteWindow*> windows;
  for (; pass.next < end; ++pass.next) {
    auto it = by_id.find(pass.ids[pass.next]);
    if (it == by_id.end()) continue;  // gone meanwhile
    notes.push_back(it->second);
    if (NoteWindow* window = WindowOf(it->second); window && !it->second->hidden) windows.push_back(window);
  }
  NoteWindow::LookAt(windows);
  std::vector<Note*> which;
  for (Note* note : notes)
    if (ReadyToSave(note)) which.push_back(note);
  pass.outcome.tried += which.size();
  CatchUpRecovery(which);
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
  if (writes.empty()) return;
  pass.writer->Add(std::move(writes));
  pass.added = true;
}

// One step of the pass in the main loop: the next notes looked at, then
// written files taken into their notes for what is left of the step's time;
// the pass ends once every note is looked at and every file taken in.
void Advance() {
  const auto until = std::chrono::steady_clock::now() + kStepTime;
  if (pass.next < pass.ids.size()) {
    LookAtNextNotes();
    if (pass.next == pass.ids.size() && pass.added) {
      pass.writer->Close();
      if (pass.writer->fd() < 0) TakeWrites();  // written already, on this thread
    }
  }
  TakeBacklog(true, until);
  const bool looked = pass.next == pass.ids.size();
  if (looked && pass.backlog.empty() && (pass.written || !pass.added)) {
    EndPass();
    return;
  }
  if ((!looked || !pass.backlog.empty()) && !pass.step_armed) {
    pass.step_armed = true;
    XtAppAddTimeOut(program.app_context, 0, StepDue, nullptr);
  }
}

void StartPass() {
  pass.running = true;
  pass.outcome = SaveOutcome();
  pass.added = pass.written = false;
  pass.flush.clear();
  pass.backlog.clear();
  pass.ids.clear();
  pass.next = 0;
  for (const auto& note : Notes()) pass.ids.push_back(note->id);
  pass.screen = CurrentScreen();
  if (!pass.writer) {
    pass.writer = std::make_unique<SaveWriter>();
    if (pass.writer->fd() >= 0)
      XtAppAddInput(program.app_context, pass.writer->fd(), IntClientData(XtInputReadMask), WritesReadable,
                    nullptr);
  }
  Advance();
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
  if (!pass.running) return;
  TakeWrites(true);
  TakeBacklog(true);
  Advance();
}

void ForgetQueuedSave(Note* note) {
  if (!pass.running || !pass.writer) return;
  std::vector<FileWrite> done;
  bool dropped = false, was_new = false;
  // Written already and waiting to be taken in: taken in now.
  for (auto it = pass.backlog.begin(); it != pass.backlog.end(); ++it) {
    if (it->id != note->id) continue;
    FileWrite write = std::move(*it);
    pass.backlog.erase(it);
    TakeWrite(note, write, true);
    break;
  }
  if (!pass.writer->Withdraw(note->id, &done, &dropped, &was_new)) return;
  for (const FileWrite& write : done) TakeWrite(note, write, true);
  if (dropped && was_new) note->file_path.clear();
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
    TakeWrites();
    TakeBacklog(false);
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
