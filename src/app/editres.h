// editres support: lets the editres program inspect and tweak the widget
// tree of the running program.
#pragma once

#include <X11/Intrinsic.h>

// Makes a shell that is no VendorShell (the Athena VendorShell answers by
// itself) answer editres requests sent to its window. The request is served
// on behalf of toplevel, which outlives every other shell, so a reply still
// in transfer never refers to a shell destroyed meanwhile.
void AnswerEditres(Widget shell);
