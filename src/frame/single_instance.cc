#include "frame/single_instance.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <string>
#include <thread>

#include <X11/Xatom.h>

#include "app/app.h"
#include "app/report.h"
#include "model/note.h"
#include "storage/atomic_file.h"
#include "storage/dir_lock.h"

namespace {

NoteDirLock dir_lock;
std::string lock_dir;
// The key a command must carry; empty until announced.
std::string command_key;

constexpr const char* kRequestAtom = "_STIKKEL_REQUEST";
constexpr const char* kAccepted = "ok";
// A request is written into a property in pieces of this many bytes, each
// well below the smallest maximum request size a server may have.
constexpr std::size_t kPiece = 64 * 1024;

// The selection a holder owns on its display, named after the holder as
// its lock file names it: a second stikkel finds it from the file alone,
// and the X server drops it when the holder's connection ends.
std::string SelectionName(const LockHolder& holder) {
  return "_STIKKEL_NOTES_" + holder.host + "_" + std::to_string(holder.pid);
}

bool property_error = false;

int NoteError(Display*, XErrorEvent*) {
  property_error = true;
  return 0;
}

// Reads a whole 8-bit property of a window; false when there is none. A
// window that is gone (its owner may destroy it at any moment) is an error
// of this read alone, not of the program.
bool ReadProperty(Window w, Atom property, bool remove, std::string* bytes) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long words = static_cast<long>((kMaxTextLength + 64 * 1024) / 4);
  XSync(program.display, False);
  property_error = false;
  XErrorHandler program_handler = XSetErrorHandler(NoteError);
  int status = XGetWindowProperty(program.display, w, property, 0, words, remove ? True : False, AnyPropertyType,
                                  &type, &format, &count, &after, &data);
  XSync(program.display, False);
  XSetErrorHandler(program_handler);
  if (status != Success || property_error) {
    if (data) XFree(data);
    return false;
  }
  bool whole = type != None && format == 8 && after == 0;
  if (whole) bytes->assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  return whole;
}

void (*run_command)(const RemoteRequest&) = nullptr;

void RunLater(XtPointer client_data, XtIntervalId*) {
  std::unique_ptr<RemoteRequest> request(static_cast<RemoteRequest*>(client_data));
  if (run_command) run_command(*request);
}

// Answers a second stikkel's request, written in the property the request
// names on its window: accepted only with this note directory's key. The
// command runs once the answer is on its way.
Boolean AnswerRequest(Widget w, Atom* selection, Atom* target, Atom* type, XtPointer* value,
                      unsigned long* length, int* format) {
  if (*target != XInternAtom(program.display, kRequestAtom, False)) return False;
  XSelectionRequestEvent* event = XtGetSelectionRequest(w, *selection, nullptr);
  std::string bytes;
  auto request = std::make_unique<RemoteRequest>();
  std::string answer;
  if (!event || event->property == None || !ReadProperty(event->requestor, event->property, false, &bytes) ||
      !DecodeRequest(bytes, request.get()))
    answer = "the request was not understood";
  else if (command_key.empty() || !KeysMatch(request->key, command_key))
    answer = "the request did not carry the key of the notes in " + lock_dir;
  if (answer.empty()) {
    answer = kAccepted;
    XtAppAddTimeOut(program.app_context, 0, RunLater, request.release());
  } else {
    ReportOnStandardError("refused a request from another program on the display: " + answer);
  }
  char* reply = XtMalloc(static_cast<Cardinal>(answer.size()));
  std::copy(answer.begin(), answer.end(), reply);
  *type = XA_STRING;
  *value = reply;
  *length = answer.size();
  *format = 8;
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

enum class Delivery { kUnreachable, kAccepted, kRefused };

// Hands the request to the holder, when it runs on this display; *answer
// gets a refusal's reason.
// Whether the holder owns its selection on this display (else it runs on
// another display or machine).
bool Reachable(const LockHolder& holder) {
  Atom selection = XInternAtom(program.display, SelectionName(holder).c_str(), True);
  return selection != None && XGetSelectionOwner(program.display, selection) != None;
}

Delivery Deliver(const LockHolder& holder, const RemoteRequest& request, std::string* answer) {
  if (!Reachable(holder)) return Delivery::kUnreachable;
  Atom selection = XInternAtom(program.display, SelectionName(holder).c_str(), True);
  Window w = XCreateSimpleWindow(program.display, DefaultRootWindow(program.display), 0, 0, 1, 1, 0, 0, 0);
  Atom property = XInternAtom(program.display, kRequestAtom, False);
  std::string bytes = EncodeRequest(request);
  for (std::size_t at = 0; at == 0 || at < bytes.size(); at += kPiece) {
    std::size_t n = std::min(kPiece, bytes.size() - at);
    XChangeProperty(program.display, w, property, XA_STRING, 8, at == 0 ? PropModeReplace : PropModeAppend,
                    reinterpret_cast<const unsigned char*>(bytes.data() + at), static_cast<int>(n));
  }
  XConvertSelection(program.display, selection, property, property, w, CurrentTime);
  XFlush(program.display);
  Delivery delivery = Delivery::kUnreachable;
  if (AwaitConversion(w, std::chrono::seconds(5))) {
    std::string reply;
    ReadProperty(w, property, true, &reply);
    delivery = reply == kAccepted ? Delivery::kAccepted : Delivery::kRefused;
    *answer = reply;
  }
  XDestroyWindow(program.display, w);
  return delivery;
}

[[noreturn]] void EndAsSecondInstance(int status) {
  XCloseDisplay(program.display);
  std::exit(status);
}

std::string InUse(const std::string& dir, const LockHolder& holder) {
  if (holder.pid == 0) return "the notes in " + dir + " are in use by another process";
  return "the notes in " + dir + " are in use by process " + std::to_string(holder.pid) + " on host " + holder.host;
}

// Another stikkel holds the notes: hands it the command and ends.
[[noreturn]] void HandOver(const std::string& dir, const LockHolder& holder, const RemoteRequest& request) {
  const bool told = request.command != RemoteCommand::kNone;
  RemoteRequest sent = request;
  if (!told) sent.command = RemoteCommand::kRaise;
  const std::string option = RemoteCommandOption(sent.command);
  // A holder out of reach is named as such, whatever its key.
  if (holder.pid != 0 && Reachable(holder)) {
    std::string err;
    if (!ReadCommandKey(dir, &sent.key, &err)) {
      ReportOnStandardError(InUse(dir, holder) + "; " + option + " was not sent: " + err);
      EndAsSecondInstance(told ? 1 : 255);
    }
    std::string answer;
    switch (Deliver(holder, sent, &answer)) {
      case Delivery::kAccepted: EndAsSecondInstance(0);
      case Delivery::kRefused:
        ReportOnStandardError("the stikkel running on the notes in " + dir + " refused " + option + ": " + answer);
        EndAsSecondInstance(1);
      case Delivery::kUnreachable: break;
    }
  }
  ReportOnStandardError(InUse(dir, holder));
  EndAsSecondInstance(told ? 1 : 255);
}

}  // namespace

void TakeNoteDirLock(const std::string& dir, const RemoteRequest& request) {
  lock_dir = dir;
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
  // Another user's notes: the lock file cannot even be opened, but it may
  // name a holder to ask (which will want the key).
  if (!taken && !held && access(LockFilePath(dir).c_str(), W_OK) != 0 && ReadLockHolder(dir, &holder)) held = true;
  const RemoteCommand command = request.command;
  const bool needs_holder = command == RemoteCommand::kToggle || command == RemoteCommand::kRaise ||
                            command == RemoteCommand::kQuit;
  if (taken && needs_holder) {
    dir_lock.Release();
    ReportOnStandardError(std::string("no stikkel runs on the notes in ") + dir + "; " +
                          RemoteCommandOption(command) + " was not done");
    EndAsSecondInstance(1);
  }
  if (taken) return;
  if (held) HandOver(dir, holder, request);
  ReportOnStandardError("cannot lock " + error + "; another stikkel on these notes will not be noticed");
  if (needs_holder) EndAsSecondInstance(1);
}

void AnnounceNoteDirLock(void (*run)(const RemoteRequest&)) {
  run_command = run;
  if (!dir_lock.taken()) return;
  std::string error;
  if (!WriteCommandKey(lock_dir, &command_key, &error)) {
    ReportOnStandardError(error + "; commands from a second stikkel will be refused");
    command_key.clear();
  }
  LockHolder me = ThisProcess();
  Atom selection = XInternAtom(program.display, SelectionName(me).c_str(), False);
  XtOwnSelection(program.toplevel, selection, CurrentTime, AnswerRequest, nullptr, nullptr);
  // The server knows the owner before the file tells anyone to look.
  XSync(program.display, False);
  if (!dir_lock.Announce(me, &error)) ReportOnStandardError(error);
}

void ReleaseNoteDirLock() {
  if (dir_lock.taken() && !command_key.empty()) RemoveCommandKey(lock_dir);
  dir_lock.Release();
}


void KeepNoteDirLock() {
  static bool told = false;
  std::string error;
  if (dir_lock.Keep(&error) || told) return;
  told = true;
  ReportError("The lock of the notes in\n" + DirectoryOf(dir_lock.path()) +
              "\nwas taken by another process while its file was away:\n" + error +
              "\nAnother stikkel may be using these notes.");
}
