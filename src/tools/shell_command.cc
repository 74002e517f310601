#include "tools/shell_command.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>
#include <vector>

namespace {

enum class Quoting { kNone, kSingle, kDouble };

// The text that stands for positional parameter n in the given quoting.
std::string ParameterReference(int n, Quoting quoting) {
  std::string ref = "${" + std::to_string(n) + "}";
  switch (quoting) {
    case Quoting::kNone: return "\"" + ref + "\"";
    case Quoting::kDouble: return ref;
    case Quoting::kSingle: return "'\"" + ref + "\"'";
  }
  return ref;
}

bool StartsStringConversion(const std::string& format, std::size_t i) {
  return i + 1 < format.size() && format[i] == '%' && format[i + 1] == 's';
}

}  // namespace

std::string ShellScriptFromFormat(const std::string& format, int first_param) {
  // Each command substitution ("$(...)" or backquotes) starts a quoting
  // context of its own: a value inside one needs its own quotes, whatever
  // surrounds the substitution.
  struct Context {
    Quoting quoting = Quoting::kNone;
    int parens = 0;          // open "(" inside this context
    bool backquote = false;  // opened by a backquote
  };
  std::vector<Context> contexts(1);
  std::string script;
  bool comment = false;
  int next_param = first_param;
  std::size_t i = 0;
  while (i < format.size()) {
    Quoting& quoting = contexts.back().quoting;
    char c = format[i];
    if (c == '%') {
      if (StartsStringConversion(format, i)) {
        script += ParameterReference(next_param++, comment ? Quoting::kNone : quoting);
        i += 2;
      } else if (i + 1 < format.size() && format[i + 1] == '%') {
        script += '%';
        i += 2;
      } else {
        script += '%';  // another conversion: kept as written, takes no value
        ++i;
      }
      continue;
    }
    if (comment) {
      // Quotes and backslashes in a comment are not quotes; it ends with its line.
      if (c == '\n') comment = false;
      script += c;
      ++i;
      continue;
    }
    if (c == '\\' && quoting != Quoting::kSingle && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        // The backslash would apply to the first byte of the value. Outside
        // quotes the quoted value needs no escape; inside double quotes a
        // backslash before an ordinary byte stays a backslash.
        if (quoting == Quoting::kDouble && StartsStringConversion(format, i + 1)) script += "\\\\";
        else if (!StartsStringConversion(format, i + 1)) script += '\\';
        ++i;
        continue;
      }
      script += c;
      script += format[i + 1];
      i += 2;
      continue;
    }
    if (c == '`') {
      // A backquote ends the nearest backquoted command, quotes or not;
      // outside single quotes, another one starts one.
      std::size_t open = contexts.size();
      while (open > 1 && !contexts[open - 1].backquote) --open;
      if (open > 1) {
        contexts.resize(open - 1);
      } else if (quoting != Quoting::kSingle) {
        contexts.push_back(Context());
        contexts.back().backquote = true;
      }
    } else if (c == '$' && quoting != Quoting::kSingle && i + 1 < format.size() && format[i + 1] == '(') {
      script += "$(";
      i += 2;
      contexts.push_back(Context());
      continue;
    } else if (quoting == Quoting::kNone) {
      if (c == '#' && (i == 0 || std::strchr(" \t\n;&|()<>`", format[i - 1]) != nullptr)) {
        comment = true;
      } else if (c == '(') {
        ++contexts.back().parens;
      } else if (c == ')') {
        if (contexts.back().parens > 0) --contexts.back().parens;
        else if (contexts.size() > 1 && !contexts.back().backquote) contexts.pop_back();
      } else if (c == '\'') {
        quoting = Quoting::kSingle;
      } else if (c == '"') {
        quoting = Quoting::kDouble;
      }
    } else if ((c == '\'' && quoting == Quoting::kSingle) || (c == '"' && quoting == Quoting::kDouble)) {
      quoting = Quoting::kNone;
    }
    script += c;
    ++i;
  }
  return script;
}

std::string FillFormat(const std::string& format, const std::vector<std::string>& values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (StartsStringConversion(format, i)) {
      if (next < values.size()) out += values[next];
      ++next;
      ++i;
    } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

namespace {

// The words of `sh -c script sh values...`, kept alive for an exec.
class ShellWords {
 public:
  ShellWords(const std::string& script, const std::vector<std::string>& values)
      : words_{"sh", "-c", script, "sh"} {
    words_.insert(words_.end(), values.begin(), values.end());
    argv_.reserve(words_.size() + 1);
    for (std::string& word : words_) argv_.push_back(word.data());
    argv_.push_back(nullptr);
  }
  char* const* argv() { return argv_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> argv_;
};

// In the child: puts fd on target (keeping it across exec) unless it is -1.
void UseAs(int fd, int target) {
  if (fd == -1) return;
  if (fd == target) fcntl(fd, F_SETFD, 0);
  else if (dup2(fd, target) < 0) _exit(127);
}

// In the child, after fork: a plain signal state, the given descriptors,
// then the shell. Never returns, and calls only what is safe between fork
// and exec (no allocation, no destructor runs).
[[noreturn]] void ExecShell(ShellWords* words, int in_fd, int out_fd, int err_fd) {
  // The command starts as from a fresh login shell: every signal at its
  // default disposition (a pipeline's writer dies of a closed pipe, a write
  // past the file size limit ends the command, whatever the program
  // ignores) and none blocked.
  struct sigaction fresh {};
  fresh.sa_handler = SIG_DFL;
  sigemptyset(&fresh.sa_mask);
  for (int sig = 1; sig < NSIG; ++sig)
    if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &fresh, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  UseAs(in_fd, STDIN_FILENO);
  UseAs(out_fd, STDOUT_FILENO);
  UseAs(err_fd, STDERR_FILENO);
  execv("/bin/sh", words->argv());
  const char message[] = "stikkel: cannot run /bin/sh\n";
  (void)!write(STDERR_FILENO, message, sizeof message - 1);
  _exit(127);
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

int RunShellCommand(const std::string& script, const std::vector<std::string>& values, int stdout_fd) {
  // Everything the child needs is prepared before fork.
  ShellWords words(script, values);

  struct sigaction ignore {};
  struct sigaction old_int {};
  struct sigaction old_quit {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &old_int);
  sigaction(SIGQUIT, &ignore, &old_quit);
  sigset_t chld;
  sigset_t old_mask;
  sigemptyset(&chld);
  sigaddset(&chld, SIGCHLD);
  sigprocmask(SIG_BLOCK, &chld, &old_mask);

  int status = -1;
  pid_t pid = fork();
  if (pid == 0) {
    ExecShell(&words, -1, stdout_fd, -1);
  }
  if (pid > 0) {
    while (waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) {
        status = -1;
        break;
      }
    }
  }
  int saved = errno;
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
  sigprocmask(SIG_SETMASK, &old_mask, nullptr);
  errno = saved;
  return status;
}

int StartShellCommand(const std::string& script, const std::vector<std::string>& values, int stdout_fd,
                      StartedCommand* started) {
  // Everything the child needs is prepared before fork; every descriptor
  // opened here is closed in the program when this returns, whichever way.
  ShellWords words(script, values);
  FileDescriptor null_fd(open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!null_fd.valid()) return errno;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return errno;
  FileDescriptor err_read(ends[0]);
  FileDescriptor err_write(ends[1]);
  pid_t pid = fork();
  if (pid == 0) ExecShell(&words, null_fd.get(), stdout_fd, err_write.get());
  if (pid < 0) return errno;
  fcntl(err_read.get(), F_SETFL, fcntl(err_read.get(), F_GETFL) | O_NONBLOCK);
  started->pid = pid;
  started->stderr_fd = std::move(err_read);
  started->exit_fd = FileDescriptor(OpenPidFd(pid));
  return 0;
}

void ErrorOutput::Add(const char* bytes, std::size_t len) {
  std::size_t room = kKept - std::min(kKept, kept_.size());
  kept_.append(bytes, std::min(room, len));
}

bool CommandSucceeded(const CommandResult& result) { return result.start_error == 0 && result.status == 0; }

std::string CommandFailureReason(const CommandResult& result) {
  if (result.start_error != 0) return std::strerror(result.start_error);
  if (result.status == -1) return "it did not run";
  if (WIFEXITED(result.status)) return "exit status " + std::to_string(WEXITSTATUS(result.status));
  if (WIFSIGNALED(result.status)) {
    int sig = WTERMSIG(result.status);
    const char* name = strsignal(sig);
    return "killed by signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
  }
  return "wait status " + std::to_string(result.status);
}

std::string FirstErrorLines(const std::string& output, std::size_t max_lines, std::size_t max_width) {
  std::string out;
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < output.size() && lines < max_lines) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty()) continue;
    for (char& c : line) {
      if (c == '\t') c = ' ';
      else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    if (line.size() > max_width) {
      // Cut before a UTF-8 continuation byte, not inside a character.
      std::size_t cut = max_width;
      while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
      line = line.substr(0, cut) + "...";
    }
    if (!out.empty()) out += '\n';
    out += line;
    ++lines;
  }
  return out;
}

std::string CommandFailureMessage(const std::string& command, const CommandResult& result) {
  std::string message = "Couldn't run " + command + ": " + CommandFailureReason(result);
  std::string lines = FirstErrorLines(result.error_output);
  if (!lines.empty()) message += "\n" + lines;
  return message;
}
