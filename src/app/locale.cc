#include "app/locale.h"

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/display_dpi.h"
#include "app/embedded.h"
#include "model/text_scale.h"

namespace {

bool utf8_notes = false;
std::string international_lines;

bool CodesetIsUtf8() {
  std::string codeset = nl_langinfo(CODESET);
  for (char& c : codeset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return codeset == "utf-8" || codeset == "utf8";
}

// The toolkit's language procedure, called when the display is opened. The
// locale is set already; this checks that Xlib can work in it (else the
// program goes on in the C locale) and reads XMODIFIERS for the input method.
String LanguageProc(Display*, String, XtPointer) {
  if (!XSupportsLocale()) {
    XtWarning("stikkel: Xlib does not support the locale; using the C locale");
    std::setlocale(LC_CTYPE, "C");
    utf8_notes = false;
  } else if (!XSetLocaleModifiers("")) {
    XtWarning("stikkel: X locale modifiers (XMODIFIERS) not supported");
  }
  return std::setlocale(LC_CTYPE, nullptr);
}

}  // namespace

bool LocaleNameIsUtf8(const std::string& name) {
  std::size_t dot = name.find('.');
  if (dot == std::string::npos) return false;
  std::string codeset = name.substr(dot + 1, name.find('@', dot) - dot - 1);
  for (char& c : codeset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return codeset == "utf-8" || codeset == "utf8";
}

std::string CtypeLocaleFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "";
}

bool ChooseLocale() {
  utf8_notes = false;
  bool set = std::setlocale(LC_CTYPE, "") != nullptr;
  if (!set && LocaleNameIsUtf8(CtypeLocaleFromEnvironment()))
    set = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
  if (!set || !CodesetIsUtf8()) {
    std::setlocale(LC_CTYPE, "C");
    return false;
  }
  utf8_notes = true;
  XtSetLanguageProc(nullptr, LanguageProc, nullptr);
  return true;
}

bool Utf8Notes() { return utf8_notes; }

void AddInternationalResources() {
  if (!utf8_notes) return;
  // On a screen of high resolution the font sets ask for larger fonts.
  international_lines = ScaleFontNames(kInternationalResourcesText, InternationalWidgetScale());
  XrmDatabase lines = XrmGetStringDatabase(international_lines.c_str());
  XrmDatabase database = XtDatabase(program.display);
  // False: an entry the database has already, with the same specifier, wins.
  XrmCombineDatabase(lines, &database, False);
}

const std::string& InternationalResourceLines() { return international_lines; }

double InternationalWidgetScale() { return utf8_notes ? WidgetScale(DisplayDpi()) : 1.0; }
