#include "tools/command_jobs.h"

#include <X11/Intrinsic.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <utility>

#include "app/app.h"
#include "app/client_data.h"

namespace {

// How often a command is asked whether it has ended where the system gives
// no descriptor for that.
constexpr unsigned long kPollMs = 100;

struct Job {
  int pid = -1;
  FileDescriptor exit_fd;    // closed when the job goes
  FileDescriptor stderr_fd;  // closed at the end of its output, or when the job goes
  XtInputId exit_input = 0;
  XtInputId stderr_input = 0;
  XtIntervalId poll_timer = 0;
  std::string temp_file;
  ErrorOutput error_output;
  CommandDone done;
};

std::list<Job>& Jobs() {
  static std::list<Job> jobs;
  return jobs;
}

// Reads what the command has written to standard error, a bounded amount
// at a time so that a command that never stops writing cannot hold up the
// main loop. False at the end of the pipe or on an error.
bool ReadErrorOutput(Job* job) {
  char bytes[65536];
  for (int reads = 0; reads < 4;) {
    ssize_t n = read(job->stderr_fd.get(), bytes, sizeof bytes);
    if (n > 0) {
      job->error_output.Add(bytes, static_cast<std::size_t>(n));
      ++reads;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  return true;
}

void CloseErrorPipe(Job* job) {
  if (job->stderr_input) XtRemoveInput(job->stderr_input);
  job->stderr_input = 0;
  job->stderr_fd.Close();
}

std::list<Job>::iterator Find(const Job* job) {
  for (auto it = Jobs().begin(); it != Jobs().end(); ++it)
    if (&*it == job) return it;
  return Jobs().end();
}

// The command has ended and status is its wait status: take the rest of
// its error output (a background child of it may hold the pipe open, so
// only what is there now), forget it, and tell the caller.
void Finish(Job* job, int status) {
  // One more read takes what the command wrote before it ended; a child it
  // left behind that keeps writing only loses its pipe.
  if (job->stderr_fd.valid()) ReadErrorOutput(job);
  CloseErrorPipe(job);
  if (job->exit_input) XtRemoveInput(job->exit_input);
  if (job->poll_timer) XtRemoveTimeOut(job->poll_timer);
  CommandResult result;
  result.status = status;
  result.error_output = job->error_output.kept();
  // What the command said still reaches the program's standard error, as
  // it would have without the pipe (the start of it, when it said much).
  if (!result.error_output.empty()) {
    std::fwrite(result.error_output.data(), 1, result.error_output.size(), stderr);
    std::fflush(stderr);
  }
  CommandDone done = std::move(job->done);
  Jobs().erase(Find(job));
  if (done) done(result);
}

// Reaps the command when it has ended; false while it still runs.
bool Reap(Job* job) {
  int status = 0;
  pid_t got;
  do got = waitpid(job->pid, &status, WNOHANG);
  while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  Finish(job, got == job->pid ? status : -1);
  return true;
}

void ErrorOutputReady(XtPointer client_data, int*, XtInputId*) {
  auto* job = static_cast<Job*>(client_data);
  if (!ReadErrorOutput(job)) CloseErrorPipe(job);
}

void CommandEnded(XtPointer client_data, int*, XtInputId*) { Reap(static_cast<Job*>(client_data)); }

void PollCommand(XtPointer client_data, XtIntervalId*) {
  auto* job = static_cast<Job*>(client_data);
  job->poll_timer = 0;
  if (!Reap(job)) job->poll_timer = XtAppAddTimeOut(program.app_context, kPollMs, PollCommand, job);
}

// At the end of the program no command keeps a temporary file with a
// note's text behind: one that still runs has opened it by now, or never
// will.
void RemoveTemporaryFiles() {
  for (const Job& job : Jobs())
    if (!job.temp_file.empty()) unlink(job.temp_file.c_str());
}

bool Held(const std::string& path) {
  for (const Job& job : Jobs())
    if (job.temp_file == path) return true;
  return false;
}

}  // namespace

void RunInBackground(const std::string& script, const std::vector<std::string>& values, int stdout_fd,
                     const std::string& temp_file, CommandDone done) {
  static bool cleanup_registered = false;
  if (!cleanup_registered) {
    Jobs();  // made before the clean-up is registered, so that it outlives it
    std::atexit(RemoveTemporaryFiles);
    cleanup_registered = true;
  }
  StartedCommand started;
  int error = StartShellCommand(script, values, stdout_fd, &started);
  if (error != 0) {
    CommandResult result;
    result.start_error = error;
    if (done) done(result);
    return;
  }
  Jobs().emplace_back();
  Job* job = &Jobs().back();
  job->pid = started.pid;
  job->exit_fd = std::move(started.exit_fd);
  job->stderr_fd = std::move(started.stderr_fd);
  job->temp_file = temp_file;
  job->done = std::move(done);
  job->stderr_input =
      XtAppAddInput(program.app_context, job->stderr_fd.get(), IntClientData(XtInputReadMask), ErrorOutputReady, job);
  if (job->exit_fd.valid())
    job->exit_input =
        XtAppAddInput(program.app_context, job->exit_fd.get(), IntClientData(XtInputReadMask), CommandEnded, job);
  else
    job->poll_timer = XtAppAddTimeOut(program.app_context, kPollMs, PollCommand, job);
}

std::string TemporaryPathFor(const std::string& base) {
  std::string path = base;
  for (int n = 1; Held(path); ++n) path = base + "." + std::to_string(n);
  return path;
}

std::size_t RunningCommandCount() { return Jobs().size(); }
