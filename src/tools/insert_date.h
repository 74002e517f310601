// The Insert Date dialog: eleven date layouts, one chosen with its arrow
// button, inserted at the note's insertion point on Accept.
#pragma once

#include <X11/Intrinsic.h>

#include "model/note.h"

// The Insert Date... command: builds the dialog for the note and pops it up
// at the pointer. A click on a row's arrow marks it ">" and chooses the
// row (row 0 until then); Accept inserts the current date in the chosen
// layout at the note's insertion point and marks the note changed.
void OpenInsertDate(Note* note);
