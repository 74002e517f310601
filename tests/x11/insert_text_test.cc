// Text insertion into a note and the Insert Calendar command.
#include "tools_fixture.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <functional>

#include "tools/file_selection.h"
#include "tools/insert_text.h"

namespace {

using InsertText = ToolsTest;

TEST_F(InsertText, StringGoesToTheInsertionPoint) {
  Note* note = MakeNote("Hello world");
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 5);
  InsertIntoNote(note, ", big", false, false);
  Pump();
  EXPECT_EQ(TextOf(note), "Hello, big world");
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(InsertText, EachInsertionLeavesTheInsertionPointAfterIt) {
  const std::string file = dir / "day";
  const std::string calendar = "cat '" + file + "'";
  program.res.calendarCmd = const_cast<char*>(calendar.c_str());
  struct Way {
    const char* name;
    std::function<void(Note*)> insert;  // inserts the contents of `file`
  } ways[] = {
      {"string", [&](Note* note) { InsertIntoNote(note, ReadFile(file), false, false); }},
      {"file", [&](Note* note) { InsertIntoNote(note, file, false, true); }},
      {"calendar", [&](Note* note) { PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar"); }},
      {"Open", [&](Note* note) {
         OpenFileSelector(note, SelectionMode::kOpen, dir.path());
         for (Widget b : Named(XtNameToWidget(PopupNamed("FileSelectionShell"), "*IOFileViewForm"), "ListButton"))
           if (LabelOf(b) == "day") {
             Press(b);  // inserts, then closes the window
             break;
           }
         Pump();
       }},
  };
  for (const Way& way : ways) {
    Note* note = MakeNote("[]");
    XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 1);
    WriteFile(file, "Tuesday");
    way.insert(note);
    EXPECT_EQ(XawTextGetInsertionPoint(NoteWidget(note, "NoteText")), 8) << way.name;
    WriteFile(file, "Thursday");
    way.insert(note);
    EXPECT_EQ(TextOf(note), "[TuesdayThursday]") << way.name;
    EXPECT_EQ(XawTextGetInsertionPoint(NoteWidget(note, "NoteText")), 16) << way.name;
  }
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(InsertText, StringGrowsTheNoteUpToTheCap) {
  Note* note = MakeNote("0123456789", 16);
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 10);
  InsertIntoNote(note, "abcdefghij", false, false);  // past the first buffer
  EXPECT_EQ(TextOf(note), "0123456789abcdefghij");
  EXPECT_EQ(note->buffer_size, 1024u) << "grown in steps of the note list's buffer size";
  LimitNoteText(note, 25);  // room for 5 more bytes
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 20);
  InsertIntoNote(note, "klmnop", false, false);
  PumpUntil([] { return !ErrorMessages().empty(); });
  EXPECT_EQ(TextOf(note), "0123456789abcdefghij");
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{TextTooLongMessage(note->name)});
  DestroyPopupsNamed("ErrorShell");
  InsertIntoNote(note, "klmno", false, false);  // exactly the room left
  EXPECT_EQ(TextOf(note), "0123456789abcdefghijklmno");
}

TEST_F(InsertText, FileContentsUpToTheFirstNul) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string result;
  } cases[] = {
      {"empty file", "", "[]"},
      {"plain text", "line one\nline two\n", "[line one\nline two\n]"},
      {"NUL in the middle", std::string("abc\0def", 7), "[abc]"},
      {"NUL first", std::string("\0def", 4), "[]"},
  };
  for (const Case& c : cases) {
    Note* note = MakeNote("[]");
    XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 1);
    std::string path = dir / "input";
    WriteFile(path, c.bytes);
    InsertIntoNote(note, path, false, true);
    Pump();
    EXPECT_EQ(TextOf(note), c.result) << c.what;
    EXPECT_TRUE(ErrorMessages().empty()) << c.what;
    EXPECT_TRUE(Exists(path)) << c.what << ": kept unless asked";
    InsertIntoNote(note, path, true, true);
    EXPECT_FALSE(Exists(path)) << c.what << ": removed when asked";
    ResetProgramState();
  }
}

TEST_F(InsertText, MissingFileIsReportedAndStillRemoved) {
  Note* note = MakeNote("keep");
  std::string missing = dir / "missing";
  InsertIntoNote(note, missing, true, true);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't stat file: " + missing});
  DestroyPopupsNamed("ErrorShell");
  // A dangling link cannot be read either; asked to, the link is removed.
  std::string dangling = dir / "dangling";
  ASSERT_EQ(symlink(missing.c_str(), dangling.c_str()), 0);
  InsertIntoNote(note, dangling, true, true);
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't stat file: " + dangling});
  EXPECT_FALSE(Exists(dangling));
  EXPECT_EQ(TextOf(note), "keep");
}

TEST_F(InsertText, FileThatCannotBeOpenedIsReportedAndStillRemoved) {
  Note* note = MakeNote("keep");
  // A socket can be looked at but not opened.
  std::string path = dir / "socket";
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(s);
  testing::internal::CaptureStderr();
  InsertIntoNote(note, path, true, true);
  std::string err = testing::internal::GetCapturedStderr();
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't open file for\nreading: " + path});
  EXPECT_EQ(err.rfind("stikkel: " + path + ": ", 0), 0u) << err;
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(TextOf(note), "keep");
}

TEST_F(InsertText, FileLargerThanTheRoomLeftChangesNothing) {
  Note* note = MakeNote("0123456789");
  LimitNoteText(note, 31);  // room for 21 more bytes
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 10);
  std::string path = dir / "big";
  WriteFile(path, std::string(22, 'x'));
  InsertIntoNote(note, path, true, true);
  PumpUntil([] { return !ErrorMessages().empty(); });
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{TextTooLongMessage(note->name)});
  EXPECT_EQ(TextOf(note), "0123456789");
  EXPECT_TRUE(Exists(path)) << "a file whose text did not fit is kept";
  DestroyPopupsNamed("ErrorShell");

  // Exactly the room left fits; so does a long file whose NUL comes early.
  WriteFile(path, std::string(21, 'y'));
  InsertIntoNote(note, path, false, true);
  EXPECT_EQ(TextOf(note), "0123456789" + std::string(21, 'y'));
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(InsertText, HugeFileIsRefusedWithoutReadingItAll) {
  Note* note = MakeNote("ab");
  LimitNoteText(note, 63);
  std::string path = dir / "huge";
  WriteFile(path, std::string(100, 'z'));
  // A sparse file of 3 GiB: its size does not fit an int.
  ASSERT_EQ(truncate(path.c_str(), 3LL << 30), 0);
  InsertIntoNote(note, path, false, true);
  PumpUntil([] { return !ErrorMessages().empty(); });
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{TextTooLongMessage(note->name)});
  EXPECT_EQ(TextOf(note), "ab");
  DestroyPopupsNamed("ErrorShell");
  // The same size with a NUL within the room: the text before it goes in.
  std::string early = dir / "early";
  WriteFile(early, std::string("short\0", 6) + std::string(100, 'z'));
  ASSERT_EQ(truncate(early.c_str(), 3LL << 30), 0);
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 2);
  InsertIntoNote(note, early, false, true);
  EXPECT_EQ(TextOf(note), "abshort");
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(InsertText, CalendarOutputInsertedFileGoneNoteChanged) {
  Note* note = MakeNote("Week:");
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 5);
  note->MarkSaved();
  program.res.calendarCmd = const_cast<char*>("printf ' May 2025\\n'; printf 'Su Mo\\n' >&2");
  testing::internal::CaptureStderr();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(TextOf(note), "Week: May 2025\n");
  EXPECT_EQ(err, "Su Mo\n") << "the command's errors still reach standard error";
  EXPECT_TRUE(Changed(note));
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_TRUE(ErrorMessages().empty());

  // Even a calendar with no output marks the note changed.
  note->MarkSaved();
  program.res.calendarCmd = const_cast<char*>("true");
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  EXPECT_TRUE(Changed(note));
  EXPECT_EQ(TextOf(note), "Week: May 2025\n");
  EXPECT_FALSE(Exists(TempPath()));
}

TEST_F(InsertText, CalendarFailureReportsTheRawStatus) {
  Note* note = MakeNote("as it was");
  note->MarkSaved();
  program.res.calendarCmd = const_cast<char*>("echo partial; exit 1");
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Couldn't run echo partial; exit 1: return code = 256"});
  EXPECT_EQ(TextOf(note), "as it was");
  EXPECT_FALSE(Changed(note));
  EXPECT_FALSE(Exists(TempPath()));
}

TEST_F(InsertText, CalendarThatDoesNotFitKeepsItsTemporaryFile) {
  Note* note = MakeNote("");
  LimitNoteText(note, 7);
  program.res.calendarCmd = const_cast<char*>("echo 'a calendar longer than the note'");
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  PumpUntil([] { return !ErrorMessages().empty(); });
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{TextTooLongMessage(note->name)});
  EXPECT_EQ(TextOf(note), "");
  EXPECT_TRUE(Changed(note));
  EXPECT_TRUE(Exists(TempPath()));
  unlink(TempPath().c_str());
}

TEST_F(InsertText, CalendarNeverWritesThroughAPlantedLink) {
  Note* note = MakeNote("mine");
  std::string target = dir / "precious";
  WriteFile(target, "precious data");
  ASSERT_EQ(symlink(target.c_str(), TempPath().c_str()), 0);
  program.res.calendarCmd = const_cast<char*>("echo overwritten");
  testing::internal::CaptureStderr();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't open tempoary file for\nwriting: " + TempPath()});
  EXPECT_EQ(err.rfind("stikkel: " + TempPath() + ": ", 0), 0u) << err;
  EXPECT_EQ(ReadFile(target), "precious data");
  EXPECT_TRUE(Exists(TempPath())) << "the link is left alone";
  EXPECT_EQ(TextOf(note), "mine");
  unlink(TempPath().c_str());
}

TEST_F(InsertText, HostileTemporaryDirectoryIsNeverRun) {
  Note* note = MakeNote();
  // The directory names try to run "touch owned" in the current directory.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const char* names[] = {"$(touch owned)", "`touch owned`", "x; touch owned", "x\" ; touch owned; \"",
                         "x' ; touch owned; '"};
  for (const char* name : names) {
    std::string tmp = dir / name;
    ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0) << name;
    program.res.tmpDir = const_cast<char*>(tmp.c_str());
    program.res.calendarCmd = const_cast<char*>("printf cal");
    PickEntry(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
    EXPECT_FALSE(Exists(dir / "owned")) << name;
    EXPECT_FALSE(Exists(tmp + "/sk" + std::to_string(getpid()))) << name;
  }
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(TextOf(note), "calcalcalcalcal");
  EXPECT_TRUE(ErrorMessages().empty());
}

TEST_F(InsertText, CalendarRunsWhileTheProgramGoesOn) {
  Note* note = MakeNote("Week:");
  Note* other = MakeNote("other");
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 5);
  note->MarkSaved();
  // Runs until "go" appears (at most 3 seconds), then prints a calendar.
  std::string command = "i=0; while [ ! -e '" + dir.path() +
                        "/go' ] && [ $i -lt 60 ]; do sleep 0.05; i=$((i+1)); done; printf ' May'";
  program.res.calendarCmd = const_cast<char*>(command.c_str());
  auto started = std::chrono::steady_clock::now();
  PickEntryWithoutWaiting(NoteWidget(note, "OptionsMenu"), "InsertCalendar");
  PickEntryWithoutWaiting(NoteWidget(other, "OptionsMenu"), "InsertCalendar");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2000)) << "each runs 3 s";
  EXPECT_EQ(RunningCommandCount(), 2u);
  EXPECT_EQ(TextOf(note), "Week:");
  // The other note goes before its calendar comes: nothing is inserted
  // anywhere and its temporary file is removed.
  std::string other_file = TempPath() + ".1";
  EXPECT_TRUE(Exists(other_file));
  XtDestroyWidget(NoteShell(other));
  Notes().RemoveNote(other);
  WriteFile(dir / "go", "");
  EXPECT_TRUE(WaitForCommands());
  EXPECT_EQ(TextOf(note), "Week: May");
  EXPECT_TRUE(Changed(note));
  EXPECT_FALSE(Exists(TempPath()));
  EXPECT_FALSE(Exists(other_file));
  EXPECT_TRUE(ErrorMessages().empty());
}

}  // namespace
