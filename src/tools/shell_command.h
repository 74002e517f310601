// Shell commands built from configured printf-like formats. The values the
// program fills in reach the shell as positional parameters, never as
// command text, so no value is ever run as shell code.
#pragma once

#include <string>
#include <vector>

#include "storage/file_io.h"

// Turns a printf-like format into shell command text. The i-th "%s" (counted
// from 0) becomes a reference to the positional parameter first_param + i:
// "${N}" inside double quotes, '"${N}"' inside single quotes and "${N}" in
// double quotes elsewhere, so each value stays one word of data. "%%" becomes
// a literal "%"; any other conversion is kept as written and takes no value.
// With "lpr %s" and first_param 1 the result is: lpr "${1}".
std::string ShellScriptFromFormat(const std::string& format, int first_param = 1);

// The format with its i-th "%s" replaced by values[i] (an empty string past
// the last value) and "%%" by "%": the command as the user would read it,
// for messages; never run.
std::string FillFormat(const std::string& format, const std::vector<std::string>& values);

// Runs `sh -c script sh values...` and waits for it as system() does:
// SIGCHLD blocked and SIGINT and SIGQUIT ignored meanwhile. The command
// starts with every signal at its default disposition and an empty signal
// mask. When stdout_fd is not -1 it becomes the command's standard output.
// Returns the raw wait status (an exit status of 1 gives 256), or -1 when
// no process could be started.
int RunShellCommand(const std::string& script, const std::vector<std::string>& values,
                    int stdout_fd = -1);

// A command started in the background; it owns both descriptors.
struct StartedCommand {
  int pid = -1;
  // Readable once the command has ended (a pidfd); not valid where the
  // system has none, and the caller must poll with waitpid.
  FileDescriptor exit_fd;
  // The read end of the pipe that carries the command's standard error;
  // non-blocking.
  FileDescriptor stderr_fd;
};

// Starts `sh -c script sh values...` with standard input from /dev/null,
// standard output on stdout_fd (the program's own when -1) and standard
// error into a pipe, and returns at once. Returns 0, or the errno of the
// step that failed; nothing is left running or open then. The caller reaps
// the process.
int StartShellCommand(const std::string& script, const std::vector<std::string>& values, int stdout_fd,
                      StartedCommand* started);

// The end of a command: its raw wait status, why it could not be started,
// and the start of what it wrote to standard error.
struct CommandResult {
  int status = -1;      // raw wait status; -1 when it never ran
  int start_error = 0;  // errno when it could not be started
  std::string error_output;
};

// Keeps the first bytes a command writes to standard error and counts the
// rest, so that a command that writes megabytes costs no memory.
class ErrorOutput {
 public:
  static constexpr std::size_t kKept = 8192;
  void Add(const char* bytes, std::size_t len);
  const std::string& kept() const { return kept_; }

 private:
  std::string kept_;
};

// Whether the command ended well: it ran and exited with status 0.
bool CommandSucceeded(const CommandResult& result);

// What went wrong, for a message: "exit status N", "killed by signal N
// (name)" or the system's text for a start error.
std::string CommandFailureReason(const CommandResult& result);

// The first max_lines non-empty lines of a command's error output, each cut
// to max_width bytes (a cut line ends in "..."), joined by newlines. Tabs
// become spaces and other control bytes "?".
std::string FirstErrorLines(const std::string& output, std::size_t max_lines = 5, std::size_t max_width = 160);

// The message for a failed command: "Couldn't run <command>: <reason>",
// then the first lines of its standard error.
std::string CommandFailureMessage(const std::string& command, const CommandResult& result);
