// Fuzz target for the note file reader and writer (X-free).
//
// Every input is read with the older format refused and accepted and on a
// few screen sizes. Whatever the reader accepts must be sane (a name of one
// line within its limit, no more text than the header states, a size that
// is never 0), and writing it and reading it back must give the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "storage/note_file.h"

namespace {

void Fail(const char* what, std::string_view input) {
  std::fprintf(stderr, "note_file_fuzz: %s (input of %zu bytes)\n", what, input.size());
  std::abort();
}

void Check(bool ok, const char* what, std::string_view input) {
  if (!ok) Fail(what, input);
}

// The text a note keeps: the program's buffer is NUL-terminated.
std::string_view UpToNul(const std::string& s) { return std::string_view(s.data(), strnlen(s.data(), s.size())); }

void CheckAccepted(const Note& note, const NoteFileInfo& info, std::string_view input) {
  Check(note.name.size() <= kMaxNameLength, "name longer than its limit", input);
  Check(note.name.find('\n') == std::string::npos, "name holds a line break", input);
  Check(info.stated_length >= 0, "negative length accepted", input);
  Check(note.text.size() <= static_cast<std::size_t>(info.stated_length), "more text than stated", input);
  Check(note.text.size() <= input.size(), "more text than input", input);
  Check(note.height != 0 && note.width != 0, "a zero size survived", input);
}

void CheckRoundTrip(const Note& note, const NoteFileInfo& info, bool compatibility, std::string_view input) {
  const std::string bytes = FormatNoteFile(note, info.screen);
  NoteFileReadOptions same_screen;
  same_screen.compatibility = compatibility;
  same_screen.screen = info.screen;
  Note back;
  NoteFileInfo back_info;
  Check(ReadNoteFile(bytes, same_screen, &back, &back_info), "a written note does not read back", input);
  Check(!back_info.older_format, "written in the older format", input);
  Check(back.x == note.x && back.y == note.y, "position changed", input);
  Check(back.height == note.height && back.width == note.width, "size changed", input);
  Check(back.hidden == note.hidden, "hidden changed", input);
  Check(back.anchored == note.anchored, "anchored changed", input);
  Check(back_info.screen.height == info.screen.height && back_info.screen.width == info.screen.width,
        "screen changed", input);
  Check(back.alarm.set == note.alarm.set, "alarm flag changed", input);
  Check(back.alarm.month == note.alarm.month && back.alarm.day == note.alarm.day &&
            back.alarm.hour == note.alarm.hour && back.alarm.minute == note.alarm.minute,
        "alarm time changed", input);
  Check(back.name == note.name, "name changed", input);
  Check(back.text == UpToNul(note.text), "text changed", input);
  Check(back_info.stated_length == static_cast<long>(back.text.size()), "length does not match the text", input);
  // Writing is a fixed point: the bytes written from what was read back
  // are the bytes that were read.
  Check(FormatNoteFile(back, back_info.screen) == bytes, "second write differs", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static const int kScreens[][2] = {{1920, 1080}, {1024, 768}, {1, 1}, {0, 0}, {-1, 65535}};
  for (bool compatibility : {false, true}) {
    for (const auto& screen : kScreens) {
      NoteFileReadOptions options;
      options.compatibility = compatibility;
      options.screen = {screen[0], screen[1]};
      Note note;
      NoteFileInfo info;
      if (!ReadNoteFile(input, options, &note, &info)) continue;
      CheckAccepted(note, info, input);
      CheckRoundTrip(note, info, compatibility, input);
    }
  }
  // The file name rule over the same bytes.
  (void)NoteIdFromFileName(input);
  (void)IsNoteFileName(input);
  return 0;
}
