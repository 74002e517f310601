// The keys of the program's text widgets (notes and one-line fields), as
// the keyMap resource chooses: the desktop map (key_map.h) or Athena's.
#pragma once

#include <X11/Intrinsic.h>

#include "app/key_map.h"

// The keyMap resource (class KeyMap), read once: desktop unless it says
// athena. Any other value is told once on standard error.
KeyMap CurrentKeyMap();

// Makes map the key map of the text widgets given keys from now on, in
// place of what the resource says.
void ChooseKeyMap(KeyMap map);

// Gives a text widget the keys of the current key map. In the Athena map
// that is UseClipboard(text, paste) (clipboard.h). In the desktop map the
// keys of DesktopTranslations with paste_over as the paste, the toolkit's
// undo, and a typed character replaces the selection; in a one-line field
// the keys that end the line (Return, Enter, Linefeed) leave it alone.
void UseKeyMap(Widget text, const char* paste, const char* paste_over, bool one_line);

// Undo and redo (the desktop map's, in note texts) take back the user's
// edits one by one; a text put in whole by the program (a reload of the
// source) ends that history, since the toolkit's undo cannot step over
// it. Call right after such a reload. Does nothing where undo is off.
void ForgetUndo(Widget text);
