#include "model/note.h"

#include <cstring>
#include <ctime>
#include <string>

#include "model/alarm.h"
#include "model/utf8.h"

Alarm AlarmAt(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  Alarm alarm;
  alarm.month = local.tm_mon;
  alarm.day = local.tm_mday;
  alarm.hour = local.tm_hour;
  alarm.minute = local.tm_min;
  return alarm;
}

void TakeStoredBytesAsUtf8(Note* note) {
  bool latin1 = false;
  std::string name = StoredTextToUtf8(note->name, &latin1);
  note->latin1_name = latin1 ? std::move(note->name) : std::string();
  note->name = std::move(name);
  std::string text = StoredTextToUtf8(note->text, &latin1);
  note->latin1_text = latin1 ? std::move(note->text) : std::string();
  note->text = std::move(text);
}

std::string StoredName(const Note& note) {
  return note.latin1_name.empty() ? note.name : BytesToStore(note.name, note.latin1_name);
}

std::string StoredText(const Note& note, std::string_view text) {
  if (note.latin1_text.empty()) return std::string(text);
  // A text is written up to its first NUL: so is the file's own.
  const std::string& latin1 = note.latin1_text;
  return BytesToStore(std::string(text), latin1.substr(0, strnlen(latin1.data(), latin1.size())));
}

bool TextFits(std::size_t length) { return length <= kMaxTextLength; }

std::size_t TextRoom(std::size_t length) { return TextFits(length) ? kMaxTextLength - length : 0; }

std::string TextTooLongMessage(const std::string& name) {
  return "The note \"" + name + "\" is full: a note holds at most\n16 MiB (" +
         std::to_string(kMaxTextLength) + " bytes) of text.\nThe change was not made.";
}

std::size_t BufferSizeFor(std::size_t length, std::size_t unit) { return (length / unit + 1) * unit; }

std::size_t GrownBufferSize(std::size_t buffer_size, std::size_t length, std::size_t unit) {
  return length < buffer_size ? buffer_size : BufferSizeFor(length, unit);
}
