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

RecoverySchedule schedule;

// The timer: a monotonic timer descriptor watched by the main loop, or the
// toolkit's timeout where the system has none.
std::unique_ptr<TimerFd> timer;
XtIntervalId fallback_timer = 0;
Millis armed_for = -1;  // the time the timer fires at, -1 when not armed

// Notes whose last write failed; the failure is told once until one works.
std::vector<int> failing;

Millis Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<Millis>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const std::string& NoteDir() { return Notes().settings().note_dir; }

void WriteDue();

void TimerReadable(XtPointer, int*, XtInputId*) {
  if (timer->Consume() == TimerFd::kNothing) return;
  armed_for = -1;
  WriteDue();
}

void FallbackTimerFired(XtPointer, XtIntervalId*) {
  fallback_timer = 0;
  armed_for = -1;
  WriteDue();
}

void Arm(Millis due, Millis now) {
  if (armed_for >= 0 && armed_for <= due) return;
  if (!timer) {
    timer = std::make_unique<TimerFd>(TimerFd::kMonotonic);
    if (timer->fd() >= 0)
      XtAppAddInput(program.app_context, timer->fd(), IntClientData(XtInputReadMask), TimerReadable, nullptr);
  }
  unsigned long ms = due > now ? static_cast<unsigned long>(due - now) : 0;
  if (timer->fd() >= 0) {
    timer->ArmAfter(ms);
  } else {
    if (fallback_timer) XtRemoveTimeOut(fallback_timer);
    fallback_timer = XtAppAddTimeOut(program.app_context, ms, FallbackTimerFired, nullptr);
  }
  armed_for = due;
}

void Disarm() {
  if (armed_for < 0) return;
  armed_for = -1;
  if (timer && timer->fd() >= 0) timer->Disarm();
  if (fallback_timer) XtRemoveTimeOut(fallback_timer);
  fallback_timer = 0;
}

// Arms the timer for the next note due, or disarms it when none is.
void Rearm(Millis now) {
  Millis next = schedule.NextDue();
  if (next < 0) Disarm();
  else if (next != armed_for) {
    Disarm();
    Arm(next, now);
  }
}

void WriteRecovery(Note* note, Millis now) {
  std::string path, error;
  bool ok =
      WriteRecoveryFile(NoteDir(), RecoveryNumber(*note), FormatNoteFile(*note, CurrentScreen()), &path, &error);
  schedule.Written(note->id, now, ok);
  auto it = std::find(failing.begin(), failing.end(), note->id);
  if (ok) {
    if (it != failing.end()) failing.erase(it);
  } else if (it == failing.end()) {
    failing.push_back(note->id);
    ReportOnStandardError(error);
  }
}

void WriteDue() {
  Millis now = Now();
  for (int id : schedule.TakeDue(now)) {
    Note* note = Notes().FindNote(id);
    if (note && note->changed()) WriteRecovery(note, now);
  }
  Rearm(Now());
}

void RemoveNumbered(int number) {
  std::string error;
  if (!RemoveRecoveryFile(NoteDir(), number, &error)) ReportOnStandardError(error);
}

// Removes the note's recovery file: under its id, as long as it had no
// file, and under its file's number.
void Remove(int id) {
  RemoveNumbered(id);
  const Note* note = Notes().FindNote(id);
  if (note && RecoveryNumber(*note) != id) RemoveNumbered(RecoveryNumber(*note));
}

}  // namespace

void RecordChange(const Note* note) {
  if (schedule.Pending(note->id) || NoteDir().empty()) return;
  Millis now = Now();
  Millis due = schedule.Changed(note->id, now);
  if (due >= 0) Arm(due, now);
}

void RecoveryNoteGone(int id) {
  if (schedule.Forget(id)) Remove(id);
  Rearm(Now());
}

void DiscardRecovery() {
  for (int id : schedule.ForgetAll()) Remove(id);
  Disarm();
}

void FlushRecovery() {
  Millis now = Now();
  for (const auto& note : Notes()) {
    bool behind = schedule.Pending(note->id) ||
                  std::find(failing.begin(), failing.end(), note->id) != failing.end();
    if (behind && note->changed()) WriteRecovery(note.get(), now);
  }
  Disarm();
}

void SettleRecoveryWithoutDisplay() {
  for (const auto& note : Notes())
    if (!note->changed()) RecoveryNoteGone(note->id);
  FlushRecovery();
}

std::vector<Note*> RecoverNotes() {
  RecoveredNotes recovered = ApplyRecoveryFiles(Notes(), ReadOptions());
  for (const std::string& problem : recovered.problems) ReportOnStandardError(problem);
  for (Note* note : recovered.notes) schedule.Adopt(note->id);
  for (int id : recovered.kept) schedule.Leave(id);
  return recovered.notes;
}

void ShowRecoveredNotes(const std::vector<Note*>& notes) {
  if (notes.empty()) return;
  std::vector<std::string> names;
  names.reserve(notes.size());
  for (const Note* note : notes) names.push_back(note->name);
  static const MessagePopup kRecovered = {"RecoveryShell", "recoveryDialog", "recoveryConfirm",
                                          "Stikkel Recovery", "Continue"};
  PopUpMessage(kRecovered, RecoveryMessage(names), DestroyMessagePopup, XtGrabNone);
}
