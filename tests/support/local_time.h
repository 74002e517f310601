// Calendar times and clock readings in the local time zone, as tests build
// them: months count from 1, years in full.
#pragma once

#include <ctime>

// The calendar fields of a local time; the weekday, day of the year and
// daylight saving flag are left 0.
inline std::tm CalendarTime(int year, int month, int day, int hour, int minute, int second = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

// The clock reading of a local time; isdst -1 lets the zone decide.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second = 0, int isdst = -1) {
  std::tm tm = CalendarTime(year, month, day, hour, minute, second);
  tm.tm_isdst = isdst;
  return std::mktime(&tm);
}
