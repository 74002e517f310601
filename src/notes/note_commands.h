// The Hide, Erase, Destroy, Anchor and UnAnchor commands of a note's Notes
// menu. Erase and Destroy ask through the Confirm popup first.
#pragma once

#include <string>

#include "model/note.h"

void HideNote(Note* note);
void EraseNote(Note* note);
void DestroyNote(Note* note);
void AnchorNote(Note* note);
void UnanchorNote(Note* note);

// The questions of the Confirm popup for Erase and Destroy of the note of
// this name.
std::string EraseQuestion(const std::string& name);
std::string DestroyQuestion(const std::string& name);
