#include "model/note.h"

#include <ctime>

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

bool TextFits(std::size_t length, std::size_t buffer_size) { return length < buffer_size; }

std::size_t TextRoom(std::size_t length, std::size_t buffer_size) {
  return TextFits(length, buffer_size) ? buffer_size - 1 - length : 0;
}

std::size_t BufferSizeFor(std::size_t length, std::size_t unit) { return (length / unit + 1) * unit; }
