// The UTF-8 name of a window for window managers that read it
// (_NET_WM_NAME). The toolkit writes WM_NAME from a shell's title in the
// locale's encoding (STRING or COMPOUND_TEXT); _NET_WM_NAME holds the title
// as UTF-8 as it is.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

// Sets _NET_WM_NAME of the shell's window to utf8_title (UTF8_STRING), or
// deletes it when the title is not valid UTF-8. Does nothing while the
// shell has no window.
void SetUtf8WindowName(Widget shell, const std::string& utf8_title);

// Publishes the realized shell's title (UTF-8 bytes) as its _NET_WM_NAME now
// and again whenever the toolkit rewrites WM_NAME, that is whenever the
// title is set: each change of the title reaches both names.
void FollowTitleWithUtf8Name(Widget shell);
