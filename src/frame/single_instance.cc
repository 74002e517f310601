#include "frame/single_instance.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <X11/Xatom.h>

#include "app/app.h"
#include "app/report.h"
#include "frame/all_notes.h"
#include "storage/atomic_file.h"
#include "storage/dir_lock.h"

namespace {

NoteDirLock dir_lock;

constexpr const char* kShowNotesTarget = "_STIKKEL_SHOW_NOTES";

// The selection a holder owns on its display, named after the holder as
// its lock file names it: a second stikkel finds it from the file alone,
// and the X server drops it when the holder's connection ends.
std::string SelectionName(const LockHolder& holder) {
  return "_STIKKEL_NOTES_" + holder.host + "_" + std::to_string(holder.pid);
}

Boolean ConvertShowNotes(Widget, Atom*, Atom* target, Atom* type, XtPointer* value, unsigned long* length,
                         int* format) {
  if (*target != XInternAtom(program.display, kShowNotesTarget, False)) return False;
  RaiseAllNotes();
  auto* answer = reinterpret_cast<long*>(XtMalloc(sizeof(long)));
  *answer = 1;
  *type = XA_INTEGER;
  *value = answer;
  *length = 1;
  *format = 32;
  return True;
}

// Waits for the answer to a conversion request on window w; false after
// the timeout or a refusal.
bool AwaitConversion(Window w, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  XEvent event;
  while (std::chrono::steady_clock::now() < deadline) {
    if (XCheckTypedWindowEvent(program.display, w, SelectionNotify, &event)) return event.xselection.property != None;
    pollfd p = {ConnectionNumber(program.display), POLLIN, 0};
    poll(&p, 1, 100);
    XEventsQueued(program.display, QueuedAfterReading);
  }
  return false;
}

// Asks the holder, when it runs on this display, to raise its notes.
bool AskHolderToShowNotes(const LockHolder& holder) {
  Atom selection = XInternAtom(program.display, SelectionName(holder).c_str(), True);
  if (selection == None || XGetSelectionOwner(program.display, selection) == None) return false;
  Window w = XCreateSimpleWindow(program.display, DefaultRootWindow(program.display), 0, 0, 1, 1, 0, 0, 0);
  Atom target = XInternAtom(program.display, kShowNotesTarget, False);
  XConvertSelection(program.display, selection, target, target, w, CurrentTime);
  XFlush(program.display);
  bool answered = AwaitConversion(w, std::chrono::seconds(5));
  XDestroyWindow(program.display, w);
  return answered;
}

[[noreturn]] void EndAsSecondInstance(int status) {
  XCloseDisplay(program.display);
  std::exit(status);
}

}  // namespace

void TakeNoteDirLock(const std::string& dir) {
  std::string error;
  bool held = false;
  bool taken = dir_lock.Take(dir, &held, &error);
  LockHolder holder;
  // The holder names itself once it can be reached; two stikkels started
  // at one moment meet here, and a holder that ends meanwhile leaves the
  // lock to this one.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!taken && held && !ReadLockHolder(dir, &holder) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    taken = dir_lock.Take(dir, &held, &error);
  }
  if (taken) return;
  if (!held) {
    ReportOnStandardError("cannot lock " + error + "; another stikkel on these notes will not be noticed");
    return;
  }
  if (holder.pid != 0 && AskHolderToShowNotes(holder)) EndAsSecondInstance(0);
  if (holder.pid == 0)
    ReportOnStandardError("the notes in " + dir + " are in use by another process");
  else
    ReportOnStandardError("the notes in " + dir + " are in use by process " + std::to_string(holder.pid) +
                          " on host " + holder.host);
  EndAsSecondInstance(255);
}

void AnnounceNoteDirLock() {
  if (!dir_lock.taken()) return;
  LockHolder me = ThisProcess();
  Atom selection = XInternAtom(program.display, SelectionName(me).c_str(), False);
  XtOwnSelection(program.toplevel, selection, CurrentTime, ConvertShowNotes, nullptr, nullptr);
  // The server knows the owner before the file tells anyone to look.
  XSync(program.display, False);
  std::string error;
  if (!dir_lock.Announce(me, &error)) ReportOnStandardError(error);
}

void ReleaseNoteDirLock() { dir_lock.Release(); }

void KeepNoteDirLock() {
  static bool told = false;
  std::string error;
  if (dir_lock.Keep(&error) || told) return;
  told = true;
  ReportError("The lock of the notes in\n" + DirectoryOf(dir_lock.path()) +
              "\nwas taken by another process while its file was away:\n" + error +
              "\nAnother stikkel may be using these notes.");
}
