// Saving asks the X server where a note stands only when its window may have
// moved: an idle auto-save pass over unmoved notes costs no round trip.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/note_saving.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

class SaveQueriesTest : public testing::Test {
 protected:
  void SetUp() override {
    UseNoteSettings(dir_.path(), 1024);
  }
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }
  Note* Shown(int x, int y) { return ShowNoteAt(x, y, "text"); }
  void Move(Note* note, int x, int y) {
    XMoveWindow(program.display, XtWindow(NoteShell(note)), x, y);
    // Pumped until the program has taken the notice of the move in.
    ASSERT_TRUE(PumpUntil([&] {
      XWindowAttributes a;
      XGetWindowAttributes(program.display, XtWindow(NoteShell(note)), &a);
      return a.x == x && a.y == y;
    }));
    Pump();
  }
  // Requests SaveAllNotes sent to the X server. Some go out through XCB
  // beside Xlib: a flush brings Xlib's count of requests up to date.
  unsigned long RequestsOfOnePass() {
    XFlush(program.display);
    unsigned long before = NextRequest(program.display);
    SaveAllAndWait(false);
    XFlush(program.display);
    return NextRequest(program.display) - before;
  }
  bool Written(const Note* note) { return std::filesystem::exists(dir_ / ("note" + std::to_string(note->id))); }
  TempDir dir_;
  ProgramStateGuard program_state_;
};

TEST_F(SaveQueriesTest, PassOverUnmovedNotesSendsNoRequest) {
  Note* a = Shown(40, 60);
  Note* b = Shown(400, 60);
  Note* c = Shown(40, 400);
  EXPECT_GT(RequestsOfOnePass(), 0u) << "new windows: the first pass asks where they stand";
  Pump();
  EXPECT_EQ(RequestsOfOnePass(), 0u);
  EXPECT_EQ(RequestsOfOnePass(), 0u);
  for (Note* n : {a, b, c}) EXPECT_FALSE(Written(n)) << n->id;
}

TEST_F(SaveQueriesTest, MovedNoteIsAskedForAndWrittenAgainAfterAQuietPass) {
  Note* still = Shown(40, 60);
  Note* mover = Shown(400, 60);
  RequestsOfOnePass();
  Pump();
  ASSERT_EQ(RequestsOfOnePass(), 0u);

  Move(mover, 300, 310);
  EXPECT_GT(RequestsOfOnePass(), 0u);
  ASSERT_TRUE(Written(mover));
  EXPECT_EQ(ReadFile(dir_ / ("note" + std::to_string(mover->id))).substr(0, 25), "%%!!<tackonnote> 300 310 ");
  EXPECT_FALSE(Written(still));
  Pump();
  EXPECT_EQ(RequestsOfOnePass(), 0u) << "written once; quiet again";

  // Moved back to where it was saved from, and moved once more: each move
  // is seen, whatever passes came between.
  Move(mover, 500, 520);
  Move(mover, 300, 310);
  RequestsOfOnePass();
  Pump();
  Move(mover, 610, 20);
  SaveAllAndWait(false);
  EXPECT_EQ(ReadFile(dir_ / ("note" + std::to_string(mover->id))).substr(0, 24), "%%!!<tackonnote> 610 20 ");
}

TEST_F(SaveQueriesTest, EditedNoteIsWrittenWithoutAMove) {
  Note* note = Shown(40, 60);
  RequestsOfOnePass();
  Pump();
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view("more ", 5)));
  SaveAllAndWait(false);
  ASSERT_TRUE(Written(note));
  std::string bytes = ReadFile(dir_ / ("note" + std::to_string(note->id)));
  EXPECT_EQ(bytes.substr(0, 23), "%%!!<tackonnote> 40 60 ");
  EXPECT_EQ(bytes.substr(bytes.rfind('\n') + 1), "more text");
  EXPECT_FALSE(note->changed());
}

}  // namespace
