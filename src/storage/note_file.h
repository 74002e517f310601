// The note file format (X-free): one note per file, a header line with the
// magic word and fourteen numbers, the name line, then the text bytes.
#pragma once

#include <string>
#include <string_view>

#include "model/note.h"

constexpr const char* kNoteMagic = "%%!!<tackonnote>";
constexpr const char* kOldNoteMagic = "%!<tackonnote>";
constexpr int kDefaultNoteHeight = 169;
constexpr int kDefaultNoteWidth = 227;

struct ScreenSize {
  int width = 0;
  int height = 0;
};

struct NoteFileReadOptions {
  bool compatibility = false;  // also accept the older format
  ScreenSize screen;           // the current screen, for rescaling positions
};

// What a note file says besides the note itself.
struct NoteFileInfo {
  // Read from the older format, which has no anchor and no alarm.
  bool older_format = false;
  // The length the header states; the text may be shorter when the file is.
  long stated_length = 0;
  // The screen the file was written on.
  ScreenSize screen;
};

// Reads a note from a file's bytes into the record: name, text, place,
// size, hidden and, from the current format, anchored and the alarm (the
// older format leaves the note unanchored and its alarm disarmed at the
// time it had). Returns false, changing nothing, when the bytes are not a
// note. Positions are rescaled to the current screen; a zero height or
// width gives the default size. info, when given, gets what the file says
// besides.
bool ReadNoteFile(std::string_view bytes, const NoteFileReadOptions& options, Note* note,
                  NoteFileInfo* info = nullptr);

// The bytes of a note file in the current format for the note's record,
// written on a screen of the given size. The size is the window's when it
// is known. The text is written up to its first NUL.
std::string FormatNoteFile(const Note& note, ScreenSize screen);

// The id a note file's name gives: the characters after "note" read as a
// decimal integer the way atoi does (0 when no digit follows).
int NoteIdFromFileName(std::string_view file_name);

// Whether a directory entry is a candidate note file (its name starts with "note").
bool IsNoteFileName(std::string_view file_name);
