#include "frame/remote_commands.h"

#include <string>

#include "app/app.h"
#include "frame/all_notes.h"
#include "frame/exit.h"

void RunRemoteCommand(const RemoteRequest& request) {
  switch (request.command) {
    case RemoteCommand::kNone: break;
    case RemoteCommand::kRaise: RaiseAllNotes(); break;
    case RemoteCommand::kNew: NewNoteForTyping(request.has_text ? request.text : std::string()); break;
    case RemoteCommand::kToggle: ToggleAllNotes(); break;
    case RemoteCommand::kQuit: {
      // As Exit with -sv: changed notes are saved without asking. When a
      // save fails the program stays up with its popup, as it was set.
      Boolean save_notes = program.res.saveNotes;
      program.res.saveNotes = True;
      RequestExit();
      program.res.saveNotes = save_notes;
      break;
    }
  }
}
