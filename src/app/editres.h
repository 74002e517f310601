// editres support: lets the editres program inspect and tweak the widget
// tree of the running program.
#pragma once

#include <X11/Intrinsic.h>

// Makes a shell answer editres requests sent to its window. The request is
// served on behalf of toplevel, which outlives every other shell, so a reply
// still in transfer never refers to a shell destroyed meanwhile. An Athena
// VendorShell's own answer, which would refer to the shell itself, is taken
// away.
void AnswerEditres(Widget shell);
