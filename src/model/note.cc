#include "model/note.h"

#include <ctime>
#include <string>

#include "model/alarm.h"

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
