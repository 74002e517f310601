#include "tools/shell_command.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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

int RunShellCommand(const std::string& script, const std::vector<std::string>& values, int stdout_fd) {
  // Everything the child needs is prepared before fork.
  std::vector<std::string> words = {"sh", "-c", script, "sh"};
  words.insert(words.end(), values.begin(), values.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

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
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    if (stdout_fd == STDOUT_FILENO) fcntl(stdout_fd, F_SETFD, 0);
    else if (stdout_fd != -1 && dup2(stdout_fd, STDOUT_FILENO) < 0) _exit(127);
    execv("/bin/sh", argv.data());
    _exit(127);
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
