// Input methods for text typed into note windows in the UTF-8 mode.
#pragma once

#include <X11/Intrinsic.h>

// Arguments for a VendorShell that opens no input method when it is
// realized. Each open input method costs a few milliseconds and about half
// a megabyte (it reads the compose table), which at hundreds of notes would
// dwarf the rest of start-up; most notes are never typed into.
void DeferInputMethod(Arg* args, Cardinal* n);

// Opens the input method of a shell made with DeferInputMethod the first
// time the user may type into it: when it gets the keyboard focus, or at
// the first key or button press on `text` (with focus following the
// pointer no FocusIn need come before the keys). Call after realizing.
void OpenInputMethodWhenUsed(Widget shell, Widget text);
