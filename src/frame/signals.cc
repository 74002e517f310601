#include "frame/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <X11/Intrinsic.h>

#include "app/app.h"
#include "app/client_data.h"
#include "frame/exit.h"
#include "frame/single_instance.h"
#include "notes/note_saving.h"

namespace {

int wake_pipe[2] = {-1, -1};

// What woke the main loop: one byte per signal or X error.
constexpr char kSignal = 1;
constexpr char kXError = 2;

void Notify(char cause) {
  int saved = errno;
  (void)!write(wake_pipe[1], &cause, 1);
  errno = saved;
}

void NotifyLoop(int) { Notify(kSignal); }

int XErrorToExit(Display*, XErrorEvent*) {
  Notify(kXError);
  return 0;
}

void WakeUp(XtPointer, int* fd, XtInputId*) {
  char bytes[64];
  ssize_t n;
  while ((n = read(*fd, bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i) RequestExit(bytes[i] == kSignal);
}

// The connection to the X server is gone: write what has changed from
// memory, without another X request, and end.
int DisplayLost(Display*) {
  SaveChangedNotesWithoutDisplay();
  ReleaseNoteDirLock();
  std::fputs("stikkel: connection to the X server lost\n", stderr);
  std::_Exit(1);
}

void CatchSignal(int sig) {
  struct sigaction action {};
  action.sa_handler = NotifyLoop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

}  // namespace

bool ProbeInterruptSignals() {
  if (signal(SIGQUIT, SIG_IGN) == SIG_IGN) return true;
  return signal(SIGINT, SIG_IGN) == SIG_IGN;
}

void InstallExitHandlers(bool interrupts_ignored) {
  if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("stikkel: pipe");
    std::exit(1);
  }
  XtAppAddInput(program.app_context, wake_pipe[0], IntClientData(XtInputReadMask), WakeUp, nullptr);
  if (!interrupts_ignored) {
    CatchSignal(SIGQUIT);
    CatchSignal(SIGINT);
  }
  CatchSignal(SIGTERM);
  CatchSignal(SIGHUP);
  // A write past the file size limit fails (and is reported) instead of
  // ending the program.
  signal(SIGXFSZ, SIG_IGN);
  XSetErrorHandler(XErrorToExit);
  XSetIOErrorHandler(DisplayLost);
}
