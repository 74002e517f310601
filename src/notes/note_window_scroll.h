// The vertical scroll bar of a note's text when the scrollBar resource is
// off: there only while the text is longer than its window.
#pragma once

#include <X11/Intrinsic.h>

// Shows the text widget's vertical scroll bar while some of its text lies
// outside the window (above or below) and takes it away once all of it is
// in view, after every change of the text and of the window's size.
// Athena's own XawtextScrollWhenNeeded never shows the bar for a text
// widget.
void ScrollBarWhenNeeded(Widget text);

// The mouse wheel (buttons 4 and 5) scrolls the text three lines a notch.
// The text wraps at the window's width: there is nothing to scroll
// sideways (buttons 6 and 7).
void ScrollWithWheel(Widget text);
