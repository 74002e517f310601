// Pasting a selection into a note's text: the program's own action,
// paste-selection, bound where Athena binds insert-selection. It fetches the
// selection, hands the text to the note's text source as one edit and frees
// every byte it received, also when the source refuses the edit (Athena's
// insert-selection keeps what it received when its edit fails).
#pragma once

#include <X11/Intrinsic.h>

// Registers paste-selection (once) and binds it in the text widget's
// translations in place of Athena's insert-selection, with the same
// selections: the middle button and Shift+Insert paste PRIMARY, else
// CUT_BUFFER0; Ctrl+Y pastes SECONDARY; Ctrl+C pastes CUT_BUFFER0. Athena's
// other keys stay.
//
// paste-selection(selection...) tries the named selections in order (none:
// PRIMARY, CUT_BUFFER0) until one holds text, inserts that text at the caret
// and puts the caret after it. paste-over-selection(selection...) does the
// same, the text taking the place of the selected text when there is one.
void BindPasteSelection(Widget text);
