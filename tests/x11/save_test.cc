// Saving notes: what is written, when, and what failures leave behind.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/note_commands.h"
#include "notes/note_saving.h"
#include "stderr_capture.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SaveTest : public testing::Test {
 protected:
  void SetUp() override {
    UseNoteSettings(dir_.path(), 1024);
  }
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }
  Note* Shown(const char* text, int x = 40, int y = 60) { return ShowNoteAt(x, y, text); }
  void Save(Note* note) {
    SaveNote(note);
    Pump();
  }
  TempDir dir_;
  ProgramStateGuard program_state_;
};

TEST_F(SaveTest, ChangedNoteIsWrittenInTheNoteFormat) {
  Note* note = Shown("milk\nbread\n");
  note->name = "Note 3";
  note->alarm.month = 5;
  note->alarm.day = 14;
  note->alarm.hour = 9;
  note->alarm.minute = 30;
  note->MarkChanged();
  Save(note);
  std::string expected = "%%!!<tackonnote> 40 60 169 227 11 0 0 " + std::to_string(program.screen_height) + " " +
                         std::to_string(program.screen_width) + " 0 5 14 9 30 \nNote 3\nmilk\nbread\n";
  EXPECT_EQ(ReadFile(dir_ / "note1"), expected);
  EXPECT_EQ(Files(dir_.path()), std::vector<std::string>{"note1"}) << "no temporary file is left";
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(note->file_path, dir_ / "note1");
}

TEST_F(SaveTest, UntouchedNoteIsNotWrittenAndAMovedOneIs) {
  Note* note = Shown("text");
  SaveAllAndWait(false);
  Pump();
  EXPECT_TRUE(Files(dir_.path()).empty()) << "neither moved nor edited";

  XMoveWindow(program.display, XtWindow(NoteShell(note)), 300, 310);
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    XGetWindowAttributes(program.display, XtWindow(NoteShell(note)), &a);
    return a.x == 300;
  }));
  EXPECT_FALSE(note->changed());
  SaveAllAndWait(false);
  std::string bytes = ReadFile(dir_ / "note1");
  EXPECT_EQ(bytes.substr(0, 25), "%%!!<tackonnote> 300 310 ");
  EXPECT_EQ(note->x, 300);

  // Written once: the next pass finds nothing to do.
  struct stat before, after;
  std::filesystem::last_write_time(dir_ / "note1", std::filesystem::file_time_type{});
  stat((dir_ / "note1").c_str(), &before);
  SaveAllAndWait(false);
  stat((dir_ / "note1").c_str(), &after);
  EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(SaveTest, NoteMovedThenHiddenIsWrittenAtItsNewPlace) {
  Note* note = Shown("text");
  XMoveWindow(program.display, XtWindow(NoteShell(note)), 500, 510);
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    XGetWindowAttributes(program.display, XtWindow(NoteShell(note)), &a);
    return a.x == 500;
  }));
  WindowOf(note)->Hide();
  Pump();
  EXPECT_FALSE(note->changed()) << "hiding is not an edit";
  SaveAllAndWait(false);
  EXPECT_EQ(ReadFile(dir_ / "note1").substr(0, 29), "%%!!<tackonnote> 500 510 169 ");
  EXPECT_NE(ReadFile(dir_ / "note1").find(" 4 1 0 "), std::string::npos) << "stored hidden";
  std::filesystem::last_write_time(dir_ / "note1", std::filesystem::file_time_type{});
  SaveAllAndWait(false);
  EXPECT_EQ(std::filesystem::last_write_time(dir_ / "note1"), std::filesystem::file_time_type{});
}

TEST_F(SaveTest, APassUnderWayKeepsLaterEditsLetsADestroyedNoteGoAndTakesASecondPassAfterIt) {
  // Enough notes that the writer is still busy when the commands below come.
  std::vector<Note*> notes;
  for (int i = 0; i < 40; ++i) notes.push_back(Shown(("text " + std::to_string(i)).c_str(), 20 + 30 * i, 60));
  for (Note* note : notes) note->MarkChanged();
  Note* edited = notes.front();
  Note* doomed = notes.back();
  const std::string edited_path = dir_ / ("note" + std::to_string(edited->id));
  const std::string doomed_path = dir_ / ("note" + std::to_string(doomed->id));
  bool first_ended = false;
  SaveOutcome first;
  SaveAllNotes(false, [&](const SaveOutcome& outcome) {
    first_ended = true;
    first = outcome;
  });
  ASSERT_TRUE(WindowOf(edited)->Insert(0, std::string_view("more ", 5)));
  DestroyNote(doomed);
  Press(XtNameToWidget(PopupNamed("Confirm"), "Buttons.Confirm"));
  int second = 0;
  SaveAllNotes(false, [&](const SaveOutcome&) { ++second; });
  EXPECT_EQ(second, 0) << "never two passes at once";
  ASSERT_TRUE(PumpUntil([&] { return first_ended; }, 10000));
  EXPECT_TRUE(first.all);
  EXPECT_EQ(first.tried, 40u);
  ASSERT_TRUE(PumpUntil([&] { return second == 1; }, 10000));
  EXPECT_FALSE(edited->changed());
  EXPECT_NE(ReadFile(edited_path).find("\nmore text 0"), std::string::npos) << ReadFile(edited_path);
  EXPECT_FALSE(std::filesystem::exists(doomed_path)) << "the destroyed note's file does not come back";
  for (const std::string& name : Files(dir_.path())) EXPECT_EQ(name.rfind("sk1.", 0), std::string::npos) << name;
  Pump();
  EXPECT_EQ(second, 1);
}

TEST_F(SaveTest, StoredSizeIsTheWindowsAtSaving) {
  Note* note = Shown("text");
  XResizeWindow(program.display, XtWindow(NoteShell(note)), 333, 222);
  ASSERT_TRUE(PumpUntil([&] { return NoteShell(note)->core.width == 333; }));
  note->MarkChanged();
  Save(note);
  EXPECT_EQ(ReadFile(dir_ / "note1").substr(0, 30), "%%!!<tackonnote> 40 60 222 333");
  EXPECT_EQ(note->width, 227) << "the note's own size fields stay";
}

TEST_F(SaveTest, LoadedNoteIsSavedBackToItsOwnFile) {
  WriteFile(dir_ / "note07", "%%!!<tackonnote> 40 60 169 227 3 0 0 1080 1920 0 0 1 0 0 \nSeven\nold");
  LoadNotes();
  ASSERT_EQ(Notes().size(), 1u);
  Note* note = Notes()[0].get();
  EXPECT_EQ(note->id, 7);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  EXPECT_FALSE(note->changed()) << "loading changes nothing";
  ASSERT_TRUE(WindowOf(note)->Insert(3, std::string_view("er", 2)));
  Save(note);
  EXPECT_EQ(Files(dir_.path()), std::vector<std::string>{"note07"});
  std::string bytes = ReadFile(dir_ / "note07");
  EXPECT_EQ(bytes.substr(bytes.find('\n') + 1), "Seven\nolder");
}

TEST_F(SaveTest, UnwritableDirectoryIsReportedInAPopupToo) {
  Note* note = Shown("text");
  std::string gone = dir_ / "gone";
  UseNoteSettings(gone);
  XMoveWindow(program.display, XtWindow(NoteShell(note)), 120, 130);
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    XGetWindowAttributes(program.display, XtWindow(NoteShell(note)), &a);
    return a.x == 120;
  }));
  note->MarkChanged();
  StderrCapture err;
  Save(note);
  std::string text = err.Text();
  const std::string stem = "stikkel: " + gone + "/sk1." + std::to_string(getpid()) + ".";
  EXPECT_EQ(text.rfind(stem, 0), 0u) << text;
  EXPECT_EQ(text.substr(stem.size() + 6), ": No such file or directory\n");
  EXPECT_EQ(PopupsNamed("ErrorShell").size(), 1u) << "a failed save is never silent";
  DestroyPopupsNamed("ErrorShell");
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(note->x, 120) << "the moved position is recorded";
  EXPECT_TRUE(note->moved) << "and written by the next save that succeeds";
}

TEST_F(SaveTest, FullDiskKeepsTheOldFileAndTheUnsavedFlag) {
  const std::string first = "first version" + std::string(200, '.');
  Note* note = Shown(first.c_str());
  note->MarkChanged();
  Save(note);
  const std::string old_bytes = ReadFile(dir_ / "note1");
  ASSERT_FALSE(old_bytes.empty());
  // No file may grow past the old note's size: the longer new version
  // cannot be written (EFBIG; a full disk, ENOSPC, is tried on a small tmpfs
  // in save_faults_test.cc).
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view("second ", 7)));
  rlimit saved_limit{};
  getrlimit(RLIMIT_FSIZE, &saved_limit);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved_limit;
  limit.rlim_cur = old_bytes.size() + 3;
  StderrCapture err;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  Save(note);
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  std::signal(SIGXFSZ, old_handler);
  std::string text = err.Text();
  EXPECT_NE(text.find(std::strerror(EFBIG)), std::string::npos) << text;
  EXPECT_EQ(ReadFile(dir_ / "note1"), old_bytes);
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
  std::vector<Widget> popups = PopupsNamed("ErrorShell");
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_NE(LabelOf(XtNameToWidget(popups[0], "errorDialog")).find("Save of note failed."), std::string::npos);
  DestroyPopupsNamed("ErrorShell");

  // Room is back: the next save succeeds.
  Save(note);
  EXPECT_NE(ReadFile(dir_ / "note1").find("second first version"), std::string::npos);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
}

TEST_F(SaveTest, SaveAllWithNoNotes) {
  SaveAllAndWait(false);
  Pump();
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
  SaveAllAndWait(true);
  Pump();
  std::vector<Widget> popups = PopupsNamed("ErrorShell");
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(LabelOf(XtNameToWidget(popups[0], "errorDialog")), "There are no notes to save.");
}

}  // namespace
