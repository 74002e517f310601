#include "tools/shell_command.h"

#include <fcntl.h>
#include <poll.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

TEST(ShellScriptFromFormat, Table) {
  struct Case {
    const char* format;
    int first;
    const char* script;
  } cases[] = {
      {"lpr %s", 1, "lpr \"${1}\""},
      {"mail -s\"%s\" %s", 1, "mail -s\"${1}\" \"${2}\""},
      {"mail -s\"%s\" %s", 2, "mail -s\"${2}\" \"${3}\""},
      {"lpr", 1, "lpr"},
      {"", 1, ""},
      {"echo '%s' done", 1, "echo ''\"${1}\"'' done"},
      {"echo 'it''s %s'", 1, "echo 'it''s '\"${1}\"''"},
      {"a \"b '%s' c\"", 1, "a \"b '${1}' c\""},
      {"100%% %d %n %5s %-s %", 1, "100% %d %n %5s %-s %"},
      {"%%s %s", 1, "%s \"${1}\""},
      {"x%s%sy", 7, "x\"${7}\"\"${8}\"y"},
      {"echo \\%s \\\" %s", 1, "echo \"${1}\" \\\" \"${2}\""},
      {"echo \"\\%s\"", 1, "echo \"\\\\${1}\""},
      {"echo \\%% \\%d", 1, "echo \\% \\%d"},
      {"echo '\\' %s", 1, "echo '\\' \"${1}\""},
      {"trailing \\", 1, "trailing \\"},
      // Quotes in a comment are no quotes; the comment ends with its line.
      {"# it's \"%s\nlpr %s", 1, "# it's \"\"${1}\"\nlpr \"${2}\""},
      {"echo x#'%s'", 1, "echo x#''\"${1}\"''"},
      {"echo \"${#}\" '%s'", 1, "echo \"${#}\" ''\"${1}\"''"},
      // A command substitution has its own quoting, also inside quotes.
      {"echo \"$(lpr %s)\" %s", 1, "echo \"$(lpr \"${1}\")\" \"${2}\""},
      {"echo \"`lpr %s`\" %s", 1, "echo \"`lpr \"${1}\"`\" \"${2}\""},
      {"echo \"$(x \"%s\" (y) '%s')%s\"", 1, "echo \"$(x \"${1}\" (y) ''\"${2}\"'')${3}\""},
      {"echo $((1+2)) %s", 1, "echo $((1+2)) \"${1}\""},
      {"echo '$(' %s", 1, "echo '$(' \"${1}\""},
  };
  for (const Case& c : cases) EXPECT_EQ(ShellScriptFromFormat(c.format, c.first), c.script) << c.format;
}

// A recording command in a temporary directory: writes each argument,
// NUL-terminated, to "args" and, when asked, its standard input to "stdin".
class ShellRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    rec = dir / "rec";
    WriteFile(rec, "#!/bin/sh\n: > '" + dir.path() + "/args'\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> '" +
                       dir.path() + "/args'; done\n");
    chmod(rec.c_str(), 0700);
    marker = dir / "owned";
  }

  std::vector<std::string> RecordedArgs() {
    std::string raw = ReadFile(dir / "args");
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < raw.size(); ++i)
      if (raw[i] == '\0') {
        out.push_back(raw.substr(start, i - start));
        start = i + 1;
      }
    return out;
  }

  bool MarkerExists() { return access(marker.c_str(), F_OK) == 0; }

  TempDir dir;
  std::string rec;
  std::string marker;
};

TEST_F(ShellRun, DefaultMailFormatWithOrdinaryValues) {
  std::string script = ShellScriptFromFormat(rec + " -s\"%s\" %s");
  EXPECT_EQ(RunShellCommand(script, {"Note 1", "bob@example.org"}), 0);
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"-sNote 1", "bob@example.org"}));
}

TEST_F(ShellRun, PrintFormatGetsThePath) {
  EXPECT_EQ(RunShellCommand(ShellScriptFromFormat(rec + " %s"), {"/tmp/sk42"}), 0);
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"/tmp/sk42"}));
}

TEST_F(ShellRun, HostileValuesAreDataInEveryQuoting) {
  const std::string m = marker;
  const std::vector<std::string> values = {
      "$(touch " + m + ")",
      "`touch " + m + "`",
      "x; touch " + m,
      "x\"; touch " + m + "; echo \"",
      "x'; touch " + m + "; echo '",
      "x' \"$(touch " + m + ")\" '",
      "a  b\tc\nd",
      "*",
      "$HOME ${PATH} $1 \\",
      "-n",
      "",
  };
  const std::string formats[] = {
      rec + " %s",
      rec + " \"%s\"",
      rec + " '%s'",
      rec + " -s\"%s\" %s",
      rec + " pre%spost",
      rec + " \"<%s>\" '<%s>'",
      "# it's a \"note\n" + rec + " %s",
      "echo \"$(" + rec + " %s)\"",
      "echo \"`" + rec + " %s`\"",
  };
  for (const std::string& format : formats) {
    for (const std::string& value : values) {
      std::string script = ShellScriptFromFormat(format);
      int status = RunShellCommand(script, {value, value});
      EXPECT_EQ(status, 0) << format << " with " << value;
      EXPECT_FALSE(MarkerExists()) << format << " ran " << value;
      std::vector<std::string> args = RecordedArgs();
      ASSERT_FALSE(args.empty()) << format;
      // Each value arrives whole inside one argument.
      for (const std::string& arg : args) EXPECT_NE(arg.find(value), std::string::npos) << format << ": " << arg;
      // Two arguments where the format gives two (the temporary directory's
      // name may itself hold "-s": it is left out of the look).
      std::string shape = format;
      shape.erase(shape.find(rec), rec.size());
      EXPECT_EQ(args.size(), shape.find("-s") != std::string::npos || shape.find("<") != std::string::npos ? 2u : 1u)
          << format << " with " << value;
    }
  }
}

TEST_F(ShellRun, FormatsWithoutValuesRunAsWritten) {
  std::string out = dir / "out";
  EXPECT_EQ(RunShellCommand(ShellScriptFromFormat("echo ran > " + out), {"/tmp/unused"}), 0);
  EXPECT_EQ(ReadFile(out), "ran\n");
}

TEST_F(ShellRun, OtherConversionsReadNothing) {
  EXPECT_EQ(RunShellCommand(ShellScriptFromFormat(rec + " %d %n %x %5s %% %s %s"), {"only"}), 0);
  // The second %s has no value and expands to nothing.
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"%d", "%n", "%x", "%5s", "%", "only", ""}));
}

TEST_F(ShellRun, StatusIsTheRawWaitStatus) {
  struct Case {
    const char* script;
    int status;
  } cases[] = {{"exit 0", 0}, {"exit 1", 256}, {"exit 3", 768}, {"kill -9 $$", 9}, {"/nonexistent/cmd", 127 << 8}};
  for (const Case& c : cases) {
    int status = RunShellCommand(c.script, {});
    EXPECT_EQ(status, c.status) << c.script;
    EXPECT_EQ(status, std::system(c.script)) << c.script;
  }
}

TEST_F(ShellRun, StandardOutputToAGivenDescriptor) {
  std::string out = dir / "out";
  int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(RunShellCommand("printf 'calendar %s' \"$1\"", {"May"}, fd), 0);
  close(fd);
  EXPECT_EQ(ReadFile(out), "calendar May");
}

volatile std::sig_atomic_t signals_caught = 0;
void CountSignal(int) { signals_caught = signals_caught + 1; }

TEST_F(ShellRun, InterruptHandlersAreRestored) {
  struct sigaction mine {};
  struct sigaction old_int {};
  struct sigaction old_quit {};
  mine.sa_handler = CountSignal;
  sigemptyset(&mine.sa_mask);
  sigaction(SIGINT, &mine, &old_int);
  sigaction(SIGQUIT, &mine, &old_quit);
  // While the command runs the program ignores the interrupts; the command
  // itself sees them as the program had them before (caught ones: default).
  signals_caught = 0;
  EXPECT_EQ(RunShellCommand("kill -INT $PPID; kill -QUIT $PPID; exit 0", {}), 0);
  EXPECT_EQ(signals_caught, 0);
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, CountSignal);
  sigaction(SIGQUIT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, CountSignal);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
}

TEST(FillFormat, TheCommandAsTheUserReadsIt) {
  struct Case {
    const char* format;
    std::vector<std::string> values;
    const char* shown;
  } cases[] = {
      {"lpr %s", {"/tmp/sk1"}, "lpr /tmp/sk1"},
      {"mail -s\"%s\" %s", {"Groceries", "bob@example.org"}, "mail -s\"Groceries\" bob@example.org"},
      {"lpr", {"/tmp/sk1"}, "lpr"},
      {"a %s %s %s", {"1"}, "a 1  "},
      {"100%% %d %s", {"x"}, "100% %d x"},
      {"%", {}, "%"},
  };
  for (const Case& c : cases) EXPECT_EQ(FillFormat(c.format, c.values), c.shown) << c.format;
}

TEST(CommandFailure, ReasonAndMessage) {
  auto status = [](const char* script) {
    CommandResult r;
    r.status = std::system(script);
    return r;
  };
  CommandResult not_started;
  not_started.start_error = EAGAIN;
  struct Case {
    CommandResult result;
    bool succeeded;
    std::string reason;
  } cases[] = {
      {status("exit 0"), true, "exit status 0"},
      {status("exit 1"), false, "exit status 1"},
      {status("exit 127"), false, "exit status 127"},
      {status("kill -9 $$"), false, "killed by signal 9 (Killed)"},
      {status("kill -TERM $$"), false, "killed by signal 15 (Terminated)"},
      {not_started, false, std::strerror(EAGAIN)},
      {CommandResult{}, false, "it did not run"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandSucceeded(c.result), c.succeeded) << c.reason;
    EXPECT_EQ(CommandFailureReason(c.result), c.reason);
  }
  CommandResult failed = status("exit 2");
  failed.error_output = "lpr: The printer or class does not exist.\n";
  EXPECT_EQ(CommandFailureMessage("lpr /tmp/sk7", failed),
            "Couldn't run lpr /tmp/sk7: exit status 2\nlpr: The printer or class does not exist.");
  failed.error_output = "";
  EXPECT_EQ(CommandFailureMessage("lpr /tmp/sk7", failed), "Couldn't run lpr /tmp/sk7: exit status 2");
}

TEST(FirstErrorLines, FewShortPrintableLines) {
  const std::string long_line(500, 'x');
  const std::string utf8_line = std::string(159, 'a') + "\xc3\xa9" + "tail";  // é across the cut
  struct Case {
    std::string output;
    std::string lines;
  } cases[] = {
      {"", ""},
      {"one\n", "one"},
      {"one\ntwo", "one\ntwo"},
      {"\n\n  \none\r\n\ntwo  \n", "one\ntwo"},
      {"1\n2\n3\n4\n5\n6\n7\n", "1\n2\n3\n4\n5"},
      {long_line + "\nnext", std::string(160, 'x') + "...\nnext"},
      {utf8_line, std::string(159, 'a') + "..."},
      {"tab\there\x1b[31mred\x7f", "tab here?[31mred?"},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstErrorLines(c.output), c.lines) << c.output;
}

TEST(ErrorOutput, KeepsOnlyTheStart) {
  ErrorOutput out;
  std::string chunk(3000, 'e');
  for (int i = 0; i < 1000; ++i) out.Add(chunk.data(), chunk.size());
  EXPECT_EQ(out.kept().size(), ErrorOutput::kKept);
  ErrorOutput small;
  small.Add("ab", 2);
  small.Add("cd", 2);
  EXPECT_EQ(small.kept(), "abcd");
}

// Reads a descriptor to its end (it is non-blocking: waits with poll).
std::string ReadToEnd(int fd) {
  std::string out;
  char buf[4096];
  while (true) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 5000);
    } else {
      return out;
    }
  }
}

TEST_F(ShellRun, StartedCommandRunsApartWithItsOwnStandardError) {
  StartedCommand started;
  std::string out = dir / "out";
  int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  // Standard input is /dev/null: a command that reads it ends at once.
  ASSERT_EQ(StartShellCommand("cat; printf 'out %s' \"$1\"; printf 'err\\n' >&2; exit 3", {"May"}, fd, &started),
            0);
  close(fd);
  ASSERT_GT(started.pid, 0);
  ASSERT_GE(started.stderr_fd.get(), 0);
  EXPECT_NE(fcntl(started.stderr_fd.get(), F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(started.stderr_fd.get(), F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(ReadToEnd(started.stderr_fd.get()), "err\n");
  if (started.exit_fd.valid()) {
    pollfd p{started.exit_fd.get(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 5000), 1) << "the exit descriptor tells of the end";
  }
  int status = 0;
  ASSERT_EQ(waitpid(started.pid, &status, 0), started.pid);
  EXPECT_EQ(status, 3 << 8);
  EXPECT_EQ(ReadFile(out), "out May");
}

// The descriptors open in this process, in order.
std::vector<int> OpenDescriptors() {
  std::vector<int> fds;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return fds;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    int fd = std::atoi(entry->d_name);
    if (fd != dirfd(dir)) fds.push_back(fd);
  }
  closedir(dir);
  std::sort(fds.begin(), fds.end());
  return fds;
}

// The n-th (from 0) lowest descriptor number not open: where the n-th
// descriptor opened next would go.
int FreeDescriptor(const std::vector<int>& open_fds, int n) {
  for (int fd = 0;; ++fd)
    if (!std::binary_search(open_fds.begin(), open_fds.end(), fd) && n-- == 0) return fd;
}

TEST_F(ShellRun, StartedCommandOwnsItsDescriptorsAndLeavesNoOther) {
  std::vector<int> before = OpenDescriptors();
  {
    StartedCommand started;
    ASSERT_EQ(StartShellCommand("printf 'err' >&2", {}, -1, &started), 0);
    // /dev/null and the pipe's write end are closed here; the read end and
    // the exit descriptor are the started command's.
    std::vector<int> during = before;
    during.push_back(started.stderr_fd.get());
    if (started.exit_fd.valid()) during.push_back(started.exit_fd.get());
    std::sort(during.begin(), during.end());
    EXPECT_EQ(OpenDescriptors(), during);
    EXPECT_EQ(ReadToEnd(started.stderr_fd.get()), "err");
    int status = 0;
    ASSERT_EQ(waitpid(started.pid, &status, 0), started.pid);
  }
  EXPECT_EQ(OpenDescriptors(), before) << "the descriptors went with the started command";

  // A start that fails at /dev/null (no descriptor left) or at the pipe
  // (room for /dev/null only) reports the error and leaves nothing open.
  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old_limit), 0);
  for (int room : {0, 1}) {
    SCOPED_TRACE("descriptors free: " + std::to_string(room));
    rlimit limit = old_limit;
    limit.rlim_cur = static_cast<rlim_t>(FreeDescriptor(before, room));
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    StartedCommand started;
    int error = StartShellCommand("exit 0", {}, -1, &started);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &old_limit), 0);
    EXPECT_EQ(error, EMFILE);
    EXPECT_EQ(started.pid, -1);
    EXPECT_FALSE(started.stderr_fd.valid());
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

TEST_F(ShellRun, StartedCommandGetsPlainSignals) {
  // Whatever the program ignores, the command gets the usual dispositions
  // for a broken pipe and an oversized file.
  auto old_pipe = std::signal(SIGPIPE, SIG_IGN);
  auto old_fsz = std::signal(SIGXFSZ, SIG_IGN);
  StartedCommand started;
  ASSERT_EQ(StartShellCommand("grep -E '^SigIgn' /proc/$$/status >&2", {}, -1, &started), 0);
  std::string err = ReadToEnd(started.stderr_fd.get());
  int status = 0;
  waitpid(started.pid, &status, 0);
  std::signal(SIGPIPE, old_pipe);
  std::signal(SIGXFSZ, old_fsz);
  unsigned long long ignored = std::stoull(err.substr(err.find(':') + 1), nullptr, 16);
  EXPECT_EQ(ignored & (1ULL << (SIGPIPE - 1)), 0u) << err;
  EXPECT_EQ(ignored & (1ULL << (SIGXFSZ - 1)), 0u) << err;
}

TEST_F(ShellRun, CommandsStartWithDefaultSignalsAndAnEmptyMask) {
  // As the running program has them: SIGXFSZ and SIGPIPE ignored, SIGUSR1
  // blocked, the interrupts ignored (started in the background).
  const int ignored[] = {SIGXFSZ, SIGPIPE, SIGINT, SIGQUIT, SIGHUP};
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction old[5];
  for (int i = 0; i < 5; ++i) sigaction(ignored[i], &ignore, &old[i]);
  sigset_t usr1, old_mask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  sigprocmask(SIG_BLOCK, &usr1, &old_mask);

  TempDir dir;
  std::string out = dir / "status";
  int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  // The shell's own status: what the command inherited. The shell reads it
  // itself with no child running: while it forks one, it blocks every
  // signal for a moment, and a child reading the shell's status then would
  // see that mask instead.
  EXPECT_EQ(RunShellCommand("while read -r l; do case $l in SigBlk:*|SigIgn:*) printf '%s\\n' \"$l\";; esac; done < /proc/$$/status",
                            {}, fd),
            0);
  close(fd);

  sigprocmask(SIG_SETMASK, &old_mask, nullptr);
  for (int i = 0; i < 5; ++i) sigaction(ignored[i], &old[i], nullptr);
  EXPECT_EQ(ReadFile(out), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
}

}  // namespace
