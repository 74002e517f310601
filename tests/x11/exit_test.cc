// The ways into the exit request: signals and X protocol errors reach the
// main loop and put up the save prompt when a note has changes and notes
// are not saved unasked. (With nothing to save the program ends at once:
// that is tried end to end.)
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/CompositeP.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/app.h"
#include "frame/exit.h"
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

TEST(ExitRequest, CancelTakesTheExitBack) {
  ProgramStateGuard program_state;
  program.res.saveNotes = False;
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  CreateNoteWindow(note);
  note->MarkChanged();
  RequestExit();
  Widget prompt = PopupNamed("SOEShell");
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(prompt); }));
  // Yes, No and Cancel, in a row left to right under the question.
  auto* form = reinterpret_cast<CompositeWidget>(XtNameToWidget(prompt, "SOEForm"));
  std::vector<Widget> buttons;
  for (Cardinal i = 0; i < form->composite.num_children; ++i)
    if (std::string(XtName(form->composite.children[i])) == "SOEButtons") buttons.push_back(form->composite.children[i]);
  ASSERT_EQ(buttons.size(), 3u);
  EXPECT_EQ(LabelOf(buttons[0]), "Yes");
  EXPECT_EQ(LabelOf(buttons[1]), "No");
  EXPECT_EQ(LabelOf(buttons[2]), "Cancel");
  EXPECT_LT(buttons[0]->core.x, buttons[1]->core.x);
  EXPECT_LT(buttons[1]->core.x, buttons[2]->core.x);
  EXPECT_EQ(buttons[1]->core.y, buttons[2]->core.y);
  Press(buttons[2]);
  Pump();
  EXPECT_TRUE(PopupsNamed("SOEShell").empty());
  EXPECT_TRUE(note->changed()) << "the note keeps its changes, to be saved";
  // Another Exit asks again.
  RequestExit();
  ASSERT_NE(PopupNamed("SOEShell"), nullptr);
  DestroyPopupsNamed("SOEShell");
}

}  // namespace
