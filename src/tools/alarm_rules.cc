#include "tools/alarm_rules.h"

#include <cctype>
#include <climits>

namespace alarm_rules {

int DaysInShownMonth(int shown_month) {
  if (shown_month < 1 || shown_month > 12) return 30;
  return kDaysInMonth[shown_month - 1];
}

int RowMinimum(int row) { return row == kMonthRow || row == kDayRow ? 1 : 0; }

int RowMaximum(int row, int shown_month) {
  switch (row) {
    case kMonthRow: return 12;
    case kDayRow: return DaysInShownMonth(shown_month);
    case kHourRow: return 23;
    default: return 59;
  }
}

int StepUp(int row, int value, int shown_month) {
  return value >= RowMaximum(row, shown_month) ? RowMinimum(row) : value + 1;
}

int StepDown(int row, int value, int shown_month) {
  return value <= RowMinimum(row) ? RowMaximum(row, shown_month) : value - 1;
}

int ParseShownValue(const char* text) {
  if (!text) return 0;
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

std::string ReminderText(const std::string& note_name) {
  return "The alarm has expired for the TackOn Note\nwith the following name:\n\"" + note_name + "\"";
}

std::time_t MinuteStart(std::time_t t) {
  std::tm local{};
  if (!localtime_r(&t, &local)) return t;
  return t - local.tm_sec;
}

std::time_t NextWholeMinute(std::time_t t) { return MinuteStart(t) + 60; }

CheckWindow WindowSince(bool has_previous, std::time_t previous, std::time_t now) {
  std::time_t current = MinuteStart(now);
  if (!has_previous) return {current - 1, now};
  std::time_t previous_minute = MinuteStart(previous);
  if (current < previous_minute) return {current - 1, now};  // the clock was set back
  std::time_t after = previous_minute - 1;
  if (now - after > kMaxCatchUpSeconds) after = now - kMaxCatchUpSeconds;
  return {after, now};
}

bool OccursIn(const Alarm& alarm, const CheckWindow& window) { return LatestOccurrence(alarm, window) != -1; }

std::time_t LatestOccurrence(const Alarm& alarm, const CheckWindow& window) {
  if (window.until <= window.after) return -1;
  if (alarm.month < 0 || alarm.month > 11 || alarm.day < 1 || alarm.day > kDaysInMonth[alarm.month] ||
      alarm.hour < 0 || alarm.hour > 23 || alarm.minute < 0 || alarm.minute > 59)
    return -1;
  std::tm first{}, last{};
  if (!localtime_r(&window.after, &first) || !localtime_r(&window.until, &last)) return -1;
  // The window spans at most a year, so at most three calendar years. In
  // each, the alarm's local time may stand for two instants (the hour
  // repeated when daylight-saving time ends) or none (the hour skipped when
  // it starts, or a date the year does not have): try it as standard and as
  // daylight time and keep what reads back unchanged.
  std::time_t latest = -1;
  for (int year = first.tm_year; year <= last.tm_year; ++year) {
    for (int dst = 0; dst <= 1; ++dst) {
      std::tm candidate{};
      candidate.tm_year = year;
      candidate.tm_mon = alarm.month;
      candidate.tm_mday = alarm.day;
      candidate.tm_hour = alarm.hour;
      candidate.tm_min = alarm.minute;
      candidate.tm_isdst = dst;
      std::time_t t = std::mktime(&candidate);
      if (t == static_cast<std::time_t>(-1)) continue;
      if (candidate.tm_year != year || candidate.tm_mon != alarm.month || candidate.tm_mday != alarm.day ||
          candidate.tm_hour != alarm.hour || candidate.tm_min != alarm.minute)
        continue;
      if (t > window.after && t <= window.until && t > latest) latest = t;
    }
  }
  return latest;
}

namespace {

int DateKey(int year, int month, int day) { return year * 10000 + month * 100 + day; }

}  // namespace

void DueChecker::BeginCheck(std::time_t now) {
  window_ = WindowSince(has_previous_, previous_, now);
  has_previous_ = true;
  previous_ = now;
  // A day on either side covers any shift of the local time the zone
  // makes within the window.
  constexpr std::time_t kDay = 24 * 3600;
  std::tm first{}, last{};
  const std::time_t from = window_.after - kDay;
  const std::time_t to = window_.until + kDay;
  dates_known_ = localtime_r(&from, &first) && localtime_r(&to, &last);
  if (!dates_known_) return;
  first_date_ = DateKey(first.tm_year, first.tm_mon, first.tm_mday);
  last_date_ = DateKey(last.tm_year, last.tm_mon, last.tm_mday);
}

bool DueChecker::DateNear(const Alarm& alarm) const {
  if (!dates_known_) return true;
  for (int year = first_date_ / 10000; year <= last_date_ / 10000; ++year) {
    int date = DateKey(year, alarm.month, alarm.day);
    if (date >= first_date_ && date <= last_date_) return true;
  }
  return false;
}

bool DueChecker::Due(const Alarm& alarm, int key) {
  if (!DateNear(alarm)) return false;
  std::time_t when = LatestOccurrence(alarm, window_);
  if (when == -1) return false;
  auto it = fired_.find(key);
  if (it != fired_.end() && it->second == when) return false;
  fired_[key] = when;
  return true;
}

unsigned long MillisecondsToNextMinute(std::time_t now_seconds, long now_nanoseconds) {
  constexpr long kMargin = 50;
  std::tm local{};
  long into_minute = 0;
  if (localtime_r(&now_seconds, &local)) into_minute = (local.tm_sec % 60) * 1000L + now_nanoseconds / 1000000L;
  long delay = 60000 - into_minute + kMargin;
  if (delay < 1) delay = 1;
  return static_cast<unsigned long>(delay);
}

}  // namespace alarm_rules
