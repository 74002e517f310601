#include "tools/shell_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
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
      EXPECT_EQ(args.size(), format.find("-s") != std::string::npos || format.find("<") != std::string::npos ? 2u : 1u)
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

}  // namespace
