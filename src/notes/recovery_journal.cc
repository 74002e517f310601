#include "notes/recovery_journal.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/app.h"
#include "app/client_data.h"
#include "app/popups.h"
#include "app/report.h"
#include "app/timer_fd.h"
#include "model/note_list.h"
#include "notes/note_file_options.h"
#include "storage/recovery.h"
#include "storage/recovery_schedule.h"
#include "storage/recovery_writer.h"

namespace {

using Millis = RecoverySchedule::Millis;

// What the journal keeps: when each note is due, the timer, the writer, and
// the notes whose last write failed (told once until one works, or until the
// note is saved or gone).
struct Journal {
  RecoverySchedule schedule;
  // A monotonic timer descriptor watched by the main loop, or the toolkit's
  // timeout where the system has none.
  std::unique_ptr<TimerFd> timer;
  XtIntervalId fallback_timer = 0;
  Millis armed_for = -1;  // the time the timer fires at, -1 when not armed
  std::vector<int> failing;
  // The thread that writes and removes the recovery files, in the order
  // asked; the main loop only makes the bytes and hears how it went.
  RecoveryWriter writer;
  bool watching = false;  // the main loop watches the writer's results
  // Each write asked for is numbered; what it came to is heard for the note
  // it was asked for only while the note is still journaled (a result that
  // comes after the note was saved or destroyed tells nothing).
  int last_job = 0;
  std::unordered_map<int, int> job_note;  // job number -> note id
  // The names a note's recovery file had before the one it has now, to go
  // once a write under the new name is through.
  std::unordered_map<int, std::vector<std::string>> former_names;
  // Memory that held the bytes of an earlier write, or that the writer
  // made ready, for the next bytes (empty when there is none).
  std::string spare;
  bool preparing = false;  // the writer is making memory ready
  // What the start-up told besides the recovered notes: their names.
  std::vector<std::string> both_kept;
  std::vector<std::string> set_aside;
} journal;

Millis Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<Millis>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const std::string& NoteDir() { return Notes().settings().note_dir; }

void WriteDue();

void TimerReadable(XtPointer, int*, XtInputId*) {
  if (journal.timer->Consume() == TimerFd::kNothing) return;
  journal.armed_for = -1;
  WriteDue();
}

void FallbackTimerFired(XtPointer, XtIntervalId*) {
  journal.fallback_timer = 0;
  journal.armed_for = -1;
  WriteDue();
}

void Arm(Millis due, Millis now) {
  if (journal.armed_for >= 0 && journal.armed_for <= due) return;
  if (!journal.timer) {
    journal.timer = std::make_unique<TimerFd>(TimerFd::kMonotonic);
    if (journal.timer->fd() >= 0)
      XtAppAddInput(program.app_context, journal.timer->fd(), IntClientData(XtInputReadMask), TimerReadable, nullptr);
  }
  unsigned long ms = due > now ? static_cast<unsigned long>(due - now) : 0;
  if (journal.timer->fd() >= 0) {
    journal.timer->ArmAfter(ms);
  } else {
    if (journal.fallback_timer) XtRemoveTimeOut(journal.fallback_timer);
    journal.fallback_timer = XtAppAddTimeOut(program.app_context, ms, FallbackTimerFired, nullptr);
  }
  journal.armed_for = due;
}

void Disarm() {
  if (journal.armed_for < 0) return;
  journal.armed_for = -1;
  if (journal.timer && journal.timer->fd() >= 0) journal.timer->Disarm();
  if (journal.fallback_timer) XtRemoveTimeOut(journal.fallback_timer);
  journal.fallback_timer = 0;
}

// Arms the timer for the next note due, or disarms it when none is.
void Rearm(Millis now) {
  Millis next = journal.schedule.NextDue();
  if (next < 0) Disarm();
  else if (next != journal.armed_for) {
    Disarm();
    Arm(next, now);
  }
}

// What the writer did: a write that failed is told once for its note
// (unless the job said not to: a save follows that tells its own).
void HandleResults() {
  for (RecoveryWriter::Result& result : journal.writer.TakeResults()) {
    if (result.prepared) journal.preparing = false;
    if (result.spare.capacity() > journal.spare.capacity()) journal.spare = std::move(result.spare);
    auto job = journal.job_note.find(result.tag);
    if (job == journal.job_note.end()) {
      // A removal, or a write of a note saved or gone since: only a file
      // that could not be removed is worth a word.
      if (!result.ok && result.removal) ReportOnStandardError(result.error);
      continue;
    }
    const int id = job->second;
    // A write that took the place of earlier ones answers for them too.
    for (auto it = journal.job_note.begin(); it != journal.job_note.end();)
      it = it->second == id && it->first <= result.tag ? journal.job_note.erase(it) : std::next(it);
    Note* note = Notes().FindNote(id);
    auto failing = std::find(journal.failing.begin(), journal.failing.end(), id);
    if (result.ok) {
      if (failing != journal.failing.end()) journal.failing.erase(failing);
      auto former = journal.former_names.find(id);
      if (former != journal.former_names.end()) {
        for (const std::string& gone : result.removed)
          former->second.erase(std::remove(former->second.begin(), former->second.end(), gone),
                               former->second.end());
        if (former->second.empty()) journal.former_names.erase(former);
      }
    } else if (result.tell && note && failing == journal.failing.end()) {
      journal.failing.push_back(id);
      ReportFileFailure("Couldn't write the recovery copy of the note\n" + note->name +
                            ".\nWhat is typed there is lost if stikkel dies\nbefore the note is saved.",
                        result.error);
    }
  }
}

void ResultsReady(XtPointer, int*, XtInputId*) { HandleResults(); }

// Has the main loop hear the writer.
void Watch() {
  if (journal.watching) return;
  journal.watching = true;
  int fd = journal.writer.fd();
  if (fd >= 0) XtAppAddInput(program.app_context, fd, IntClientData(XtInputReadMask), ResultsReady, nullptr);
}

// Waits for every write and removal asked for, and hears how they went.
void WaitForWriter() {
  journal.writer.Drain();
  HandleResults();
}

// Hands the note's recovery file to the writer: the bytes are made here
// (the note's text is the text widget's), written there. A failure is told
// once (unless `tell` is off: a save follows that tells its own).
void WriteRecovery(Note* note, Millis now, bool tell = true) {
  const std::string name = JournalName(*note);
  // The note's file has another name now (its first save): the recovery
  // file follows it, and the former one goes once the new one is written.
  std::vector<std::string>& former = journal.former_names[note->id];
  if (!note->journal_name.empty() && note->journal_name != name &&
      std::find(former.begin(), former.end(), note->journal_name) == former.end())
    former.push_back(note->journal_name);
  former.erase(std::remove(former.begin(), former.end(), name), former.end());
  std::vector<std::string> then_remove = former;
  if (former.empty()) journal.former_names.erase(note->id);
  // From now on a file of this name may be there.
  note->journal_name = name;
  const int job = ++journal.last_job;
  journal.job_note[job] = note->id;
  Watch();
  std::string bytes = std::move(journal.spare);
  journal.spare = std::string();
  JournalFileBytes(*note, CurrentScreen(), &bytes);
  journal.writer.Write(NoteDir(), job, name, std::move(bytes), std::move(then_remove), tell);
  journal.schedule.Written(note->id, now, true);
}

void WriteDue() {
  Millis now = Now();
  for (int id : journal.schedule.TakeDue(now)) {
    Note* note = Notes().FindNote(id);
    if (note && note->changed()) WriteRecovery(note, now);
  }
  Rearm(Now());
}

// Has the note's recovery file removed, whatever name it has on disk, after
// every write of it asked for before.
void Remove(Note* note, int id) {
  auto former = journal.former_names.find(id);
  if (former != journal.former_names.end()) {
    for (const std::string& name : former->second) journal.writer.Remove(NoteDir(), 0, name);
    journal.former_names.erase(former);
  }
  for (auto it = journal.job_note.begin(); it != journal.job_note.end();)
    it = it->second == id ? journal.job_note.erase(it) : std::next(it);
  if (!note || note->journal_name.empty()) return;
  Watch();
  journal.writer.Remove(NoteDir(), 0, note->journal_name);
  note->journal_name.clear();
}

}  // namespace

void RecordChange(const Note* note) {
#ifdef STIKKEL_NO_JOURNAL
  // Built without the journal (to measure what it costs): nothing is kept.
  const bool off = true;
#else
  const bool off = false;
#endif
  if (off || journal.schedule.Pending(note->id) || NoteDir().empty()) return;
  Millis now = Now();
  Millis due = journal.schedule.Changed(note->id, now);
  if (due < 0) return;
  Arm(due, now);
  // A large note: the writer makes the memory for its bytes ready
  // meanwhile, so that the main loop does not wait for new pages.
  constexpr std::size_t kLarge = 1 << 20;
  constexpr std::size_t kRoom = 64 << 10;  // header, name, and more typing
  const std::size_t size = note->TextLength() + kRoom;
  if (size > kLarge && journal.spare.capacity() < size && !journal.preparing) {
    journal.preparing = true;
    Watch();
    journal.writer.Prepare(size);
  }
}

void RecoveryNoteGone(int id) {
  std::vector<int>& failing = journal.failing;
  failing.erase(std::remove(failing.begin(), failing.end(), id), failing.end());
  journal.schedule.Forget(id);
  Remove(Notes().FindNote(id), id);
  Rearm(Now());
  // Gone when the save or the destruction is done, not only asked for.
  WaitForWriter();
  // The memory of earlier writes is kept while typing goes on, not after.
  journal.spare = std::string();
}

void DiscardRecovery() {
  journal.schedule.ForgetAll();
  for (const auto& note : Notes()) Remove(note.get(), note->id);
  journal.failing.clear();
  Disarm();
  // The program ends next: nothing may be left half done.
  WaitForWriter();
  journal.spare = std::string();
}

void FlushRecovery() {
  Millis now = Now();
  for (const auto& note : Notes()) {
    bool behind = journal.schedule.Pending(note->id) ||
                  std::find(journal.failing.begin(), journal.failing.end(), note->id) != journal.failing.end();
    if (behind && note->changed()) WriteRecovery(note.get(), now);
  }
  Disarm();
  WaitForWriter();
}

void CatchUpRecovery(const std::vector<Note*>& which) {
  Millis now = Now();
  bool any = false;
  for (Note* note : which) {
    if (!journal.schedule.Pending(note->id) || !note->changed()) continue;
    WriteRecovery(note, now, false);
    any = true;
  }
  if (any) Rearm(Now());
  // Written, not only asked for: the save's rename comes after.
  if (journal.writer.Busy()) WaitForWriter();
}

void SettleRecoveryWithoutDisplay() {
  for (const auto& note : Notes())
    if (!note->changed()) RecoveryNoteGone(note->id);
  FlushRecovery();
}

std::vector<Note*> RecoverNotes() {
  RecoveredNotes recovered = ApplyRecoveryFiles(Notes(), ReadOptions());
  for (const std::string& problem : recovered.problems) ReportOnStandardError(problem);
  for (const std::string& line : recovered.set_aside) ReportOnStandardError(line);
  for (Note* note : recovered.notes) journal.schedule.Adopt(note->id);
  journal.both_kept.clear();
  for (const Note* note : recovered.both_kept) journal.both_kept.push_back(note->name);
  journal.set_aside = std::move(recovered.set_aside);
  return recovered.notes;
}

void ShowRecoveredNotes(const std::vector<Note*>& notes) {
  if (notes.empty() && journal.set_aside.empty()) return;
  std::vector<std::string> names;
  names.reserve(notes.size());
  for (const Note* note : notes) names.push_back(note->name);
  static const MessagePopup kRecovered = {"RecoveryShell", "recoveryDialog", "recoveryConfirm",
                                          "Stikkel Recovery", "Continue"};
  journal.both_kept.clear();
  journal.set_aside.clear();
  PopUpMessage(kRecovered, RecoveryMessage(names, journal.both_kept, journal.set_aside), DestroyMessagePopup, XtGrabNone);
}
