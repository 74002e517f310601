// The rules behind alarms, free of X: the values the Alarms Setup dialog
// steps through, and which alarms fall due between two checks.
#pragma once

#include <ctime>
#include <map>
#include <string>

#include "model/alarm.h"

namespace alarm_rules {

// Rows of the Alarms Setup dialog, top to bottom; the index is the arrows'
// client data.
enum Row { kMonthRow = 0, kDayRow = 1, kHourRow = 2, kMinuteRow = 3 };
constexpr int kRowCount = 4;

// Days of each month, January first. February always has 29: an alarm has
// no year.
constexpr int kDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days in a month shown as 1..12; 30 for any other shown month.
int DaysInShownMonth(int shown_month);

// Smallest and largest value a row steps through. The Day row's maximum
// depends on the month shown in the Month row at the time.
int RowMinimum(int row);
int RowMaximum(int row, int shown_month);

// The next value of a row for the ">" and "<" arrows, wrapping around at the
// row's limits. A value outside the limits wraps as well: up from at or
// above the maximum gives the minimum, down from at or below the minimum
// gives the maximum.
int StepUp(int row, int value, int shown_month);
int StepDown(int row, int value, int shown_month);

// A shown value read back from its label: optional white space and sign,
// then the leading decimal digits; 0 when there are none. Saturates instead
// of overflowing.
int ParseShownValue(const char* text);

// The text of the reminder that pops up for the note of this name.
std::string ReminderText(const std::string& note_name);

// The minutes one check covers: every local minute that starts after
// `after` and no later than `until`. Empty when until <= after.
struct CheckWindow {
  std::time_t after;
  std::time_t until;
};

// The longest stretch one check catches up on.
constexpr std::time_t kMaxCatchUpSeconds = 366L * 24 * 60 * 60;

// Start of the local minute holding t.
std::time_t MinuteStart(std::time_t t);

// Start of the local minute after the one holding t: where the Alarms
// Setup dialog starts.
std::time_t NextWholeMinute(std::time_t t);

// The minutes a check at `now` covers when the previous check ran at
// `previous`: from the previous check's minute up to the current one, at
// most kMaxCatchUpSeconds of them. The previous check's minute is covered
// again, so that an alarm armed in that minute after the check still fires;
// DueChecker keeps an alarm from firing twice for one minute. The first
// check (has_previous false) and a check after the clock was set back to an
// earlier minute cover only the current minute.
CheckWindow WindowSince(bool has_previous, std::time_t previous, std::time_t now);

// Whether the alarm's minute occurs in the window, armed or not. A date that does not
// exist (31 February, 29 February in a common year, a local time skipped by
// a daylight-saving change) never occurs.
bool OccursIn(const Alarm& alarm, const CheckWindow& window);

// The start of the latest minute of the alarm in the window, or -1.
std::time_t LatestOccurrence(const Alarm& alarm, const CheckWindow& window);

// Tracks the previous check and answers, for each check, which alarms are
// due. Each alarm fires once for each minute it names, even when that
// minute comes round again because the clock was set back; the key tells
// the alarms apart (a note's id). Reset() makes the next check a first
// check and forgets what fired.
class DueChecker {
 public:
  // Starts a check at `now`; the window it covers is kept until the next.
  void BeginCheck(std::time_t now);
  // True when the alarm falls due in this check; remembers it as fired.
  bool Due(const Alarm& alarm, int key = 0);
  // An alarm armed anew fires again even for a minute it fired for.
  void Forget(int key) { fired_.erase(key); }
  const CheckWindow& window() const { return window_; }
  void Reset() {
    has_previous_ = false;
    fired_.clear();
  }

 private:
  // Whether the alarm's date can be a local date of the window: a check
  // of many notes asks the time zone rules only about the few whose date
  // is near.
  bool DateNear(const Alarm& alarm) const;

  bool has_previous_ = false;
  std::time_t previous_ = 0;
  CheckWindow window_{0, 0};
  // The local dates from a day before the window to a day after it, as
  // year * 10000 + month * 100 + day (month from 0); unknown when the
  // local time could not be had.
  bool dates_known_ = false;
  int first_date_ = 0;
  int last_date_ = 0;
  std::map<int, std::time_t> fired_;  // key: the minute it last fired for
};

// Milliseconds from `now` (seconds and nanoseconds of the real-time clock)
// to just past the start of the next local minute; between 1 and 60000 plus
// a small margin that keeps the wake-up on the far side of the boundary.
unsigned long MillisecondsToNextMinute(std::time_t now_seconds, long now_nanoseconds);

}  // namespace alarm_rules
