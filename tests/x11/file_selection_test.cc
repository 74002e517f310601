// The file selection window against a real X server: listing, export,
// the overwrite confirmation, placement and the failure messages.
#include <gtest/gtest.h>

#include "tools/file_selection.h"

#include <X11/IntrinsicP.h>
#include <X11/CompositeP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Command.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "stderr_capture.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

// The widget below w (w included) named `name` whose label is `label`.
Widget FindLabeled(Widget w, const char* name, const std::string& label) {
  if (std::strcmp(XtName(w), name) == 0 && LabelOf(w) == label) return w;
  if (!XtIsComposite(w)) return nullptr;
  auto* composite = reinterpret_cast<CompositeWidget>(w);
  for (Cardinal i = 0; i < composite->composite.num_children; ++i)
    if (Widget found = FindLabeled(composite->composite.children[i], name, label)) return found;
  return nullptr;
}

// The widgets of the file selection window and of the overwrite question,
// found by name as resource lines name them; null when the window is not up.
struct FileSelectionWidgets {
  Widget shell;
  Widget dir_viewport;
  Widget dir_form;
  Widget file_viewport;
  Widget file_form;
  Widget text;
  Widget accept;
  Widget cancel;
};

FileSelectionWidgets FileSelectionWindow() {
  FileSelectionWidgets w{};
  w.shell = PopupNamed("FileSelectionShell");
  if (!w.shell) return w;
  w.dir_viewport = XtNameToWidget(w.shell, "*IODirViewport");
  w.dir_form = XtNameToWidget(w.shell, "*IODirViewForm");
  w.file_viewport = XtNameToWidget(w.shell, "*IOFileViewport");
  w.file_form = XtNameToWidget(w.shell, "*IOFileViewForm");
  w.text = XtNameToWidget(w.shell, "*IOText");
  w.accept = FindLabeled(w.shell, "IOButtons", "Accept");
  w.cancel = FindLabeled(w.shell, "IOButtons", "Cancel");
  return w;
}

struct OverwriteWidgets {
  Widget shell;
  Widget accept;
  Widget cancel;
};

OverwriteWidgets OverwriteWindow() {
  Widget shell = PopupNamed("FileExistsShell");
  if (!shell) return {};
  return {shell, FindLabeled(shell, "IOButtons", "Accept"), FindLabeled(shell, "IOButtons", "Cancel")};
}

std::vector<std::string> Labels(Widget view_form) {
  std::vector<std::string> labels;
  for (Widget w : ChildrenOf(view_form)) labels.push_back(LabelOf(w));
  return labels;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

Widget ButtonLabeled(Widget view_form, const std::string& label) {
  for (Widget w : ChildrenOf(view_form))
    if (LabelOf(w) == label) return w;
  return nullptr;
}

Dimension WidthOf(Widget w) {
  Dimension width = 0;
  Arg args[1];
  XtSetArg(args[0], XtNwidth, &width);
  XtGetValues(w, args, 1);
  return width;
}

std::string TextOf(Widget text) {
  String value = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNstring, &value);
  XtGetValues(text, args, 1);
  return value ? value : "";
}

// The directory the window lists, as its text field shows it on opening.
std::string SelectionDirectory() { return TextOf(FileSelectionWindow().text); }

void Type(const std::string& path) {
  Arg args[1];
  XtSetArg(args[0], XtNstring, path.c_str());
  XtSetValues(FileSelectionWindow().text, args, 1);
}

// Where a shell's window stands (its outer corner; no window manager runs).
Point RootPosition(Widget shell) {
  XWindowAttributes attrs;
  XGetWindowAttributes(program.display, XtWindow(shell), &attrs);
  return {attrs.x, attrs.y};
}

// The messages of the error popups now up, in order.
std::vector<std::string> ErrorMessages() {
  std::vector<std::string> messages;
  for (Widget shell : PopupsNamed("ErrorShell")) messages.push_back(LabelOf(XtNameToWidget(shell, "errorDialog")));
  return messages;
}

class FileSelectionTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    if (home) saved_home_ = home;
    note_ = MakeNote("hello\nworld");
    WarpPointer(300, 200);
  }

  void TearDown() override {
    DestroyPopupsNamed("FileSelectionShell");
    DestroyPopupsNamed("FileExistsShell");
    DestroyPopupsNamed("ErrorShell");
    if (saved_home_) setenv("HOME", saved_home_->c_str(), 1);
    else unsetenv("HOME");
  }

  Note* MakeNote(const std::string& text) {
    Note* note = Notes().NewNote(-1);
    note->text = text;
    note->width = 200;
    note->height = 100;
    CreateNoteWindow(note);
    Pump();
    return note;
  }

  // Opens the window for dir and waits until it shows.
  void Open(SelectionMode mode, const std::string& dir, Note* note = nullptr) {
    OpenFileSelector(note ? note : note_, mode, dir);
    ASSERT_NE(FileSelectionWindow().shell, nullptr) << dir;
    ASSERT_TRUE(PumpUntil([] { return IsMapped(FileSelectionWindow().shell); }));
  }

  // Chooses Export... in the note's File menu, as a click does.
  void PickExport() {
    XtCallCallbacks(NoteWidget(note_, "Export"), XtNcallback, nullptr);
    Pump();
  }

  bool SelectionUp() { return FileSelectionWindow().shell != nullptr && !PopupsNamed("FileSelectionShell").empty(); }
  bool OverwriteUp() {
    return OverwriteWindow().shell != nullptr && PumpUntil([] { return IsMapped(OverwriteWindow().shell); });
  }

  Note* note_ = nullptr;
  TempDir dir_;

 private:
  std::optional<std::string> saved_home_;
  ProgramStateGuard program_state_;
};

TEST_F(FileSelectionTest, ListsDirectoriesAndFilesAsButtons) {
  mkdir((dir_ / "sub").c_str(), 0755);
  mkdir((dir_ / ".config").c_str(), 0755);
  WriteFile(dir_ / "a.txt", "a");
  WriteFile(dir_ / ".profile", "p");
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("nowhere", (dir_ / "dangling").c_str()), 0);

  StderrCapture err;
  Open(SelectionMode::kExport, dir_.path());
  FileSelectionWidgets w = FileSelectionWindow();
  // One dangling link does not hide the directory: it is reported and left out.
  EXPECT_EQ(err.Text(), dir_.path() + ": No such file or directory\nstikkel: Can't stat file - " +
                            (dir_ / "dangling") + "\n");
  EXPECT_EQ(Sorted(Labels(w.dir_form)), (std::vector<std::string>{"..", ".config", "sub"}));
  EXPECT_EQ(Sorted(Labels(w.file_form)), (std::vector<std::string>{".profile", "a.txt"}));
  EXPECT_EQ(SelectionDirectory(), dir_.path());
  EXPECT_EQ(TextOf(w.text), dir_.path());
  EXPECT_EQ(PopupsNamed("FileSelectionShell").size(), 1u);

  // Buttons of one list are evened to the widest plus 33.
  for (Widget form : {w.dir_form, w.file_form}) {
    std::vector<Widget> buttons = ChildrenOf(form);
    for (Widget b : buttons) {
      EXPECT_TRUE(XtIsSubclass(b, commandWidgetClass));
      EXPECT_EQ(WidthOf(b), WidthOf(buttons.front()));
    }
    EXPECT_GT(WidthOf(buttons.front()), 33);
  }
  EXPECT_EQ(WidthOf(w.dir_viewport) > 0, true);
  EXPECT_EQ(LabelOf(w.accept), "Accept");
  EXPECT_EQ(LabelOf(w.cancel), "Cancel");
}

TEST_F(FileSelectionTest, AnEmptyListSaysSo) {
  Open(SelectionMode::kOpen, dir_.path());
  FileSelectionWidgets w = FileSelectionWindow();
  EXPECT_EQ(Labels(w.dir_form), std::vector<std::string>{".."});
  std::vector<Widget> files = ChildrenOf(w.file_form);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_FALSE(XtIsSubclass(files[0], commandWidgetClass));
  EXPECT_EQ(LabelOf(files[0]), "(No Files)");
}

TEST_F(FileSelectionTest, ListsAtMost1024Files) {
  for (int i = 0; i < 1100; ++i) WriteFile(dir_ / ("f" + std::to_string(i)), "");
  Open(SelectionMode::kExport, dir_.path());
  EXPECT_EQ(ChildrenOf(FileSelectionWindow().file_form).size(), 1024u);
}

TEST_F(FileSelectionTest, WithoutHomeDirAndHomeItListsTheRoot) {
  program.res.homeDir = nullptr;
  unsetenv("HOME");
  PickExport();
  ASSERT_TRUE(PumpUntil([] { return FileSelectionWindow().shell && IsMapped(FileSelectionWindow().shell); }));
  EXPECT_EQ(SelectionDirectory(), "/");
  std::vector<std::string> dirs = Labels(FileSelectionWindow().dir_form);
  EXPECT_EQ(std::count(dirs.begin(), dirs.end(), ".."), 0);
  EXPECT_EQ(std::count(dirs.begin(), dirs.end(), "tmp"), 1);
}

TEST_F(FileSelectionTest, StartsInHomeDirElseHome) {
  mkdir((dir_ / "home").c_str(), 0755);
  setenv("HOME", (dir_ / "home").c_str(), 1);
  program.res.homeDir = nullptr;
  PickExport();
  EXPECT_EQ(SelectionDirectory(), dir_ / "home");
  std::string home_dir = dir_.path();
  program.res.homeDir = home_dir.data();
  PickExport();
  EXPECT_EQ(SelectionDirectory(), dir_.path());
  EXPECT_EQ(PopupsNamed("FileSelectionShell").size(), 1u);
  // A note that is gone opens nothing.
  Press(FileSelectionWindow().cancel);
  Pump();
  note_->id += 1000;  // the entry's id now names no note
  PickExport();
  note_->id -= 1000;
  EXPECT_EQ(FileSelectionWindow().shell, nullptr);
}

TEST_F(FileSelectionTest, TextFieldWidthFollowsTheDirectory) {
  // nameWidth pixels per character plus 10: a 7-character directory such as
  // /home/u gives 80.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  mkdir("home", 0755);
  mkdir("home/u1", 0755);
  program.res.nameWidth = 10;
  OpenFileSelector(note_, SelectionMode::kExport, "home/u1");
  ASSERT_EQ(chdir(cwd), 0);
  ASSERT_NE(FileSelectionWindow().shell, nullptr);
  ASSERT_TRUE(PumpUntil([] { return IsMapped(FileSelectionWindow().shell); }));
  EXPECT_EQ(WidthOf(FileSelectionWindow().text), 80);
}

TEST_F(FileSelectionTest, FileButtonOnAnExistingFileAsksFirst) {
  struct Case {
    bool accept;
    const char* expected;
  } cases[] = {{true, "hello\nworld\n"}, {false, "old contents that are longer\n"}};
  for (const Case& c : cases) {
    WriteFile(dir_ / "old.txt", "old contents that are longer\n");
    chmod((dir_ / "old.txt").c_str(), 0604);
    Open(SelectionMode::kExport, dir_.path());
    Press(ButtonLabeled(FileSelectionWindow().file_form, "old.txt"));
    Pump();
    EXPECT_FALSE(SelectionUp());
    ASSERT_TRUE(OverwriteUp());
    EXPECT_EQ(ReadFile(dir_ / "old.txt"), "old contents that are longer\n");
    Press(c.accept ? OverwriteWindow().accept : OverwriteWindow().cancel);
    Pump();
    EXPECT_EQ(ReadFile(dir_ / "old.txt"), c.expected) << c.accept;
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "old.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u) << "the file keeps its permissions";
    EXPECT_EQ(OverwriteWindow().shell, nullptr);
    EXPECT_TRUE(ErrorMessages().empty());
  }
}

TEST_F(FileSelectionTest, FileButtonOnAFileGoneMeanwhileWritesAtOnce) {
  WriteFile(dir_ / "gone.txt", "");
  Open(SelectionMode::kExport, dir_.path());
  unlink((dir_ / "gone.txt").c_str());
  Press(ButtonLabeled(FileSelectionWindow().file_form, "gone.txt"));
  Pump();
  EXPECT_EQ(ReadFile(dir_ / "gone.txt"), "hello\nworld\n");
  EXPECT_FALSE(SelectionUp());
  EXPECT_EQ(OverwriteWindow().shell, nullptr);
}

TEST_F(FileSelectionTest, TypedExistingNameAsksFirst) {
  struct Case {
    bool accept;
    const char* expected;
  } cases[] = {{true, "hello\nworld\n"}, {false, "old\n"}};
  for (const Case& c : cases) {
    WriteFile(dir_ / "old.txt", "old\n");
    Open(SelectionMode::kExport, dir_.path());
    Type(dir_ / "old.txt");
    Press(FileSelectionWindow().accept);
    Pump();
    // The window closes before the question is asked.
    EXPECT_FALSE(SelectionUp());
    ASSERT_TRUE(OverwriteUp());
    EXPECT_EQ(ReadFile(dir_ / "old.txt"), "old\n");
    OverwriteWidgets o = OverwriteWindow();
    EXPECT_EQ(LabelOf(XtNameToWidget(o.shell, "IOForm.IOExistsLabel")),
              "File Exists! Are you sure you want to export to this file?");
    EXPECT_EQ(LabelOf(o.accept), "Accept");
    EXPECT_EQ(LabelOf(o.cancel), "Cancel");
    Press(c.accept ? o.accept : o.cancel);
    Pump();
    EXPECT_EQ(ReadFile(dir_ / "old.txt"), c.expected) << c.accept;
    EXPECT_EQ(OverwriteWindow().shell, nullptr);
    EXPECT_TRUE(PopupsNamed("FileExistsShell").empty());
  }
}

TEST_F(FileSelectionTest, WindowManagerCloseIsCancel) {
  WriteFile(dir_ / "old.txt", "old\n");
  Open(SelectionMode::kExport, dir_.path());
  Type(dir_ / "old.txt");
  Press(FileSelectionWindow().accept);
  ASSERT_TRUE(OverwriteUp());
  SendWindowManagerClose(OverwriteWindow().shell);
  EXPECT_EQ(OverwriteWindow().shell, nullptr);
  EXPECT_EQ(ReadFile(dir_ / "old.txt"), "old\n");

  Open(SelectionMode::kExport, dir_.path());
  SendWindowManagerClose(FileSelectionWindow().shell);
  EXPECT_FALSE(SelectionUp());
  EXPECT_EQ(ReadFile(dir_ / "old.txt"), "old\n");
}

TEST_F(FileSelectionTest, TypedNewNameWritesAtOnce) {
  Note* empty = MakeNote("");
  struct Case {
    Note* note;
    const char* name;
    const char* expected;
  } cases[] = {{note_, "new.txt", "hello\nworld\n"}, {empty, "empty.txt", "\n"}};
  for (const Case& c : cases) {
    Open(SelectionMode::kExport, dir_.path(), c.note);
    Type(dir_ / c.name);
    Press(FileSelectionWindow().accept);
    Pump();
    EXPECT_EQ(ReadFile(dir_ / c.name), c.expected);
    EXPECT_FALSE(SelectionUp());
    EXPECT_EQ(OverwriteWindow().shell, nullptr);
  }
}

TEST_F(FileSelectionTest, DirectoryButtonsAndTypedDirectoriesRebuildTheWindow) {
  mkdir((dir_ / "sub").c_str(), 0755);
  WriteFile(dir_ / "sub/inner.txt", "");
  for (SelectionMode mode : {SelectionMode::kOpen, SelectionMode::kExport}) {
    Open(mode, dir_.path());
    Window first = XtWindow(FileSelectionWindow().shell);
    Point at = RootPosition(FileSelectionWindow().shell);
    Press(ButtonLabeled(FileSelectionWindow().dir_form, "sub"));
    Pump();
    ASSERT_TRUE(PumpUntil([] { return FileSelectionWindow().shell && IsMapped(FileSelectionWindow().shell); }));
    EXPECT_NE(XtWindow(FileSelectionWindow().shell), first);
    EXPECT_EQ(SelectionDirectory(), dir_ / "sub");
    EXPECT_EQ(Labels(FileSelectionWindow().file_form), std::vector<std::string>{"inner.txt"});
    EXPECT_EQ(PopupsNamed("FileSelectionShell").size(), 1u);
    Point again = RootPosition(FileSelectionWindow().shell);
    EXPECT_EQ(again.x, at.x);
    EXPECT_EQ(again.y, at.y);

    Press(ButtonLabeled(FileSelectionWindow().dir_form, ".."));
    Pump();
    EXPECT_EQ(SelectionDirectory(), dir_.path());

    // A typed directory and Accept: the window is built for it, in both modes.
    Type(dir_ / "sub");
    Press(FileSelectionWindow().accept);
    Pump();
    ASSERT_TRUE(SelectionUp());
    EXPECT_EQ(SelectionDirectory(), dir_ / "sub");
    EXPECT_EQ(TextOf(FileSelectionWindow().text), dir_ / "sub");
    EXPECT_EQ(PopupsNamed("FileSelectionShell").size(), 1u);
    Press(FileSelectionWindow().cancel);
    Pump();
    EXPECT_FALSE(SelectionUp());
  }
}

TEST_F(FileSelectionTest, ReopensWhereItStoodForTheSameNote) {
  Note* other = MakeNote("other");
  WarpPointer(120, 140);
  Open(SelectionMode::kExport, dir_.path());
  Point first = RootPosition(FileSelectionWindow().shell);
  EXPECT_EQ(first.x, 120);
  EXPECT_EQ(first.y, 140);
  Press(FileSelectionWindow().cancel);
  Pump();

  WarpPointer(600, 500);
  Open(SelectionMode::kOpen, dir_.path());
  Point same = RootPosition(FileSelectionWindow().shell);
  EXPECT_EQ(same.x, 120);
  EXPECT_EQ(same.y, 140);
  Press(FileSelectionWindow().cancel);
  Pump();

  Open(SelectionMode::kExport, dir_.path(), other);
  Point moved = RootPosition(FileSelectionWindow().shell);
  EXPECT_EQ(moved.x, 600);
  EXPECT_EQ(moved.y, 500);
}

TEST_F(FileSelectionTest, ADirectoryThatCannotBeListedOpensNoWindow) {
  StderrCapture err;
  std::string missing = dir_ / "missing";
  OpenFileSelector(note_, SelectionMode::kExport, missing);
  Pump();
  EXPECT_EQ(err.Text(), missing + ": No such file or directory\nstikkel: Can't open directory - " + missing + "\n");
  EXPECT_EQ(FileSelectionWindow().shell, nullptr);
  EXPECT_TRUE(PopupsNamed("FileSelectionShell").empty());
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Failed to get list of directories."});
}

TEST_F(FileSelectionTest, PathsTooLongAreRefused) {
  // A real directory whose path leaves room for short names only.
  std::string deep = dir_.path();
  while (deep.size() < 1000) {
    deep += "/" + std::string(std::min<std::size_t>(200, 1000 - deep.size()), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0) << deep;
  }
  const std::string long_name(1025 - deep.size(), 'n');
  ASSERT_EQ(mkdir((deep + "/" + long_name).c_str(), 0755), 0);
  WriteFile(deep + "/" + long_name + ".f", "");

  Open(SelectionMode::kExport, deep);
  Press(ButtonLabeled(FileSelectionWindow().dir_form, long_name));
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Path name too long! Max length: 1024\nPath name: " + deep + "\n"});
  EXPECT_TRUE(SelectionUp());
  DestroyPopupsNamed("ErrorShell");

  Press(ButtonLabeled(FileSelectionWindow().file_form, long_name + ".f"));
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"File name (" + long_name + ".f) is too long!"});
  EXPECT_EQ(ReadFile(deep + "/" + long_name + ".f"), "");
  EXPECT_TRUE(SelectionUp());
  DestroyPopupsNamed("ErrorShell");

  std::string typed(1025, 'x');
  Type(typed);
  Press(FileSelectionWindow().accept);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"File name (" + typed + ") is too long!"});
  EXPECT_TRUE(SelectionUp());
}

TEST_F(FileSelectionTest, OpenInsertsTheChosenFileAtTheInsertionPoint) {
  WriteFile(dir_ / "list.txt", "[from list]");
  WriteFile(dir_ / "typed.txt", "[typed]");
  XawTextSetInsertionPoint(NoteWidget(note_, "NoteText"), 5);  // after "hello"
  Open(SelectionMode::kOpen, dir_.path());
  Press(ButtonLabeled(FileSelectionWindow().file_form, "list.txt"));
  Pump();
  EXPECT_EQ(NoteText(note_), "hello[from list]\nworld");
  EXPECT_FALSE(SelectionUp());

  XawTextSetInsertionPoint(NoteWidget(note_, "NoteText"), 0);
  Open(SelectionMode::kOpen, dir_.path());
  Type(dir_ / "typed.txt");
  Press(FileSelectionWindow().accept);
  Pump();
  EXPECT_EQ(NoteText(note_), "[typed]hello[from list]\nworld");
  EXPECT_FALSE(SelectionUp());
  EXPECT_TRUE(ErrorMessages().empty());
  EXPECT_TRUE(note_->changed());
}

TEST_F(FileSelectionTest, OpenModeFileGoneSinceListing) {
  WriteFile(dir_ / "gone.txt", "x");
  Open(SelectionMode::kOpen, dir_.path());
  unlink((dir_ / "gone.txt").c_str());
  Press(ButtonLabeled(FileSelectionWindow().file_form, "gone.txt"));
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{dir_ / "gone.txt" + " does not exist!"});
  EXPECT_TRUE(SelectionUp());
  EXPECT_EQ(NoteText(note_), "hello\nworld");
}

TEST_F(FileSelectionTest, OpenModeMissingFileKeepsTheWindow) {
  Open(SelectionMode::kOpen, dir_.path());
  Type(dir_ / "missing.txt");
  Press(FileSelectionWindow().accept);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{dir_ / "missing.txt" + " does not exist!"});
  EXPECT_TRUE(SelectionUp());
}

TEST_F(FileSelectionTest, ExportThatCannotOpenTheFile) {
  StderrCapture err;
  Open(SelectionMode::kExport, dir_.path());
  std::string path = dir_ / "no/such/out.txt";
  Type(path);
  Press(FileSelectionWindow().accept);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't open " + path + " for writing!"});
  EXPECT_EQ(err.Text(), "stikkel: " + path + ": No such file or directory\n");
  EXPECT_FALSE(SelectionUp());
}

TEST_F(FileSelectionTest, ExportThatCannotWriteIsNeverSuccess) {
  // A full disk: the confirmation's Accept reports the failed write.
  StderrCapture err;
  Open(SelectionMode::kExport, dir_.path());
  Type("/dev/full");
  Press(FileSelectionWindow().accept);
  ASSERT_TRUE(OverwriteUp());
  Press(OverwriteWindow().accept);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't write /dev/full!"});
  EXPECT_EQ(err.Text(), "stikkel: /dev/full: No space left on device\n");
  DestroyPopupsNamed("ErrorShell");

  // A file that may not grow: the export through a file button and its
  // confirmation fails, and the old text stays.
  WriteFile(dir_ / "small.txt", "old");
  StderrCapture err2;
  Open(SelectionMode::kExport, dir_.path());
  Press(ButtonLabeled(FileSelectionWindow().file_form, "small.txt"));
  ASSERT_TRUE(OverwriteUp());
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny{4, saved.rlim_max};
  setrlimit(RLIMIT_FSIZE, &tiny);
  Press(OverwriteWindow().accept);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  Pump();
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{"Can't write " + (dir_ / "small.txt") + "!"});
  EXPECT_EQ(err2.Text(), "stikkel: " + (dir_ / "small.txt") + ": File too large\n");
  EXPECT_EQ(ReadFile(dir_ / "small.txt"), "old");
}

}  // namespace
