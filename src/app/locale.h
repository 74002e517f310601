// The character set of the program, chosen from the user's locale before the
// toolkit starts. In a UTF-8 locale the toolkit runs in its international
// mode and notes hold UTF-8; in any other locale (C, POSIX, Latin-1 ones)
// the program works in single bytes, as it always has.
#pragma once

#include <string>

// Whether a locale name (a value of LC_ALL, LC_CTYPE or LANG) names the
// UTF-8 codeset: "C.UTF-8", "en_US.utf8", "de_DE.UTF-8@euro".
bool LocaleNameIsUtf8(const std::string& name);

// The locale the environment asks for character handling: LC_ALL, else
// LC_CTYPE, else LANG (the first that is set and not empty), else "".
std::string CtypeLocaleFromEnvironment();

// Takes the character handling (LC_CTYPE only: dates, numbers and messages
// stay as in the C locale) from the environment. When its codeset is UTF-8
// (a UTF-8 locale that is not installed falls back to C.UTF-8), installs the
// toolkit's language procedure, so that XtAppInitialize opens the display in
// that locale, and returns true. Otherwise puts LC_CTYPE back to "C" and
// returns false. Call before InitToolkit.
bool ChooseLocale();

// Whether notes hold UTF-8: ChooseLocale found a UTF-8 locale and Xlib
// supports it.
bool Utf8Notes();

// In UTF-8 mode: merges the resource lines of the international mode into
// the display's resource database, below everything already there. Call
// after InitToolkit; does nothing in any other locale.
void AddInternationalResources();

// The resource lines of the international mode as added: their font names
// made WidgetScale times larger on a screen of high resolution. Empty in
// any other locale.
const std::string& InternationalResourceLines();

// How much larger than at 96 dpi the widgets draw: WidgetScale of the
// display's resolution in a UTF-8 locale, 1 in any other (its look stays).
double InternationalWidgetScale();
