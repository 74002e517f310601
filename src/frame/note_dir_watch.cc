#include "frame/note_dir_watch.h"

#include <time.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/client_data.h"
#include "app/popups.h"
#include "app/report.h"
#include "app/timer_fd.h"
#include "frame/single_instance.h"
#include "model/note_list.h"
#include "notes/note_file_options.h"
#include "notes/note_saving.h"
#include "notes/outside_changes.h"
#include "storage/dir_change.h"
#include "storage/dir_names.h"
#include "storage/dir_watch.h"

namespace {

struct Watch {
  DirWatch dir;
  std::unique_ptr<TimerFd> settle;
  DirEvents pending;
  long long first_ms = -1;  // when the first change not yet looked at came
} watch;

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Looks at every name that changed, applies the rules and shows the outcome.
void Settle() {
  TakeFinishedSaves();  // the files this program wrote are its own
  DirEvents events = std::move(watch.pending);
  watch.pending = DirEvents();
  watch.first_ms = -1;
  std::vector<std::string> names(events.names.begin(), events.names.end());
  if (events.overflow) {
    // Some changes were lost: every note file, and every file there, is
    // looked at again.
    std::set<std::string> all;
    for (const auto& note : Notes())
      if (!note->file_path.empty()) all.insert(note->file_path.substr(note->file_path.rfind('/') + 1));
    if (DirStream dir{opendir(Notes().settings().note_dir.c_str())}) {
      while (dirent* entry = readdir(dir.get()))
        if (IsNoteCandidateName(entry->d_name)) all.insert(entry->d_name);
    }
    names.assign(all.begin(), all.end());
  }
  OutsideChanges outside;
  outside.options = ReadOptions();
  std::vector<int> save_again;
  for (const std::string& name : names) {
    std::string error;
    DirChange change = LookAtName(Notes(), name, DestroyedNoteFiles(), &outside, &error);
    if (!error.empty()) ReportError(error);
    if (change == DirChange::kSaveAgain || change == DirChange::kKeptOwn) {
      for (const auto& note : Notes())
        if (note->file_path == Notes().settings().note_dir + "/" + name) save_again.push_back(note->id);
    }
  }
  ShowOutsideChanges(&outside);
  // Deleted elsewhere with unsaved changes here, or made here and met by
  // another machine's note of the same number: the note is written again.
  for (int id : save_again)
    if (Note* note = Notes().FindNote(id)) SaveNote(note);
}

void SettleTimerReadable(XtPointer, int*, XtInputId*) {
  if (watch.settle->Consume() == TimerFd::kNothing) return;
  Settle();
}

void EventsReadable(XtPointer, int*, XtInputId*) {
  watch.dir.Read(&watch.pending);
  if (watch.pending.lock_file) {
    watch.pending.lock_file = false;
    KeepNoteDirLock();
  }
  if (watch.pending.names.empty() && !watch.pending.overflow) return;
  const long long now = NowMs();
  if (watch.first_ms < 0) watch.first_ms = now;
  long long due = std::min(now + static_cast<long long>(kSettleMs),
                           watch.first_ms + static_cast<long long>(kLongestSettleMs));
  watch.settle->ArmAfter(static_cast<unsigned long>(std::max(1LL, due - now)));
}

}  // namespace

void WatchNoteDir() {
  std::string error;
  watch.settle = std::make_unique<TimerFd>(TimerFd::kMonotonic);
  if (watch.settle->fd() < 0 || !watch.dir.Start(Notes().settings().note_dir, &error)) {
    ReportOnStandardError((error.empty() ? std::string("no monotonic timer") : error) +
                          "; changes other programs make to the notes show at the next start");
    return;
  }
  XtAppAddInput(program.app_context, watch.dir.fd(), IntClientData(XtInputReadMask), EventsReadable, nullptr);
  XtAppAddInput(program.app_context, watch.settle->fd(), IntClientData(XtInputReadMask), SettleTimerReadable,
                nullptr);
}
