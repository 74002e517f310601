// How note files are written and read in this run, as the X layer knows it.
#pragma once

#include "storage/note_file.h"

// The screen's size in pixels, as note files record it.
ScreenSize CurrentScreen();

// How note files are read in this run: the current screen, the
// compatibility resource, and whether notes hold UTF-8.
NoteFileReadOptions ReadOptions();
