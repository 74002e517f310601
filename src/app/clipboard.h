// Text widgets and the clipboard of today's programs.
#pragma once

#include <X11/Intrinsic.h>

// Text selected with the mouse becomes the CLIPBOARD as well as the
// PRIMARY selection, and Shift+Insert or Ctrl+Shift+V paste the CLIPBOARD
// at the insertion point through paste_action (Athena's insert-selection,
// or an action that takes the same arguments). Every other key and button
// stays as bound before (the Emacs keys; button 2 pastes the PRIMARY
// selection).
void UseClipboard(Widget text, const char* paste_action = "insert-selection");
