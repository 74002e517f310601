// A note's alarm, as the note record, the note file and the alarm rules
// all know it (X-free).
#pragma once

#include <ctime>

// Month 0 = January, day of the month 1-based, hour and minute of local
// time, every year. `set` is whether the alarm is armed; a disarmed alarm
// keeps its time.
struct Alarm {
  int month = 0;
  int day = 1;
  int hour = 0;
  int minute = 0;
  bool set = false;
};

// A disarmed alarm at the local minute of t.
Alarm AlarmAt(std::time_t t);
