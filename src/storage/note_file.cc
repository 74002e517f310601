#include "storage/note_file.h"

#include <sys/mman.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>

#include "model/utf8.h"

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

int ClampToInt(std::int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// Reads a signed decimal integer after optional white space, as %d does.
bool ParseInt(std::string_view s, std::size_t* pos, std::int64_t* value) {
  std::size_t i = *pos;
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::size_t digits = i;
  std::int64_t v = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    if (v < (std::int64_t{1} << 40)) v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i == digits) return false;
  *value = negative ? -v : v;
  *pos = i;
  return true;
}

bool Flag(std::int64_t v) { return (v & 0xff) != 0; }

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// An alarm from a file is always one the Alarms Setup dialog can show and
// step: every field within its range.
void ClampAlarm(Alarm* alarm) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  alarm->month = Clamp(alarm->month, 0, 11);
  alarm->day = Clamp(alarm->day, 1, kDays[alarm->month]);
  alarm->hour = Clamp(alarm->hour, 0, 23);
  alarm->minute = Clamp(alarm->minute, 0, 59);
}

}  // namespace

bool ReadNoteFile(std::string_view bytes, const NoteFileReadOptions& options, Note* note, NoteFileInfo* info) {
  std::size_t pos = 0;
  while (pos < bytes.size() && IsSpace(bytes[pos])) ++pos;
  std::size_t word_start = pos;
  while (pos < bytes.size() && !IsSpace(bytes[pos])) ++pos;
  if (pos == word_start) return false;
  std::string_view word = bytes.substr(word_start, pos - word_start);

  bool older = false;
  if (options.compatibility) {
    if (word == kOldNoteMagic) older = true;
    else if (word != kNoteMagic) return false;
  }

  std::size_t line_end = bytes.find('\n', pos);
  std::size_t after_header = line_end == std::string_view::npos ? bytes.size() : line_end + 1;
  std::string_view header = bytes.substr(pos, after_header - pos);
  const int wanted = older ? 8 : 14;
  std::int64_t n[14] = {};
  int count = 0;
  std::size_t hpos = 0;
  while (count < wanted && ParseInt(header, &hpos, &n[count])) ++count;
  if (older ? count < 5 : count < 14) return false;
  if (n[4] < 0) return false;  // a negative text length

  NoteFileInfo file;
  file.older_format = older;
  file.stated_length = static_cast<long>(n[4]);
  int x = ClampToInt(n[0]);
  int y = ClampToInt(n[1]);
  note->height = ClampToInt(n[2]);
  note->width = ClampToInt(n[3]);
  note->hidden = count >= 6 && Flag(n[5]);
  note->stored_hidden = note->hidden;
  if (older) {
    file.screen.height = ClampToInt(n[6]);
    file.screen.width = ClampToInt(n[7]);
    note->anchored = false;
    note->alarm.set = false;
  } else {
    note->anchored = Flag(n[6]);
    file.screen.height = ClampToInt(n[7]);
    file.screen.width = ClampToInt(n[8]);
    note->alarm.set = Flag(n[9]);
    note->alarm.month = ClampToInt(n[10]);
    note->alarm.day = ClampToInt(n[11]);
    note->alarm.hour = ClampToInt(n[12]);
    note->alarm.minute = ClampToInt(n[13]);
    ClampAlarm(&note->alarm);
  }

  // Positions follow the screen's size when it changed; a file that names
  // no screen size is taken as it stands.
  const ScreenSize& was = file.screen;
  const ScreenSize& now = options.screen;
  bool has_screen = !older || count == 8;
  if (has_screen && was.width != 0 && was.height != 0 && (was.height != now.height || was.width != now.width)) {
    x = ClampToInt(std::int64_t{x} * now.width / was.width);
    y = ClampToInt(std::int64_t{y} * now.height / was.height);
  }
  note->x = x;
  note->y = y;
  if (note->height < 1 || note->width < 1 || note->height > kMaxNoteSide || note->width > kMaxNoteSide) {
    note->height = kDefaultNoteHeight;
    note->width = kDefaultNoteWidth;
  }

  // The name line; its last character (the newline of a complete line) goes.
  pos = after_header;
  std::size_t name_end = bytes.find('\n', pos);
  std::size_t after_name = name_end == std::string_view::npos ? bytes.size() : name_end + 1;
  std::string_view name_line = bytes.substr(pos, after_name - pos);
  if (!name_line.empty()) name_line.remove_suffix(1);
  name_line = name_line.substr(0, Utf8PrefixLength(name_line, kMaxNameLength));
  note->name.assign(name_line);

  std::size_t available = bytes.size() - after_name;
  std::size_t length = static_cast<std::size_t>(file.stated_length);
  note->text.assign(bytes.substr(after_name, length < available ? length : available));
  file.text_bytes = note->text.size();
  if (options.utf8) TakeStoredBytesAsUtf8(note);
  if (info) *info = file;
  return true;
}

namespace {

// The characters of UTF-8 text as Latin-1 bytes; false when one of them is
// above U+00FF (or the text is not UTF-8).
bool Utf8ToLatin1(std::string_view utf8, std::string* latin1) {
  latin1->clear();
  latin1->reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) {
      *latin1 += utf8[pos++];
      continue;
    }
    if ((lead != 0xc2 && lead != 0xc3) || Utf8CharLength(utf8.substr(pos)) != 2) return false;
    *latin1 += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[pos + 1]) & 0x3f));
    pos += 2;
  }
  return true;
}

// The bytes to write for what a note shows (UTF-8 in a UTF-8 locale) when
// its file held `stored` there, each of the name and the text on its own.
// A part the file held in Latin-1 keeps its encoding: its very bytes while
// it shows what they were read as, and its characters in Latin-1 after an
// edit, as long as they all are Latin-1 ones; so text is never encoded
// twice, and a name never grows past its line. Anything else is written as
// it is shown.
std::string StoredPart(std::string_view shown, bool kept, std::string_view stored) {
  if (!kept || IsValidUtf8(stored)) return std::string(shown);
  if (StoredTextToUtf8(stored) == shown) return std::string(stored);
  std::string latin1;
  if (Utf8ToLatin1(shown, &latin1)) return latin1;
  return std::string(shown);
}

}  // namespace

namespace {

// Makes room for `size` bytes in *out. A large buffer new to it asks for
// huge pages where the system gives them on request: filling 16 MiB then
// costs eight page faults instead of four thousand.
void Reserve(std::string* out, std::size_t size) {
  if (size <= out->capacity()) return;
  out->reserve(size);
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (size < 2 * kHuge) return;
  const auto start = reinterpret_cast<std::uintptr_t>(out->data());
  const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (start + out->capacity()) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Appends the header line (the fourteen numbers for a text of `length`
// bytes, then header_words) and the name line of the note's file.
void AppendHead(const Note& note, ScreenSize screen, std::size_t length, std::string_view header_words,
                std::string* out) {
  const bool kept = note.file_bytes.kept;
  // The name is one line: a line break in it would end the name early.
  std::string name = StoredPart(note.name, kept, note.file_bytes.name);
  name.resize(Utf8PrefixLength(name, kMaxNameLength));
  for (char& c : name)
    if (c == '\n') c = ' ';
  const long numbers[] = {note.x,
                          note.y,
                          note.window_height ? note.window_height : note.height,
                          note.window_width ? note.window_width : note.width,
                          static_cast<long>(length),
                          note.hidden ? 1 : 0,
                          note.anchored ? 1 : 0,
                          screen.height,
                          screen.width,
                          note.alarm.set ? 1 : 0,
                          note.alarm.month,
                          note.alarm.day,
                          note.alarm.hour,
                          note.alarm.minute};
  *out += kNoteMagic;
  for (long v : numbers) {
    *out += ' ';
    *out += std::to_string(v);
  }
  *out += ' ';
  if (!header_words.empty()) {
    *out += header_words;
    *out += ' ';
  }
  *out += '\n';
  // One allocation for all of it: the text may be megabytes.
  Reserve(out, out->size() + name.size() + 1 + length);
  *out += name;
  *out += '\n';
}

}  // namespace

std::string FormatNoteFile(const Note& note, ScreenSize screen, std::string_view header_words) {
  const std::string all = note.Text();
  const bool kept = note.file_bytes.kept;
  const std::string_view shown(all.data(), strnlen(all.data(), all.size()));
  // Only a text kept in its file's encoding may need other bytes.
  std::string stored;
  if (kept) stored = StoredPart(shown, kept, FileTextUpToNul(note));
  const std::string_view text = kept ? std::string_view(stored) : shown;
  std::string out;
  AppendHead(note, screen, text.size(), header_words, &out);
  out.append(text);
  return out;
}

void FormatNoteFileInto(const Note& note, ScreenSize screen, std::string_view header_words, std::string* out) {
  out->clear();
  if (!note.file_bytes.kept) {
    // The text goes straight from where the note keeps it into *out, whose
    // memory is used again: no copy of it is made on the way.
    const std::size_t length = note.TextLength();
    AppendHead(note, screen, length, header_words, out);
    const std::size_t start = out->size();
    note.AppendText(out);
    if (out->size() - start == length && std::memchr(out->data() + start, '\0', length) == nullptr) return;
    out->clear();  // a NUL ends the text sooner: the long way
  }
  *out = FormatNoteFile(note, screen, header_words);
}

NoteFileExtent MeasureNoteFile(std::string_view head, bool at_end, const NoteFileReadOptions& options) {
  NoteFileExtent extent;
  auto not_note = [&extent](const char* reason) {
    extent.verdict = NoteFileExtent::kNotNote;
    extent.reason = reason;
    return extent;
  };
  std::size_t header_end = head.find('\n');
  if (header_end == std::string_view::npos) {
    if (head.size() > kMaxHeaderLineBytes) return not_note("no note header");
    if (!at_end) return extent;
    header_end = head.size();
  } else if (header_end >= kMaxHeaderLineBytes) {
    return not_note("no note header");
  }
  std::size_t name_end = header_end < head.size() ? head.find('\n', header_end + 1) : std::string_view::npos;
  std::size_t after_name;
  if (name_end == std::string_view::npos) {
    if (head.size() > kMaxHeadBytes) return not_note("name line too long");
    if (!at_end) return extent;
    after_name = head.size();
  } else {
    if (name_end >= kMaxHeadBytes) return not_note("name line too long");
    after_name = name_end + 1;
  }
  Note note;
  NoteFileInfo info;
  if (!ReadNoteFile(head.substr(0, after_name), options, &note, &info)) return not_note("no note header");
  std::size_t text = static_cast<std::size_t>(info.stated_length);
  if (text > kMaxStoredTextBytes) text = kMaxStoredTextBytes;
  extent.verdict = NoteFileExtent::kRead;
  extent.bytes = after_name + text + 1;
  extent.text_start = after_name;
  extent.stated_length = static_cast<std::size_t>(info.stated_length);
  return extent;
}

int NoteIdFromFileName(std::string_view file_name) {
  if (file_name.size() < 4) return 0;
  std::string_view rest = file_name.substr(4);
  std::size_t pos = 0;
  std::int64_t value = 0;
  // atoi: leading white space, a sign, digits up to the first non-digit.
  if (!ParseInt(rest, &pos, &value)) return 0;
  return ClampToInt(value);
}

bool IsNoteFileName(std::string_view file_name) { return file_name.substr(0, 4) == "note"; }
