#include "app/exit.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "app/app.h"

namespace {

int wake_pipe[2] = {-1, -1};

void NotifyLoop(int) {
  int saved = errno;
  char byte = 1;
  (void)!write(wake_pipe[1], &byte, 1);
  errno = saved;
}

int XErrorToExit(Display*, XErrorEvent*) {
  NotifyLoop(0);
  return 0;
}

void WakeUp(XtPointer, int* fd, XtInputId*) {
  char bytes[64];
  ssize_t n;
  while ((n = read(*fd, bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i) RequestExit();
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
  XtAppAddInput(app_context, wake_pipe[0], reinterpret_cast<XtPointer>(XtInputReadMask), WakeUp, nullptr);
  if (!interrupts_ignored) {
    CatchSignal(SIGQUIT);
    CatchSignal(SIGINT);
  }
  CatchSignal(SIGTERM);
  CatchSignal(SIGHUP);
  XSetErrorHandler(XErrorToExit);
}

void EndProgram() {
  XUnmapWindow(display, XtWindow(toplevel));
  XCloseDisplay(display);
  std::exit(0);
}

void RequestExit() { EndProgram(); }

void AutoSave(XtPointer, XtIntervalId*) {
  XtAppAddTimeOut(app_context, autosave_period_ms, AutoSave, nullptr);
}

Widget SavePromptShell() { return nullptr; }
