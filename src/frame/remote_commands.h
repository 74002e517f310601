// The commands a second stikkel hands the running one.
#pragma once

#include "storage/remote_command.h"

// Carries out a command of the command line or of a second stikkel: -raise
// raises all notes, -new opens a new note (with its text), -toggle hides
// or shows all notes, -quit ends the program as Exit does with -sv.
void RunRemoteCommand(const RemoteRequest& request);
