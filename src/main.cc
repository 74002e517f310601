// stikkel: sticky notes for the X Window System.
#include <cstdio>
#include <cstdlib>

#include <X11/Xaw/SimpleMenu.h>

#include "app/app.h"
#include "app/control_window.h"
#include "app/embedded.h"
#include "app/exit.h"
#include "app/main_menu.h"
#include "app/note_dir.h"
#include "model/note_list.h"
#include "notes/note_saving.h"
#include "tools/alarms.h"

int main(int argc, char** argv) {
  InstallOutOfMemoryHandler();
  bool interrupts_ignored = ProbeInterruptSignals();
  InitToolkit(&argc, argv);
  InstallExitHandlers(interrupts_ignored);
  if (app_res.help) {
    std::fputs(kHelpText, stdout);
    return 0;
  }
  if (app_res.version) {
    std::printf("stikkel+ v%s\n", STIKKEL_VERSION);
    std::puts("sticky notes for the X Window System, written for the X Toolkit and the Athena widgets.");
    std::puts("");
    return 0;
  }
  SanitizeResources();
  Notes().Configure({EnsureNoteDir(app_res.noteDir), static_cast<std::size_t>(app_res.bufSize)});
  CreateControlWindow();
  CreateMainMenu();
  XawSimpleMenuAddGlobalActions(app_context);
  XtRealizeWidget(main_menu);
  XtRealizeWidget(toplevel);
  ExitOnControlWindowClose();
  XFlush(display);
  LoadNotes();
  if (!app_res.noSave)
    XtAppAddTimeOut(app_context, static_cast<unsigned long>(autosave_period_ms), AutoSave, nullptr);
  if (!app_res.noAlarm) StartAlarmChecks();
  XtAppMainLoop(app_context);
  return 0;
}
