// Shell commands that run while the program goes on: the print and mail
// commands and the calendar. The main loop watches each one and calls back
// once it has ended, with its status and the start of its standard error.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tools/shell_command.h"

using CommandDone = std::function<void(const CommandResult&)>;

// Starts `sh -c script sh values...` (standard output on stdout_fd, or the
// program's own when -1) and returns at once. done runs from the main loop
// once the command has ended, or before this returns when it could not be
// started. temp_file, when not empty, is the command's temporary file: no
// other command gets it while this one runs (see TemporaryPathFor), and it
// is removed should the program end first.
void RunInBackground(const std::string& script, const std::vector<std::string>& values, int stdout_fd,
                     const std::string& temp_file, CommandDone done);

// base when no running command holds it, else the first of base.1,
// base.2, ... that none holds.
std::string TemporaryPathFor(const std::string& base);

// The number of commands still running (for tests).
std::size_t RunningCommandCount();
