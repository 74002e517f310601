// The note file format (X-free): one note per file, a header line with the
// magic word and fourteen numbers, the name line, then the text bytes.
#pragma once

#include <string>
#include <string_view>

constexpr const char* kNoteMagic = "%%!!<tackonnote>";
constexpr const char* kOldNoteMagic = "%!<tackonnote>";
constexpr int kDefaultNoteHeight = 169;
constexpr int kDefaultNoteWidth = 227;
// Longest name a note file holds on its name line.
constexpr std::size_t kMaxNameLength = 1022;

struct NoteFileData {
  int x = 0;
  int y = 0;
  int height = 0;
  int width = 0;
  bool hidden = false;
  bool anchored = false;
  int screen_height = 0;
  int screen_width = 0;
  bool alarm_set = false;
  int alarm_month = 0;
  int alarm_day = 1;
  int alarm_hour = 0;
  int alarm_minute = 0;
  // Read from the older format, which has no anchor and no alarm: the
  // caller keeps its own alarm time.
  bool older_format = false;
  // The length the header states; text may be shorter when the file is.
  long stated_length = 0;
  std::string name;
  std::string text;
};

struct NoteFileReadOptions {
  bool compatibility = false;  // also accept the older format
  int screen_width = 0;        // the current screen, for rescaling positions
  int screen_height = 0;
};

// Reads a note from a file's bytes. Returns false when the bytes are not a
// note. Positions are rescaled to the current screen; a zero height or
// width gives the default size.
bool ReadNoteFile(std::string_view bytes, const NoteFileReadOptions& options, NoteFileData* note);

// The bytes of a note file in the current format. The text is written up to
// its first NUL.
std::string FormatNoteFile(const NoteFileData& note);

// The id a note file's name gives: the characters after "note" read as a
// decimal integer the way atoi does (0 when no digit follows).
int NoteIdFromFileName(std::string_view file_name);

// Whether a directory entry is a candidate note file (its name starts with "note").
bool IsNoteFileName(std::string_view file_name);
