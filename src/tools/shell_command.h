// Shell commands built from configured printf-like formats. The values the
// program fills in reach the shell as positional parameters, never as
// command text, so no value is ever run as shell code.
#pragma once

#include <string>
#include <vector>

// Turns a printf-like format into shell command text. The i-th "%s" (counted
// from 0) becomes a reference to the positional parameter first_param + i:
// "${N}" inside double quotes, '"${N}"' inside single quotes and "${N}" in
// double quotes elsewhere, so each value stays one word of data. "%%" becomes
// a literal "%"; any other conversion is kept as written and takes no value.
// With "lpr %s" and first_param 1 the result is: lpr "${1}".
std::string ShellScriptFromFormat(const std::string& format, int first_param = 1);

// Runs `sh -c script sh values...` and waits for it as system() does:
// SIGCHLD blocked and SIGINT and SIGQUIT ignored meanwhile, restored in the
// child. When stdout_fd is not -1 it becomes the command's standard output.
// Returns the raw wait status (an exit status of 1 gives 256), or -1 when
// no process could be started.
int RunShellCommand(const std::string& script, const std::vector<std::string>& values,
                    int stdout_fd = -1);
