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
// Where a candidate file must show its header line and its name line: a
// file whose first line is longer than kMaxHeaderLineBytes, or whose name
// line does not end within kMaxHeadBytes, is not a note.
constexpr std::size_t kMaxHeaderLineBytes = 4096;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
// The largest text a note file may hold.
constexpr std::size_t kMaxStoredTextBytes = 256u * 1024 * 1024;
// Largest stored size of a note window (the X protocol's limit); a stored
// size outside 1..kMaxNoteSide gives the default size.
constexpr int kMaxNoteSide = 32767;

struct ScreenSize {
  int width = 0;
  int height = 0;
};

struct NoteFileReadOptions {
  bool compatibility = false;  // also accept the older format
  ScreenSize screen;           // the current screen, for rescaling positions
  // Notes hold UTF-8 (a UTF-8 locale): the name and text are taken as
  // TakeStoredBytesAsUtf8 takes them.
  bool utf8 = false;
};

// What a note file says besides the note itself.
struct NoteFileInfo {
  // Read from the older format, which has no anchor and no alarm.
  bool older_format = false;
  // The length the header states; the text may be shorter when the file is.
  long stated_length = 0;
  // The bytes of text the file holds (what was read, before any change of
  // encoding).
  std::size_t text_bytes = 0;
  // The screen the file was written on.
  ScreenSize screen;
};

// Reads a note from a file's bytes into the record: name, text, place,
// size, hidden and, from the current format, anchored and the alarm (the
// older format leaves the note unanchored and its alarm disarmed at the
// time it had). Returns false, changing nothing, when the bytes are not a
// note. Positions are rescaled to the current screen; a height or width
// that no window can have (0, negative, above kMaxNoteSide) gives the
// default size; with options.utf8 the note holds UTF-8 (TakeStoredBytesAsUtf8); alarm fields are brought into their ranges (month 0..11,
// day 1..the month's days, hour 0..23, minute 0..59). info, when given,
// gets what the file says besides.
bool ReadNoteFile(std::string_view bytes, const NoteFileReadOptions& options, Note* note,
                  NoteFileInfo* info = nullptr);

// How much of a candidate file to read, judged from the bytes read so far
// (`head`, all of the file when at_end): kNeedMore until the header and the
// name line are in; then kRead with the number of bytes that hold the
// header, the name and the stated text plus one byte (never less than what
// is needed to see that more text follows than a note may hold); or
// kNotNote with the reason.
// With kRead also where the text starts and the length the header states.
struct NoteFileExtent {
  enum Verdict { kNeedMore, kRead, kNotNote } verdict = kNeedMore;
  std::size_t bytes = 0;
  std::size_t text_start = 0;
  std::size_t stated_length = 0;
  std::string reason;
};
NoteFileExtent MeasureNoteFile(std::string_view head, bool at_end, const NoteFileReadOptions& options);

// The bytes of a note file in the current format for the note's record,
// written on a screen of the given size. The size is the window's when it
// is known. The text is written up to its first NUL. `header_words`, when
// given, go on the header line after the fourteen numbers, where readers
// of note files look no further. The text is copied once, into the bytes.
std::string FormatNoteFile(const Note& note, ScreenSize screen, std::string_view header_words = {});
// The same bytes in *out (what it held is dropped, its memory used again),
// the text appended straight from where the note keeps it.
void FormatNoteFileInto(const Note& note, ScreenSize screen, std::string_view header_words, std::string* out);

// The id a note file's name gives: the characters after "note" read as a
// decimal integer the way atoi does (0 when no digit follows).
int NoteIdFromFileName(std::string_view file_name);

// Whether a directory entry is a candidate note file (its name starts with "note").
bool IsNoteFileName(std::string_view file_name);
