// Text widgets and the clipboard of today's programs.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

// The Athena key map: text selected with the mouse becomes the CLIPBOARD
// as well as the PRIMARY selection, and Shift+Insert or Ctrl+Shift+V paste
// the CLIPBOARD at the insertion point through paste_action (Athena's
// insert-selection, or an action that takes the same arguments). Every
// other key and button stays as bound before (the Emacs keys; button 2
// pastes the PRIMARY selection).
void UseClipboard(Widget text, const char* paste_action = "insert-selection");

// The text selected in a text widget: UTF-8 when the widget keeps wide
// characters (international mode), else its bytes. Empty when nothing is
// selected.
std::string SelectedText(Widget text);

// Makes the program the owner of the CLIPBOARD with a copy of text (UTF-8
// when utf8, else bytes of the C locale), from `time` on, until another
// program takes it or the program ends. False when the server refused.
bool CopyToClipboard(const std::string& text, bool utf8, Time time);
