// The option table, the application resource table and the fallback
// resources, and the toolkit's initialisation with them.
#include <X11/StringDefs.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/embedded.h"
#include "app/locale.h"
#include "app/number_option.h"
#include "app/report.h"
#include "model/text_scale.h"

Program program;

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
    // Commands to the stikkel already running on the note directory. They are
    // read from the command line alone (app/early_options), never from a
    // resource file; the table only takes them, and -text's value, off argv.
    {const_cast<char*>("-new"), const_cast<char*>(".commandNew"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-text"), const_cast<char*>(".commandText"), XrmoptionSepArg, nullptr},
    {const_cast<char*>("-toggle"), const_cast<char*>(".commandToggle"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-raise"), const_cast<char*>(".commandRaise"), XrmoptionNoArg, const_cast<char*>("true")},
    {const_cast<char*>("-quit"), const_cast<char*>(".commandQuit"), XrmoptionNoArg, const_cast<char*>("true")},
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
    RES("newNoteSize", "NewNoteSize", XtRString, newNoteSize, XtRString, "3x5"),
};

// The numeric settings once more, as the text the user wrote, so that a
// value the toolkit's conversion would wrap around is caught and quoted.
struct NumberTexts {
  String bufSize;
  String interval;
  String nameWidth;
  String anchorOffset;
};

#define TEXT(name, cls, field) \
  {const_cast<char*>(name), const_cast<char*>(cls), const_cast<char*>(XtRString), sizeof(String), \
   offsetof(NumberTexts, field), const_cast<char*>(XtRImmediate), nullptr}

XtResource number_texts[] = {
    TEXT("bufSize", "BufSize", bufSize),
    TEXT("interval", "Interval", interval),
    TEXT("nameWidth", "NameWidth", nameWidth),
    TEXT("anchorOffset", "AnchorOffset", anchorOffset),
};
#undef TEXT
#undef RES

NumberTexts number_text_values;

// Replaces *field by the number the text gives, when the user gave one.
void CheckNumber(const NumberOption& option, const char* text, int* field) {
  if (!text) return;
  long value = 0;
  std::string message;
  ReadNumberOption(option, text, &value, &message);
  ReportOnStandardErrorAsIs(message);
  *field = static_cast<int>(value);
}

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
  program.toplevel = XtAppInitialize(&program.app_context, kAppClass, options, XtNumber(options), argc, argv,
                                     fallback.data(), nullptr, 0);
  program.display = XtDisplay(program.toplevel);
  program.screen_width = DisplayWidth(program.display, DefaultScreen(program.display));
  program.screen_height = DisplayHeight(program.display, DefaultScreen(program.display));
  XtGetApplicationResources(program.toplevel, &program.res, resources, XtNumber(resources), nullptr, 0);
  XtGetApplicationResources(program.toplevel, &number_text_values, number_texts, XtNumber(number_texts), nullptr, 0);
}

void SanitizeResources() {
  constexpr long kMaxInterval = INT_MAX / 60000;
  const NumberTexts& t = number_text_values;
  CheckNumber({"buffer size", 2, INT_MAX, 1024, "bytes"}, t.bufSize, &program.res.bufSize);
  CheckNumber({"interval", 1, kMaxInterval, 10, "minutes"}, t.interval, &program.res.interval);
  CheckNumber({"character width", INT_MIN, INT_MAX, 10, "pixels"}, t.nameWidth, &program.res.nameWidth);
  // Unless the user set it, a character's width follows the widgets' fonts.
  if (!t.nameWidth) program.res.nameWidth = Scaled(program.res.nameWidth, InternationalWidgetScale());
  CheckNumber({"anchor offset", INT_MIN, INT_MAX, 15, "pixels"}, t.anchorOffset, &program.res.anchorOffset);
  program.autosave_period_ms = static_cast<long>(program.res.interval) * 60000;
}
