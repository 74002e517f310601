// The one place the program tells the user that something failed. The
// X-free core only returns what failed (false and the text); the X layer
// hands that text here, once, and this decides where it goes.
#pragma once

#include <string>

// A failure: shown in an error popup while the program has its windows,
// otherwise (before the toolkit is up) "stikkel: <message>" on standard
// error.
void ReportError(const std::string& message);

// A failed call on a file: ReportError(message), and the call in the
// system's words ("<file>: <system's text>", when not empty) as
// "stikkel: <detail>" on standard error, where it stays after the popup
// is gone.
void ReportFileFailure(const std::string& message, const std::string& detail);

// What has no window to be shown in (start-up, the lost display, the
// exit): each line of text as "stikkel: <line>" on standard error.
void ReportOnStandardError(const std::string& text);

// Text already in the form it is told in (whole lines, or a note's text
// that could be put nowhere else), on standard error byte for byte.
void ReportOnStandardErrorAsIs(const std::string& text);
