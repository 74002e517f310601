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
  bool latin1_name = false;
  bool latin1_text = false;
  std::string name = StoredTextToUtf8(note->name, &latin1_name);
  std::string text = StoredTextToUtf8(note->text, &latin1_text);
  note->file_bytes = Note::FileBytes();
  if (latin1_name || latin1_text) note->file_bytes = {true, std::move(note->name), std::move(note->text)};
  note->name = std::move(name);
  note->text = std::move(text);
}

bool ShowsFileBytes(const Note& note, std::string_view text) {
  const Note::FileBytes& file = note.file_bytes;
  if (!file.kept || StoredTextToUtf8(file.name) != note.name) return false;
  // A text is written up to its first NUL: so is the file's own.
  return StoredTextToUtf8(FileTextUpToNul(note)) == text;
}

std::string_view FileTextUpToNul(const Note& note) {
  const std::string& bytes = note.file_bytes.text;
  return std::string_view(bytes.data(), strnlen(bytes.data(), bytes.size()));
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
