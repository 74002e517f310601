// The help and version requests, answered from the command line alone,
// before any display is opened.
#pragma once

#include <string>

#include "storage/remote_command.h"

enum class EarlyRequest { kNone, kHelp, kVersion };

// What the command line asks for: help (-help, -?, --help, -h, or a unique
// abbreviation of -help), else the version (-version), else nothing. Words
// are read as the toolkit reads them, so a value such as the "-help" in
// "-dir -help" is a value, not a request. argv is left as it is.
EarlyRequest EarlyRequestOf(int argc, const char* const* argv);

// The command to the stikkel running on the note directory that the command
// line gives (-new, -new -text TEXT, -toggle, -raise, -quit), read as
// EarlyRequestOf reads words; command kNone when it gives none. False, with
// *err the line to print, for a combination that makes no sense: two
// commands, -text without -new or without its text, a text longer than a
// note holds.
bool CommandOf(int argc, const char* const* argv, RemoteRequest* request, std::string* err);

// The help text and the version output on standard output.
void PrintHelp();
void PrintVersion();
