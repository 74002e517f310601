#include "notes/recovery_journal.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/client_data.h"
#include "app/popups.h"
#include "app/report.h"
#include "app/timer_fd.h"
#include "model/note_list.h"
#include "notes/note_file_options.h"
#include "storage/recovery.h"
#include "storage/recovery_schedule.h"

namespace {

using Millis = RecoverySchedule::Millis;

// What the journal keeps: when each note is due, the timer, and the notes
// whose last write failed (told once until one works, or until the note is
// saved or gone).
struct Journal {
  RecoverySchedule schedule;
  // A monotonic timer descriptor watched by the main loop, or the toolkit's
  // timeout where the system has none.
  std::unique_ptr<TimerFd> timer;
  XtIntervalId fallback_timer = 0;
  Millis armed_for = -1;  // the time the timer fires at, -1 when not armed
  std::vector<int> failing;
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

// Writes the note's recovery file; a failure is told once (unless `tell` is
// off: a save follows that tells its own).
void WriteRecovery(Note* note, Millis now, bool tell = true) {
  const std::string name = JournalName(*note);
  std::string path, error;
  bool ok = WriteRecoveryFile(NoteDir(), name,
                              JournalBytes(FormatNoteFile(*note, CurrentScreen()), note->stored_file), &path, &error);
  journal.schedule.Written(note->id, now, ok);
  auto it = std::find(journal.failing.begin(), journal.failing.end(), note->id);
  if (ok) {
    if (it != journal.failing.end()) journal.failing.erase(it);
    // The note's file has another name now (its first save): the recovery
    // file follows it.
    if (!note->journal_name.empty() && note->journal_name != name) {
      std::string ignored;
      RemoveRecoveryFile(NoteDir(), note->journal_name, &ignored);
    }
    note->journal_name = name;
  } else if (tell && it == journal.failing.end()) {
    journal.failing.push_back(note->id);
    ReportFileFailure("Couldn't write the recovery copy of the note\n" + note->name +
                          ".\nWhat is typed there is lost if stikkel dies\nbefore the note is saved.",
                      error);
  }
}

void WriteDue() {
  Millis now = Now();
  for (int id : journal.schedule.TakeDue(now)) {
    Note* note = Notes().FindNote(id);
    if (note && note->changed()) WriteRecovery(note, now);
  }
  Rearm(Now());
}

// Removes the note's recovery file, whatever name it has on disk.
void Remove(Note* note) {
  if (!note || note->journal_name.empty()) return;
  std::string error;
  if (!RemoveRecoveryFile(NoteDir(), note->journal_name, &error)) ReportOnStandardError(error);
  note->journal_name.clear();
}

}  // namespace

void RecordChange(const Note* note) {
  if (journal.schedule.Pending(note->id) || NoteDir().empty()) return;
  Millis now = Now();
  Millis due = journal.schedule.Changed(note->id, now);
  if (due >= 0) Arm(due, now);
}

void RecoveryNoteGone(int id) {
  std::vector<int>& failing = journal.failing;
  failing.erase(std::remove(failing.begin(), failing.end(), id), failing.end());
  journal.schedule.Forget(id);
  Remove(Notes().FindNote(id));
  Rearm(Now());
}

void DiscardRecovery() {
  journal.schedule.ForgetAll();
  for (const auto& note : Notes()) Remove(note.get());
  journal.failing.clear();
  Disarm();
}

void FlushRecovery() {
  Millis now = Now();
  for (const auto& note : Notes()) {
    bool behind = journal.schedule.Pending(note->id) ||
                  std::find(journal.failing.begin(), journal.failing.end(), note->id) != journal.failing.end();
    if (behind && note->changed()) WriteRecovery(note.get(), now);
  }
  Disarm();
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
