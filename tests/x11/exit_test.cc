// The ways into the exit request: signals and X protocol errors reach the
// main loop and put up the save prompt when a note has changes and notes
// are not saved unasked. (With nothing to save the program ends at once:
// that is tried end to end.)
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>

#include <csignal>

#include "app/app.h"
#include "frame/signals.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

TEST(ExitRequest, SignalsAndXErrorsPutUpTheSavePrompt) {
  ProgramStateGuard program_state;
  program.res.saveNotes = False;
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  CreateNoteWindow(note);
  note->MarkChanged();
  InstallExitHandlers(false);
  WarpPointer(250, 260);

  raise(SIGHUP);
  ASSERT_TRUE(PumpUntil([] { return PopupNamed("SOEShell") != nullptr && IsMapped(PopupNamed("SOEShell")); }, 2000));
  Widget first = PopupNamed("SOEShell");
  EXPECT_EQ(first->core.x, 250);
  EXPECT_EQ(LabelOf(XtNameToWidget(first, "SOEForm.SOELabel")), "Save Changed Notes?");

  // A request on a window that does not exist: an X protocol error.
  XMapWindow(program.display, 0x3fffff);
  ASSERT_TRUE(PumpUntil([&] { return PopupNamed("SOEShell") != first && PopupNamed("SOEShell") != nullptr; }, 2000));
  EXPECT_EQ(PopupsNamed("SOEShell").size(), 2u) << "every request makes a new prompt";

  DestroyPopupsNamed("SOEShell");
  signal(SIGHUP, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGQUIT, SIG_DFL);
}

}  // namespace
