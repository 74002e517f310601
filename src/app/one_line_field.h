// One-line text fields: the path of the file selection window, the note's
// name, the e-mail address.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

// Makes a text widget a one-line field. Its text never wraps: the field
// scrolls sideways to keep the insertion point in view. Return, Enter,
// Linefeed, Ctrl-M, Ctrl-J and Ctrl-O call on_return(text, data, nullptr),
// or ring the bell when on_return is null; a line break that comes in any
// other way (a paste) is taken out again at once, as OneLine does. The
// field has the keys of a note (UseKeyMap), the CLIPBOARD among them.
void MakeOneLineField(Widget text, XtCallbackProc on_return, XtPointer data);

// The field's text, as one line.
std::string OneLineFieldText(Widget text);

// Makes text (UTF-8 in an international field) the field's text, with the
// insertion point at its end. An international field gets wide characters
// made here: the toolkit's own conversion keeps a copy of every string.
void SetOneLineFieldText(Widget field, const std::string& text);
