// The help and version requests, answered from the command line alone,
// before any display is opened.
#pragma once

enum class EarlyRequest { kNone, kHelp, kVersion };

// What the command line asks for: help (-help, -?, --help, -h, or a unique
// abbreviation of -help), else the version (-version), else nothing. Words
// are read as the toolkit reads them, so a value such as the "-help" in
// "-dir -help" is a value, not a request. argv is left as it is.
EarlyRequest EarlyRequestOf(int argc, const char* const* argv);

// The help text and the version output on standard output.
void PrintHelp();
void PrintVersion();
