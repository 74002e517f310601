// The option table, the application resource table and the fallback
// resources, and the toolkit's initialisation with them.
#include <X11/StringDefs.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/embedded.h"

AppResources app_res;
XtAppContext app_context;
Widget toplevel;
Display* display;
int screen_width;
int screen_height;
long autosave_period_ms;

namespace {

XrmOptionDescRec options[] = {
    {const_cast<char*>("-bs"), const_cast<char*>(".bufSize"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-dir"), const_cast<char*>(".noteDir"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-interval"), const_cast<char*>(".interval"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-sb"), const_cast<char*>(".scrollBar"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-sv"), const_cast<char*>(".saveNotes"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-c"), const_cast<char*>(".compatibility"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-nw"), const_cast<char*>(".nameWidth"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-ns"), const_cast<char*>(".noSave"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-na"), const_cast<char*>(".noAlarm"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-help"), const_cast<char*>(".help"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-version"), const_cast<char*>(".version"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-?"), const_cast<char*>(".help"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-ao"), const_cast<char*>(".anchorOffset"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-tmpdir"), const_cast<char*>(".tmpDir"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-printcmd"), const_cast<char*>(".printCmd"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-calendarcmd"), const_cast<char*>(".calendarCmd"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-emailcmd"), const_cast<char*>(".emailCmd"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-homedir"), const_cast<char*>(".homeDir"), XrmoptionSepArg, nullptr},
};

#define RES(name, cls, type, field, deftype, def)                                        \
  {const_cast<char*>(name), const_cast<char*>(cls), const_cast<char*>(type),             \
   sizeof(AppResources::field), offsetof(AppResources, field), const_cast<char*>(deftype), \
   (XtPointer)(def)}

XtResource resources[] = {
    RES("bufSize", "BufSize", XtRInt, bufSize, XtRImmediate, 1024),
    RES("noteDir", "NoteDir", XtRString, noteDir, XtRString, ".tackonnotes"),
    RES("interval", "Interval", XtRInt, interval, XtRImmediate, 10),
    RES("saveNotes", "SaveNotes", XtRBoolean, saveNotes, XtRImmediate, False),
    RES("scrollBar", "Scroll", XtRBoolean, scrollBar, XtRImmediate, False),
    RES("compatibility", "Compatibility", XtRBoolean, compatibility, XtRImmediate, False),
    RES("nameWidth", "NameWidth", XtRInt, nameWidth, XtRImmediate, 10),
    RES("noSave", "NoSave", XtRBoolean, noSave, XtRImmediate, False),
    RES("noAlarm", "NoAlarm", XtRBoolean, noAlarm, XtRImmediate, False),
    RES("help", "Help", XtRBoolean, help, XtRImmediate, False),
    RES("version", "Version", XtRBoolean, version, XtRImmediate, False),
    RES("anchorOffset", "AnchorOffset", XtRInt, anchorOffset, XtRImmediate, 15),
    RES("tmpDir", "TmpDir", XtRString, tmpDir, XtRString, "/tmp"),
    RES("printCmd", "PrintCmd", XtRString, printCmd, XtRString, "lpr %s"),
    RES("calendarCmd", "CalendarCmd", XtRString, calendarCmd, XtRString, "cal"),
    RES("emailCmd", "EmailCmd", XtRString, emailCmd, XtRString, "mail -s\"%s\" %s"),
    RES("homeDir", "HomeDir", XtRString, homeDir, XtRString, nullptr),
};
#undef RES

}  // namespace

const XrmOptionDescRec* ProgramOptions(Cardinal* count) {
  *count = XtNumber(options);
  return options;
}
void InitToolkit(int* argc, char** argv) {
  static std::vector<char*> fallback;
  if (fallback.empty()) {
    for (const std::string& line : FallbackLines()) fallback.push_back(const_cast<char*>(line.c_str()));
    fallback.push_back(nullptr);
  }
  toplevel = XtAppInitialize(&app_context, kAppClass, options, XtNumber(options), argc, argv,
                             fallback.data(), nullptr, 0);
  display = XtDisplay(toplevel);
  screen_width = DisplayWidth(display, DefaultScreen(display));
  screen_height = DisplayHeight(display, DefaultScreen(display));
  XtGetApplicationResources(toplevel, &app_res, resources, XtNumber(resources), nullptr, 0);
}

void SanitizeResources() {
  constexpr int kMaxInterval = INT_MAX / 60000;
  if (app_res.interval < 1 || app_res.interval > kMaxInterval) {
    std::fprintf(stderr, "stikkel: interval %d is out of range (1..%d); using 10 minutes\n",
                 app_res.interval, kMaxInterval);
    app_res.interval = 10;
  }
  autosave_period_ms = static_cast<long>(app_res.interval * 60000);
  if (app_res.bufSize < 2) {
    std::fprintf(stderr, "stikkel: buffer size %d is too small; using 1024 bytes\n", app_res.bufSize);
    app_res.bufSize = 1024;
  }
}
