// Process-wide state of stikkel (Program): the toolkit handles, the screen
// size and the configuration read from X resources and the command line at
// start-up.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

// The configuration record, filled once by XtGetApplicationResources.
struct AppResources {
  int bufSize;
  String noteDir;  // as configured; EnsureNoteDir gives the absolute form
  int interval;
  Boolean scrollBar;
  Boolean saveNotes;
  Boolean compatibility;
  Boolean noSave;
  Boolean noAlarm;
  Boolean help;
  Boolean version;
  int nameWidth;
  int anchorOffset;
  String tmpDir;
  String printCmd;
  String calendarCmd;
  String emailCmd;
  String homeDir;  // may be null
  String newNoteSize;  // "HxW" in inches: the size of -new's and Ctrl+N's notes
};

// The program's state in one place: the configuration and the toolkit's
// handles, set once at start-up by InitToolkit and SanitizeResources.
struct Program {
  AppResources res{};
  XtAppContext app_context = nullptr;
  Widget toplevel = nullptr;
  Display* display = nullptr;
  // The screen's size in pixels.
  int screen_width = 0;
  int screen_height = 0;
  // Auto-save period in milliseconds (interval minutes); read by AutoSave.
  long autosave_period_ms = 0;
};

extern Program program;

// Alarm check period in milliseconds; read by CheckAlarms.
constexpr unsigned long kAlarmCheckPeriodMs = 60000;

constexpr const char* kAppClass = "Kleebord";

// The program's own command-line options (the toolkit adds its standard ones).
const XrmOptionDescRec* ProgramOptions(Cardinal* count);

// Initialises the toolkit under the class Kleebord with the program's option
// table and fallback resources (removing parsed words from argv), records the
// display and the screen size, and fetches the application resources.
void InitToolkit(int* argc, char** argv);

// Puts interval and bufSize into a usable range, warning on standard error
// about each value replaced; sets autosave_period_ms.
void SanitizeResources();
