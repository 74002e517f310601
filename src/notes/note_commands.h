// The Hide, Erase, Destroy, Anchor and UnAnchor commands of a note's Notes
// menu. Erase and Destroy ask through the Confirm popup first.
#pragma once

#include "model/note.h"

void HideNote(Note* note);
void EraseNote(Note* note);
void DestroyNote(Note* note);
void AnchorNote(Note* note);
void UnanchorNote(Note* note);
