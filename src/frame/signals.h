// The signals and X errors that lead to the exit request, and the end of
// the program when the display connection is lost.
#pragma once

// Sets SIGQUIT (and, unless it was ignored, SIGINT) to be ignored and
// reports whether the interrupts were ignored before the program started.
bool ProbeInterruptSignals();

// Installs handlers that lead to RequestExit for SIGTERM and SIGHUP, and for
// SIGINT and SIGQUIT unless interrupts_ignored; an X error handler that does
// the same; and an I/O error handler that writes every changed note from
// memory when the display connection is lost. The handlers only wake the
// main loop; RequestExit runs there.
void InstallExitHandlers(bool interrupts_ignored);
