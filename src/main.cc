// stikkel: sticky notes for the X Window System.

#include <X11/Xaw/SimpleMenu.h>

#include "app/app.h"
#include "app/early_options.h"
#include "app/locale.h"
#include "app/note_dir.h"
#include "app/report.h"
#include "frame/all_notes.h"
#include "frame/control_window.h"
#include "frame/exit.h"
#include "frame/signals.h"
#include "frame/main_menu.h"
#include "frame/note_menus.h"
#include "frame/search_notes.h"
#include "frame/note_dir_watch.h"
#include "frame/remote_commands.h"
#include "frame/single_instance.h"
#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_keys.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "tools/alarms.h"

int main(int argc, char** argv) {
  // Help and version need no display: answered before the toolkit opens one.
  switch (EarlyRequestOf(argc, argv)) {
    case EarlyRequest::kHelp: PrintHelp(); return 0;
    case EarlyRequest::kVersion: PrintVersion(); return 0;
    case EarlyRequest::kNone: break;
  }
  // A command for the stikkel already running on the notes (-new, ...).
  RemoteRequest command;
  std::string command_error;
  if (!CommandOf(argc, argv, &command, &command_error)) {
    ReportOnStandardError(command_error);
    return 2;
  }
  InstallOutOfMemoryHandler();
  bool interrupts_ignored = ProbeInterruptSignals();
  // A UTF-8 locale starts the toolkit in its international mode.
  ChooseLocale();
  InitToolkit(&argc, argv);
  AddInternationalResources();
  InstallExitHandlers(interrupts_ignored);
  // Resource files can ask for them too.
  if (program.res.help) {
    PrintHelp();
    return 0;
  }
  if (program.res.version) {
    PrintVersion();
    return 0;
  }
  SanitizeResources();
  CheckNewNoteSize();
  Notes().Configure({EnsureNoteDir(program.res.noteDir), static_cast<std::size_t>(program.res.bufSize)});
  TakeNoteDirLock(Notes().settings().note_dir, command);
  CreateControlWindow();
  Widget main_menu = CreateMainMenu();
  XawSimpleMenuAddGlobalActions(program.app_context);
  XtRealizeWidget(main_menu);
  XtRealizeWidget(program.toplevel);
  AnnounceNoteDirLock(RunRemoteCommand);
  ExitOnControlWindowClose();
  XFlush(program.display);
  InstallNoteMenus();
  NoteKeyCommands keys;
  keys.new_note = [] { NewNoteForTyping(""); };
  keys.search_all_notes = OpenNoteSearch;
  keys.save_note = [](Widget w) {
    if (Note* note = NoteOfWidget(w)) SaveNote(note);
  };
  keys.hide_note = [](Widget w) {
    if (Note* note = NoteOfWidget(w)) HideNote(note);
  };
  SetNoteKeyCommands(keys);
  WatchNoteDir();
  LoadNotes();
  // -new with no stikkel running: this one opens the note.
  if (command.command == RemoteCommand::kNew) RunRemoteCommand(command);
  if (!program.res.noSave) StartAutoSave();
  if (!program.res.noAlarm) StartAlarmChecks();
  XtAppMainLoop(program.app_context);
  return 0;
}
