// Printing a note and the Email Note dialog, with recording commands in
// place of lpr and mail.
#include "tools_fixture.h"

#include <X11/Shell.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>

#include "app/one_line.h"
#include "tools/print_email.h"

namespace {

class PrintEmail : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    // The print command keeps what it was given: its arguments, and the
    // contents of the file named by the first one.
    WriteFile(dir / "lpr", "#!/bin/sh\n'" + dir.path() + "/rec' \"$@\"\ncat \"$1\" > '" + dir.path() + "/printed'\n");
    chmod((dir / "lpr").c_str(), 0700);
    print_cmd = dir / "lpr %s";
    mail_cmd = dir / "recin -s\"%s\" %s";
    program.res.printCmd = const_cast<char*>(print_cmd.c_str());
    program.res.emailCmd = const_cast<char*>(mail_cmd.c_str());
  }
  void TearDown() override {
    DestroyPopupsNamed("EmailShell");
    ToolsTest::TearDown();
  }

  void SetAddress(const std::string& address) {
    Arg args[1];
    XtSetArg(args[0], XtNstring, address.c_str());
    XtSetValues(XtNameToWidget(PopupNamed("EmailShell"), "*EmailText"), args, 1);
  }
  Widget EmailButton(const char* name) { return XtNameToWidget(PopupNamed("EmailShell"), name); }

  std::string print_cmd;
  std::string mail_cmd;
};

TEST_F(PrintEmail, PrintCommandGetsTheFileWithTheExactText) {
  const std::string text = "first line\nsecond \"line\" $HOME `x`\n\tend";
  Note* note = MakeNote(text);
  note->MarkSaved();
  PickEntry(NoteWidget(note, "FileMenu"), "Print");
  EXPECT_EQ(RecordedArgs(), std::vector<std::string>{TempPath()});
  EXPECT_EQ(ReadFile(dir / "printed"), text);
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_TRUE(ErrorMessages().empty());
  EXPECT_FALSE(Changed(note)) << "printing does not change the note";
}

TEST_F(PrintEmail, EmptyNoteLeavesAnEmptyFileAndRunsNothing) {
  Note* note = MakeNote("");
  PickEntry(NoteWidget(note, "FileMenu"), "Print");
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"No text in note to print!"});
  EXPECT_FALSE(Exists(dir / "args"));
  ASSERT_TRUE(Exists(TempPath()));
  EXPECT_EQ(ReadFile(TempPath()), "");
}

TEST_F(PrintEmail, PrintFormatsWithoutOrWithOtherConversions) {
  Note* note = MakeNote("text");
  struct Case {
    std::string format;
    std::vector<std::string> args;
  } cases[] = {
      {dir / "rec", {}},
      {dir / "rec -P office", {"-P", "office"}},
      {dir / "rec %d %n %x %% %s %s", {"%d", "%n", "%x", "%", TempPath(), ""}},
  };
  for (const Case& c : cases) {
    program.res.printCmd = const_cast<char*>(c.format.c_str());
    unlink((dir / "args").c_str());
    PickEntry(NoteWidget(note, "FileMenu"), "Print");
    EXPECT_EQ(RecordedArgs(), c.args) << c.format;
    EXPECT_FALSE(Exists(TempPath())) << c.format;
  }
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(PrintEmail, HostileTemporaryDirectoryReachesThePrintCommandAsData) {
  Note* note = MakeNote("text");
  const std::string m = dir / "owned";
  // Directory names that try to run "touch owned" in the current directory.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const char* names[] = {"$(touch owned)", "`touch owned`", "x; touch owned", "x\" ; touch owned; \"",
                         "x' ; touch owned; '", "with space"};
  for (const char* name : names) {
    std::string tmp = dir / name;
    ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0) << name;
    program.res.tmpDir = const_cast<char*>(tmp.c_str());
    std::string path = tmp + "/sk" + std::to_string(getpid());
    PickEntry(NoteWidget(note, "FileMenu"), "Print");
    EXPECT_FALSE(Exists(m)) << name;
    EXPECT_EQ(RecordedArgs(), std::vector<std::string>{path}) << name;
    EXPECT_EQ(ReadFile(dir / "printed"), "text") << name;
    EXPECT_FALSE(Exists(path)) << name;
  }
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(PrintEmail, UnusableTemporaryFileIsReported) {
  Note* note = MakeNote("text");
  std::string other = dir / "elsewhere";
  WriteFile(other, "keep");
  ASSERT_EQ(symlink(other.c_str(), TempPath().c_str()), 0);
  testing::internal::CaptureStderr();
  PickEntry(NoteWidget(note, "FileMenu"), "Print");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't open tempoary file for\nwriting: " + TempPath()});
  EXPECT_EQ(err.rfind("stikkel: " + TempPath() + ": ", 0), 0u) << err;
  EXPECT_EQ(ReadFile(other), "keep");
  EXPECT_FALSE(Exists(dir / "args"));
  unlink(TempPath().c_str());
}

TEST_F(PrintEmail, ShortWriteSendsNothing) {
  Note* note = MakeNote(std::string(5000, 'n'), 8192);
  // Files of this process may not grow past 4096 bytes: the write fails.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  testing::internal::CaptureStderr();
  PickEntry(NoteWidget(note, "FileMenu"), "Print");
  std::string err = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't open tempoary file for\nwriting: " + TempPath()});
  EXPECT_EQ(err, "stikkel: " + TempPath() + ": " + std::strerror(EFBIG) + "\n");
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_FALSE(Exists(dir / "args"));
}

TEST_F(PrintEmail, EmailDialogSendsNameAddressAndText) {
  Note* note = MakeNote("Milk\nEggs\n");
  note->name = "Shopping list";
  PickEntry(NoteWidget(note, "FileMenu"), "EmailNote");
  Widget shell = PopupNamed("EmailShell");
  ASSERT_NE(shell, nullptr);
  EXPECT_TRUE(PumpUntil([shell] { return IsMapped(shell); }));
  EXPECT_EQ(LabelOf(XtNameToWidget(shell, "*EmailLabel")), "Enter the email address of the intended recipient");
  EXPECT_EQ(LabelOf(EmailButton("*EmailAccept")), "Accept");
  EXPECT_EQ(LabelOf(EmailButton("*EmailCancel")), "Cancel");
  Dimension label_width = 0, field_width = 0;
  Arg args[1];
  XtSetArg(args[0], XtNwidth, &label_width);
  XtGetValues(XtNameToWidget(shell, "*EmailLabel"), args, 1);
  XtSetArg(args[0], XtNwidth, &field_width);
  XtGetValues(XtNameToWidget(PopupNamed("EmailShell"), "*EmailText"), args, 1);
  EXPECT_EQ(field_width, label_width);

  SetAddress("bob@example.org");
  Press(EmailButton("*EmailAccept"));
  WaitForCommands();
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"-sShopping list", "bob@example.org"}));
  EXPECT_EQ(ReadFile(dir / "stdin"), "Milk\nEggs\n");
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_EQ(PopupNamed("EmailShell"), nullptr);
  EXPECT_TRUE(PopupsNamed("EmailShell").empty());
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(PrintEmail, EmptyAddressStillRunsTheMailCommand) {
  Note* note = MakeNote("text");
  PickEntry(NoteWidget(note, "FileMenu"), "EmailNote");
  Press(EmailButton("*EmailAccept"));
  WaitForCommands();
  EXPECT_EQ(RecordedArgs(), (std::vector<std::string>{"-s" + note->name, ""}));
  EXPECT_EQ(ReadFile(dir / "stdin"), "text");
  EXPECT_TRUE(PopupsNamed("EmailShell").empty());
}

TEST_F(PrintEmail, HostileAddressesAndNamesRunNothing) {
  Note* note = MakeNote("body");
  const std::string m = dir / "owned";
  const std::string hostile[] = {
      "x; touch " + m,
      "$(touch " + m + ")",
      "`touch " + m + "`",
      "\"; touch " + m + "; echo \"",
      "'; touch " + m + "; echo '",
      "a@b | touch " + m,
      "a@b\ntouch " + m,
  };
  for (const std::string& value : hostile) {
    for (bool as_name : {false, true}) {
      note->name = as_name ? value : "Plain";
      unlink((dir / "args").c_str());
      PickEntry(NoteWidget(note, "FileMenu"), "EmailNote");
      SetAddress(as_name ? "bob@example.org" : value);
      Press(EmailButton("*EmailAccept"));
      WaitForCommands();
      EXPECT_FALSE(Exists(m)) << value;
      // The address is taken as one line.
      std::vector<std::string> expected = {"-s" + note->name, as_name ? "bob@example.org" : OneLine(value)};
      EXPECT_EQ(RecordedArgs(), expected) << value;
      EXPECT_EQ(ReadFile(dir / "stdin"), "body");
    }
  }
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(PrintEmail, EmptyNoteOrUnusableFileKeepsTheDialogOpen) {
  Note* note = MakeNote("");
  PickEntry(NoteWidget(note, "FileMenu"), "EmailNote");
  SetAddress("bob@example.org");
  Press(EmailButton("*EmailAccept"));
  WaitForCommands();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"No text in note to email!"});
  EXPECT_NE(PopupNamed("EmailShell"), nullptr);
  EXPECT_FALSE(Exists(dir / "args"));
  EXPECT_TRUE(Exists(TempPath())) << "the empty file is left";
  DestroyPopupsNamed("ErrorShell");

  WindowOf(note)->SetText("now some text");
  std::string missing = dir / "no-such-dir";
  program.res.tmpDir = const_cast<char*>(missing.c_str());
  testing::internal::CaptureStderr();
  Press(EmailButton("*EmailAccept"));
  testing::internal::GetCapturedStderr();
  Pump();
  EXPECT_EQ(ErrorMessages(),
            std::vector<std::string>{"Can't open tempoary file for\nwriting: " + missing + "/sk" + std::to_string(getpid())});
  EXPECT_NE(PopupNamed("EmailShell"), nullptr);
  EXPECT_FALSE(Exists(dir / "args"));

  Press(EmailButton("*EmailCancel"));
  Pump();
  EXPECT_EQ(PopupNamed("EmailShell"), nullptr);
  EXPECT_TRUE(PopupsNamed("EmailShell").empty());
}

TEST_F(PrintEmail, WindowCloseCancelsTheDialog) {
  Note* note = MakeNote("text");
  PickEntry(NoteWidget(note, "FileMenu"), "EmailNote");
  Widget shell = PopupNamed("EmailShell");
  ASSERT_TRUE(PumpUntil([shell] { return IsMapped(shell); }));
  SendWindowManagerClose(shell);
  EXPECT_TRUE(PumpUntil([] { return PopupsNamed("EmailShell").empty(); }));
  EXPECT_EQ(PopupNamed("EmailShell"), nullptr);
  EXPECT_FALSE(Exists(dir / "args"));
}

TEST_F(PrintEmail, FailingPrintCommandIsReportedWithItsErrorOutput) {
  Note* note = MakeNote("text");
  const std::string many_lines = "for i in 1 2 3 4 5 6 7; do echo \"line $i\" >&2; done; exit 4";
  struct Case {
    std::string format;
    std::string message;  // with <path> for the temporary path
  } cases[] = {
      {"/nonexistent/lpr %s",
       "Couldn't run /nonexistent/lpr <path>: exit status 127\nsh: 1: /nonexistent/lpr: not found"},
      {"echo 'lpr: no default destination' >&2; exit 1 # %s",
       "Couldn't run echo 'lpr: no default destination' >&2; exit 1 # <path>: exit status 1\n"
       "lpr: no default destination"},
      {many_lines, "Couldn't run " + many_lines + ": exit status 4\nline 1\nline 2\nline 3\nline 4\nline 5"},
      {"kill -9 $$", "Couldn't run kill -9 $$: killed by signal 9 (Killed)"},
      // Megabytes of errors: the pipe is drained, the message stays short.
      {"head -c 3000000 /dev/zero | tr '\\0' x >&2; exit 1",
       "Couldn't run head -c 3000000 /dev/zero | tr '\\0' x >&2; exit 1: exit status 1\n" + std::string(160, 'x') +
           "..."},
  };
  for (const Case& c : cases) {
    program.res.printCmd = const_cast<char*>(c.format.c_str());
    testing::internal::CaptureStderr();
    PickEntry(NoteWidget(note, "FileMenu"), "Print");
    testing::internal::GetCapturedStderr();
    std::string expected = c.message;
    for (std::size_t at; (at = expected.find("<path>")) != std::string::npos;) expected.replace(at, 6, TempPath());
    EXPECT_EQ(ErrorMessages(), std::vector<std::string>{expected}) << c.format;
    EXPECT_FALSE(Exists(TempPath())) << c.format;
    DestroyPopupsNamed("ErrorShell");
  }
}

// A command that runs until the file "go" appears (or 3 seconds pass).
std::string WaitingCommand(const TempDir& dir, const std::string& then) {
  return "i=0; while [ ! -e '" + dir.path() + "/go' ] && [ $i -lt 60 ]; do sleep 0.05; i=$((i+1)); done; " + then;
}

TEST_F(PrintEmail, CommandsRunWhileTheProgramGoesOn) {
  Note* note = MakeNote("first text");
  // The path reaches the command as the shell's $1; the "%s" in the
  // comment only takes it.
  std::string format = WaitingCommand(dir, "cat \"$1\" >> '" + dir.path() + "/printed'; echo late >&2; exit 5") +
                       " # %s";
  program.res.printCmd = const_cast<char*>(format.c_str());
  auto started = std::chrono::steady_clock::now();
  Widget entry = XtNameToWidget(NoteWidget(note, "FileMenu"), "Print");
  XtCallCallbacks(entry, XtNcallback, nullptr);
  Pump();
  // A second print while the first runs gets a temporary file of its own.
  WindowOf(note)->SetText("second text");
  XtCallCallbacks(entry, XtNcallback, nullptr);
  Pump();
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(took, std::chrono::milliseconds(2000)) << "the program waits for no command (each runs 3 s)";
  EXPECT_EQ(RunningCommandCount(), 2u);
  EXPECT_TRUE(ErrorMessages().empty());
  EXPECT_TRUE(Exists(TempPath()));
  EXPECT_TRUE(Exists(TempPath() + ".1"));

  // The e-mail dialog closes at once, whatever its mailer does.
  std::string mail_format = WaitingCommand(dir, "cat >/dev/null; echo 'mail: no route' >&2; exit 1") + " # %s %s";
  program.res.emailCmd = const_cast<char*>(mail_format.c_str());
  PickEntryWithoutWaiting(NoteWidget(note, "FileMenu"), "EmailNote");
  SetAddress("bob@example.org");
  Press(EmailButton("*EmailAccept"));
  Pump();
  EXPECT_EQ(PopupNamed("EmailShell"), nullptr);
  EXPECT_EQ(RunningCommandCount(), 3u);

  WriteFile(dir / "go", "");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(WaitForCommands());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile(dir / "printed").size(), std::string("first textsecond text").size());
  std::vector<std::string> messages = ErrorMessages();
  std::sort(messages.begin(), messages.end());
  std::vector<std::string> expected = {
      "Couldn't run " + FillFormat(format, {TempPath()}) + ": exit status 5\nlate",
      "Couldn't run " + FillFormat(format, {TempPath() + ".1"}) + ": exit status 5\nlate",
      "Couldn't run " + FillFormat(mail_format, {note->name, "bob@example.org"}) + ": exit status 1\nmail: no route",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(messages, expected);
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_FALSE(Exists(TempPath() + ".1"));
  // The errors still reach standard error, in the order the commands end.
  EXPECT_EQ(err.size(), std::string("late\nlate\nmail: no route\n").size()) << err;
  EXPECT_NE(err.find("mail: no route\n"), std::string::npos) << err;
}

}  // namespace
