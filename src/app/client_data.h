// Toolkit client data that carries an int (a note's id, a row of a dialog)
// instead of a pointer.
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

inline XtPointer IntClientData(int value) { return reinterpret_cast<XtPointer>(static_cast<intptr_t>(value)); }

inline int IntOfClientData(XtPointer data) { return static_cast<int>(reinterpret_cast<intptr_t>(data)); }
