// A note that took a version of its file another program wrote shows it in
// the window it has: the focus, the insertion point and keys typed
// meanwhile stay with it.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/ShellP.h>
#include <X11/StringDefs.h>

#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/outside_changes.h"
#include "storage/save.h"
#include "x11_util.h"

namespace {

class FileVersionTest : public testing::Test {
 protected:
  void SetUp() override { UseNoteSettings(Notes().settings().note_dir, 64); }
  // A note shown with "milk\n", as loaded from its file.
  Note* Loaded() {
    Note* note = Notes().NewNote(-1);
    note->name = "Groceries";
    note->text = "milk\n";
    note->width = 300;
    note->height = 200;
    note->x = 10;
    note->y = 20;
    note->has_geometry = true;
    CreateNoteWindow(note);
    EXPECT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
    WindowOf(note)->BuildMenusOnce();
    return note;
  }
  // What the other program wrote, taken by the note and shown.
  static void Take(Note* note, const std::string& name, const std::string& text, bool hidden = false) {
    Note theirs;
    theirs.name = name;
    theirs.text = text;
    theirs.width = 300;
    theirs.height = 200;
    theirs.x = 10;
    theirs.y = 20;
    theirs.hidden = hidden;
    theirs.anchored = true;
    TakeFileVersion(note, std::move(theirs), StoredFile(), 64);
    OutsideChanges outside;
    outside.taken.push_back(note);
    ShowOutsideChanges(&outside);
    Pump();
  }
  static std::string Title(Widget shell) {
    String title = nullptr;
    Arg arg;
    XtSetArg(arg, XtNtitle, &title);
    XtGetValues(shell, &arg, 1);
    return title ? title : "";
  }
  static bool Up(Widget shell) { return reinterpret_cast<ShellWidget>(shell)->shell.popped_up; }
  ProgramStateGuard program_state_;
};

TEST_F(FileVersionTest, TheWindowStaysAndShowsTheNewVersion) {
  Note* note = Loaded();
  Widget shell = NoteShell(note);
  NoteWindow* window = WindowOf(note);
  window->SetInsertionPoint(3);

  Take(note, "Groceries list", "milk\nbread\n");
  EXPECT_EQ(NoteShell(note), shell) << "the same window";
  EXPECT_EQ(WindowOf(note), window);
  EXPECT_EQ(NoteText(note), "milk\nbread\n");
  EXPECT_TRUE(note->text.empty()) << "the text source holds the text";
  EXPECT_EQ(window->InsertionPoint(), 3) << "the insertion point stays where it stood";
  EXPECT_EQ(Title(shell), "Groceries list");
  EXPECT_FALSE(note->changed());
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "UnAnchor"))) << "its flags show too";

  // Typed after: goes into the new text, at the insertion point.
  ASSERT_TRUE(window->InsertAtCaret("k"));
  EXPECT_EQ(NoteText(note), "milkk\nbread\n");
  EXPECT_TRUE(note->changed());
  note->MarkSaved();

  // Text added before the insertion point moves it along with what it
  // stands between.
  Take(note, "Groceries list", "eggs\nmilkk\nbread\n");
  EXPECT_EQ(window->InsertionPoint(), 9);
  ASSERT_TRUE(window->InsertAtCaret("x"));
  EXPECT_EQ(NoteText(note), "eggs\nmilkxk\nbread\n");
  note->MarkSaved();

  // A text that is all new puts it at its end.
  Take(note, "Groceries list", "y");
  EXPECT_EQ(window->InsertionPoint(), 1);

  // Hidden in the file: the window goes down; shown again: it comes up.
  Take(note, "Groceries list", "x", true);
  EXPECT_TRUE(note->hidden);
  EXPECT_FALSE(Up(shell));
  Take(note, "Groceries list", "z");
  EXPECT_EQ(NoteShell(note), shell);
  EXPECT_TRUE(Up(shell));
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  EXPECT_EQ(NoteText(note), "z");
}

}  // namespace
