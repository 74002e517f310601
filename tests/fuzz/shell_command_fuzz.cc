// Fuzz target for the shell command builder (X-free).
//
// Any format: building its script reads nothing but the format, and gives
// each "%s" one reference to the next positional parameter.
// Formats made of harmless shell pieces (no eval, no redirection, no way to
// loop): the script, run by sh with hostile values, never runs a value as
// code -- the values stay data, whatever quotes surround each "%s".
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/shell_command.h"

namespace {

constexpr int kFirstParam = 7001;

void Fail(const char* what, const std::string& format, const std::string& script) {
  std::fprintf(stderr, "shell_command_fuzz: %s\nformat: [%s]\nscript: [%s]\n", what, format.c_str(), script.c_str());
  std::abort();
}

int StringConversions(const std::string& format) {
  int n = 0;
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (format[i + 1] == 's') ++n;
    if (format[i + 1] == 's' || format[i + 1] == '%') ++i;
  }
  return n;
}

std::size_t Count(const std::string& haystack, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

void CheckReferences(const std::string& format) {
  // A format that names such parameters itself proves nothing.
  if (format.find("${") != std::string::npos || format.find("70") != std::string::npos) return;
  const std::string script = ShellScriptFromFormat(format, kFirstParam);
  const int conversions = StringConversions(format);
  for (int i = 0; i <= conversions; ++i) {
    std::size_t refs = Count(script, "${" + std::to_string(kFirstParam + i) + "}");
    if (refs != (i < conversions ? 1u : 0u)) Fail("not one reference per %s", format, script);
  }
}

// Pieces of formats that sh can only run harmlessly: printf with a fixed
// format, echo, ":" and commands that do not exist. (A format that hands a
// value to printf as its format string would let printf put the marker
// together from pieces of values.)
const char* const kPieces[] = {
    "%s", "%s", "%s", "%%", "%d", "%5s", "%", " ",   "echo '[%s]' ", "printf '<%%s>' ", "echo ", ": ", "\"", "'", "\\",
    "`",  "$(", ")",  "${", "}",  ";",   "&&", "||", "x",              "\n",    "#", "-", "\t", "[",
};

const std::vector<std::string>& HostileValues() {
  // Run as code, each prints the marker Zq9EXEC; as data it never shows.
  static const std::vector<std::string> values = {
      "$(printf 'Zq9%s' EXEC)",
      "`printf 'Zq9%s' EXEC`",
      "';printf 'Zq9%s' EXEC;'",
      "\";printf 'Zq9%s' EXEC;\"",
      "\nprintf 'Zq9%s' EXEC\n",
      "\\\";printf 'Zq9%s' EXEC #",
      "${x:-$(printf 'Zq9%s' EXEC)}",
      "*",
      "",
      "-n",
  };
  return values;
}

void CheckValuesStayData(const std::uint8_t* data, std::size_t size) {
  std::string format;
  for (std::size_t i = 0; i < size && i < 48; ++i) format += kPieces[data[i] % (sizeof kPieces / sizeof *kPieces)];
  const std::string script = ShellScriptFromFormat(format);
  // sh -c script sh values..., its output read back; spawned rather than
  // forked, as forking a sanitized process is slow.
  std::vector<std::string> words = {"sh", "-c", script, "sh"};
  for (const std::string& v : HostileValues()) words.push_back(v);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  std::string output;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<std::size_t>(n));
  close(pipe_fds[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  if (output.find("Zq9EXEC") != std::string::npos) Fail("a value ran as code", format, script);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string format(reinterpret_cast<const char*>(data) + 1, size - 1);
  CheckReferences(format);
  // One input in eight is also run by sh, which is slow.
  if (data[0] % 8 == 0) CheckValuesStayData(data + 1, size - 1);
  return 0;
}
