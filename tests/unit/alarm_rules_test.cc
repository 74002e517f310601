// Alarm rules: stepping the values of the Alarms Setup dialog, the reminder
// text, and which alarms fall due between two checks of a given clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "local_time.h"
#include "tools/alarm_rules.h"

namespace ar = alarm_rules;

namespace {

TEST(AlarmStepTest, WrapsAtTheRowLimits) {
  struct Case {
    int row;
    int value;
    int shown_month;  // the Month row's value, for the Day row
    int up;
    int down;
  } cases[] = {
      {ar::kMonthRow, 12, 0, 1, 11},
      {ar::kMonthRow, 1, 0, 2, 12},
      {ar::kMonthRow, 6, 0, 7, 5},
      {ar::kHourRow, 23, 0, 0, 22},
      {ar::kHourRow, 0, 0, 1, 23},
      {ar::kMinuteRow, 0, 0, 1, 59},
      {ar::kMinuteRow, 59, 0, 0, 58},
      // February has 29 days, every year.
      {ar::kDayRow, 29, 2, 1, 28},
      {ar::kDayRow, 1, 2, 2, 29},
      // Day 31 left over from January while February is shown.
      {ar::kDayRow, 31, 2, 1, 30},
      {ar::kDayRow, 31, 1, 1, 30},
      {ar::kDayRow, 30, 4, 1, 29},
      {ar::kDayRow, 1, 4, 2, 30},
      {ar::kDayRow, 1, 12, 2, 31},
      // A month outside 1..12 gives 30 days.
      {ar::kDayRow, 30, 13, 1, 29},
      {ar::kDayRow, 1, 13, 2, 30},
      {ar::kDayRow, 1, 0, 2, 30},
      {ar::kDayRow, 1, -5, 2, 30},
      // Values outside the limits wrap too.
      {ar::kMonthRow, 40, 0, 1, 39},
      {ar::kMinuteRow, -3, 0, -2, 59},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.row) + " value " + std::to_string(c.value) + " month " +
                 std::to_string(c.shown_month));
    EXPECT_EQ(ar::StepUp(c.row, c.value, c.shown_month), c.up);
    EXPECT_EQ(ar::StepDown(c.row, c.value, c.shown_month), c.down);
  }
}

TEST(AlarmStepTest, DaysInMonthTable) {
  const int expected[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(ar::DaysInShownMonth(month), expected[month - 1]);
  EXPECT_EQ(ar::DaysInShownMonth(0), 30);
  EXPECT_EQ(ar::DaysInShownMonth(13), 30);
}

TEST(AlarmStepTest, ParsesShownValuesLikeAtoi) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"12", 12}, {"0", 0}, {"", 0}, {"abc", 0}, {" 7", 7}, {"31x", 31},
      {"-4", -4}, {"+5", 5}, {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ar::ParseShownValue(c.text), c.value) << c.text;
  EXPECT_EQ(ar::ParseShownValue(nullptr), 0);
}

TEST(AlarmReminderTest, TextNamesTheNoteWhateverItsLength) {
  EXPECT_EQ(ar::ReminderText("Note 1"),
            "The alarm has expired for the TackOn Note\nwith the following name:\n\"Note 1\"");
  std::string long_name(5000, 'n');
  EXPECT_EQ(ar::ReminderText(long_name),
            "The alarm has expired for the TackOn Note\nwith the following name:\n\"" + long_name + "\"");
}

// The due logic runs against local time; pin a zone with daylight-saving
// time so that the dates below mean the same everywhere.
class AlarmDueTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    if (had_tz_) saved_tz_ = tz;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
  void TearDown() override {
    if (had_tz_) setenv("TZ", saved_tz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

  // Runs checks at the given clock readings and returns the readings at
  // which the alarm was due.
  static std::vector<std::time_t> Fires(const Alarm& alarm, const std::vector<std::time_t>& checks) {
    ar::DueChecker checker;
    std::vector<std::time_t> fired;
    for (std::time_t now : checks) {
      checker.BeginCheck(now);
      if (checker.Due(alarm)) fired.push_back(now);
    }
    return fired;
  }

  // Checks every `step` seconds from `from` to `to`.
  static std::vector<std::time_t> Every(std::time_t from, std::time_t to, int step) {
    std::vector<std::time_t> checks;
    for (std::time_t t = from; t <= to; t += step) checks.push_back(t);
    return checks;
  }

 private:
  bool had_tz_ = false;
  std::string saved_tz_;
};

TEST_F(AlarmDueTest, FiresOnceInItsMinuteWhateverTheCheckRhythm) {
  const Alarm alarm{5, 14, 9, 30};  // 14 June, 09:30
  const std::time_t from = LocalTime(2024, 6, 14, 9, 25, 17);
  const std::time_t to = LocalTime(2024, 6, 14, 9, 40);
  // Steps below a minute check several times within 09:30; steps above one
  // jump over it; 3600 lands on no check inside it at all.
  for (int step : {1, 7, 20, 59, 60, 61, 95, 299, 600}) {
    std::vector<std::time_t> fired = Fires(alarm, Every(from, to, step));
    ASSERT_EQ(fired.size(), 1u) << "step " << step;
    EXPECT_GE(fired[0], LocalTime(2024, 6, 14, 9, 30)) << "step " << step;
    EXPECT_LT(fired[0], LocalTime(2024, 6, 14, 9, 30) + step + 60) << "step " << step;
  }
  // One late check covering the whole stretch.
  EXPECT_EQ(Fires(alarm, {from, to}).size(), 1u);
}

TEST_F(AlarmDueTest, CheckedTwiceInItsMinuteFiresOnce) {
  const Alarm alarm{5, 14, 9, 30};
  std::vector<std::time_t> fired = Fires(alarm, {LocalTime(2024, 6, 14, 9, 29, 59), LocalTime(2024, 6, 14, 9, 30, 0),
                                                 LocalTime(2024, 6, 14, 9, 30, 1), LocalTime(2024, 6, 14, 9, 30, 59)});
  ASSERT_EQ(fired.size(), 1u);
  EXPECT_EQ(fired[0], LocalTime(2024, 6, 14, 9, 30, 0));
}

TEST_F(AlarmDueTest, FirstCheckCoversOnlyTheCurrentMinute) {
  // Started at 09:31: the 09:30 alarm is gone, the 09:31 one is due.
  EXPECT_TRUE(Fires({5, 14, 9, 30}, {LocalTime(2024, 6, 14, 9, 31, 5)}).empty());
  EXPECT_EQ(Fires({5, 14, 9, 31}, {LocalTime(2024, 6, 14, 9, 31, 59)}).size(), 1u);
  // Reset makes the next check a first check again.
  ar::DueChecker checker;
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 0));
  checker.Reset();
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 31));
  EXPECT_FALSE(checker.Due({5, 14, 9, 30}));
  EXPECT_TRUE(checker.Due({5, 14, 9, 31}));
}

TEST_F(AlarmDueTest, AcrossMidnightAndNewYear) {
  struct Case {
    Alarm alarm;
    std::time_t before;
    std::time_t after;
  } cases[] = {
      {{5, 15, 0, 0}, LocalTime(2024, 6, 14, 23, 59, 30), LocalTime(2024, 6, 15, 0, 1)},
      {{5, 14, 23, 59}, LocalTime(2024, 6, 14, 23, 58, 30), LocalTime(2024, 6, 15, 0, 0, 10)},
      {{0, 1, 0, 0}, LocalTime(2024, 12, 31, 23, 59, 40), LocalTime(2025, 1, 1, 0, 0, 20)},
      {{11, 31, 23, 59}, LocalTime(2024, 12, 31, 23, 58, 59), LocalTime(2025, 1, 1, 0, 2)},
      {{0, 1, 0, 1}, LocalTime(2024, 12, 31, 23, 50), LocalTime(2025, 1, 1, 0, 5)},
  };
  for (const Case& c : cases) {
    const Alarm& a = c.alarm;
    SCOPED_TRACE(std::to_string(a.month) + "/" + std::to_string(a.day) + " " + std::to_string(a.hour) + ":" +
                 std::to_string(a.minute));
    EXPECT_EQ(Fires(a, {c.before, c.after}).size(), 1u);
    EXPECT_EQ(Fires(a, Every(c.before, c.after, 13)).size(), 1u);
  }
}

TEST_F(AlarmDueTest, DatesThatDoNotExistNeverFire) {
  const std::time_t from = LocalTime(2025, 1, 1, 0, 0);
  const std::time_t to = LocalTime(2025, 12, 31, 23, 59);
  const Alarm never[] = {
      {1, 31, 12, 0},   // 31 February
      {1, 30, 12, 0},   // 30 February
      {1, 29, 12, 0},   // 29 February in a common year
      {3, 31, 8, 0},    // 31 April
      {12, 1, 8, 0},    // month 13
      {-1, 1, 8, 0},    {0, 0, 8, 0}, {0, 32, 8, 0}, {0, 1, 24, 0}, {0, 1, -1, 0}, {0, 1, 8, 60},
      {2, 30, 2, 30},   // 02:30 on 30 March 2025 is skipped by the change to summer time
  };
  for (const Alarm& a : never) {
    SCOPED_TRACE(std::to_string(a.month) + "/" + std::to_string(a.day) + " " + std::to_string(a.hour) + ":" +
                 std::to_string(a.minute));
    // The year in slices of a month, so the catch-up bound does not matter.
    EXPECT_TRUE(Fires(a, Every(from, to, 30 * 24 * 3600)).empty());
    // And minute by minute around the date itself.
    std::time_t around = LocalTime(2025, a.month >= 0 && a.month < 12 ? a.month + 1 : 1, 28, 0, 0);
    EXPECT_TRUE(Fires(a, Every(around, around + 5 * 24 * 3600, 60)).empty());
  }
  // 29 February does come in a leap year.
  EXPECT_EQ(Fires({1, 29, 12, 0}, {LocalTime(2024, 2, 1, 0, 0), LocalTime(2024, 3, 1, 0, 0)}).size(), 1u);
}

TEST_F(AlarmDueTest, RepeatedHourAtTheEndOfSummerTimeFiresForEachOccurrence) {
  // On 27 October 2024 02:00-02:59 comes twice, first in summer time.
  const Alarm alarm{9, 27, 2, 30};
  std::vector<std::time_t> fired =
      Fires(alarm, Every(LocalTime(2024, 10, 27, 1, 0), LocalTime(2024, 10, 27, 4, 0), 30));
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[1] - fired[0], 3600);
}

TEST_F(AlarmDueTest, CatchUpIsBoundedToAYear) {
  const std::time_t now = LocalTime(2025, 6, 14, 12, 0);
  ar::CheckWindow w = ar::WindowSince(true, LocalTime(2020, 1, 1, 0, 0), now);
  EXPECT_EQ(w.after, now - ar::kMaxCatchUpSeconds);
  EXPECT_EQ(w.until, now);
  // Within the bound every alarm of the past year fires once.
  EXPECT_EQ(Fires({7, 1, 8, 0}, {LocalTime(2020, 1, 1, 0, 0), now}).size(), 1u);
  EXPECT_EQ(Fires({5, 14, 11, 59}, {LocalTime(2020, 1, 1, 0, 0), now}).size(), 1u);
}

TEST_F(AlarmDueTest, ClockSetBackNeverFiresAMinuteTwice) {
  const Alarm alarm{5, 14, 9, 30};
  // Checked up to 10:00, then the clock is set back to 09:30:10: 09:30
  // comes round again, but its alarm already fired.
  std::vector<std::time_t> fired =
      Fires(alarm, {LocalTime(2024, 6, 14, 9, 29), LocalTime(2024, 6, 14, 10, 0), LocalTime(2024, 6, 14, 9, 30, 10),
                    LocalTime(2024, 6, 14, 9, 30, 40), LocalTime(2024, 6, 14, 9, 31)});
  ASSERT_EQ(fired.size(), 1u);
  EXPECT_EQ(fired[0], LocalTime(2024, 6, 14, 10, 0));
}

// The wall clock set back or forward while checks run once a minute (and
// once more at once when the clock is set): every alarm minute that the
// clock passes fires, each exactly once.
TEST_F(AlarmDueTest, ClockChangesSkipNoMinuteAndRepeatNone) {
  struct Case {
    const char* what;
    std::vector<std::time_t> checks;
    Alarm alarm;
    std::size_t fires;
  } cases[] = {
      {"set back an hour, alarm two minutes later",
       {LocalTime(2024, 6, 14, 10, 0, 5), LocalTime(2024, 6, 14, 10, 1, 0), LocalTime(2024, 6, 14, 9, 1, 3),
        LocalTime(2024, 6, 14, 9, 2, 0), LocalTime(2024, 6, 14, 9, 3, 0), LocalTime(2024, 6, 14, 9, 4, 0)},
       {5, 14, 9, 3},
       1},
      {"set back an hour, alarm in the minute set back into",
       {LocalTime(2024, 6, 14, 10, 0, 5), LocalTime(2024, 6, 14, 9, 0, 40), LocalTime(2024, 6, 14, 9, 1, 0)},
       {5, 14, 9, 0},
       1},
      {"set back an hour over an alarm that fired",
       {LocalTime(2024, 6, 14, 9, 59, 0), LocalTime(2024, 6, 14, 10, 0, 0), LocalTime(2024, 6, 14, 10, 1, 0),
        LocalTime(2024, 6, 14, 9, 59, 30), LocalTime(2024, 6, 14, 10, 0, 0), LocalTime(2024, 6, 14, 10, 1, 0)},
       {5, 14, 10, 0},
       1},
      {"set forward an hour over an alarm",
       {LocalTime(2024, 6, 14, 9, 0, 0), LocalTime(2024, 6, 14, 9, 1, 0), LocalTime(2024, 6, 14, 10, 1, 20),
        LocalTime(2024, 6, 14, 10, 2, 0)},
       {5, 14, 9, 30},
       1},
      {"set forward into the alarm's minute",
       {LocalTime(2024, 6, 14, 9, 0, 0), LocalTime(2024, 6, 14, 9, 30, 30), LocalTime(2024, 6, 14, 9, 31, 0)},
       {5, 14, 9, 30},
       1},
  };
  for (const Case& c : cases) EXPECT_EQ(Fires(c.alarm, c.checks).size(), c.fires) << c.what;
}

// An alarm armed in the current minute, after that minute's check, fires
// when a check runs at once (as Accept does), and not again at the next
// minute's check.
// The checker passes over alarms whose date is far from the window; it must
// never pass over one that falls due: around the changes to and from summer
// time, midnight and the new year, in the zone of the fixture and in one
// that moves its clocks at midnight, every alarm of the nearby minutes is
// due exactly when it occurs in the window.
TEST_F(AlarmDueTest, PassingOverFarDatesMissesNoAlarm) {
  const char* zones[] = {"CET-1CEST,M3.5.0,M10.5.0/3", "<-03>3<-02>,M10.1.0/0,M2.3.0/0"};
  const std::time_t around[] = {LocalTime(2025, 3, 30, 2, 0), LocalTime(2025, 10, 26, 3, 0),
                                LocalTime(2024, 12, 31, 23, 59), LocalTime(2025, 10, 5, 0, 0),
                                LocalTime(2025, 2, 16, 0, 0)};
  for (const char* zone : zones) {
    setenv("TZ", zone, 1);
    tzset();
    for (std::time_t middle : around) {
      for (std::time_t now = middle - 2 * 3600; now <= middle + 2 * 3600; now += 7 * 60 + 13) {
        ar::DueChecker checker;
        checker.BeginCheck(now - 600);
        checker.BeginCheck(now);
        std::tm local{};
        localtime_r(&now, &local);
        for (int back = -2; back <= 2; ++back) {
          for (int minute = 0; minute < 24 * 60; minute += 10) {
            std::tm day = local;
            day.tm_mday += back;
            day.tm_hour = 12;
            day.tm_isdst = -1;
            std::time_t noon = std::mktime(&day);
            std::tm date{};
            localtime_r(&noon, &date);
            const Alarm alarm{date.tm_mon, date.tm_mday, minute / 60, minute % 60};
            SCOPED_TRACE(std::string(zone) + " at " + std::to_string(now) + ": " + std::to_string(alarm.month) +
                         "/" + std::to_string(alarm.day) + " " + std::to_string(alarm.hour) + ":" +
                         std::to_string(alarm.minute));
            ASSERT_EQ(checker.Due(alarm), ar::OccursIn(alarm, checker.window()));
          }
        }
      }
    }
  }
}

TEST_F(AlarmDueTest, AlarmArmedInTheCurrentMinuteFiresAtOnce) {
  ar::DueChecker checker;
  const Alarm alarm{5, 14, 9, 30};
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 30, 0));
  // Armed at 09:30:40.
  checker.Forget(3);
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 30, 40));
  EXPECT_TRUE(checker.Due(alarm, 3));
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 31, 0));
  EXPECT_FALSE(checker.Due(alarm, 3));
  // Another alarm of the same minute fires for its own note.
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 30, 50));
  EXPECT_TRUE(checker.Due(alarm, 4));
  // Armed again in the same minute: it fires again.
  checker.Forget(3);
  checker.BeginCheck(LocalTime(2024, 6, 14, 9, 30, 55));
  EXPECT_TRUE(checker.Due(alarm, 3));
}

TEST_F(AlarmDueTest, NextCheckJustAfterTheMinuteBoundary) {
  struct Case {
    std::time_t seconds;
    long nanoseconds;
    unsigned long delay;
  } cases[] = {
      {LocalTime(2024, 6, 14, 9, 30, 0), 0, 60050},
      {LocalTime(2024, 6, 14, 9, 30, 30), 500000000, 29550},
      {LocalTime(2024, 6, 14, 9, 30, 59), 990000000, 60},
      {LocalTime(2024, 6, 14, 9, 30, 59), 999999999, 51},
  };
  for (const Case& c : cases) EXPECT_EQ(ar::MillisecondsToNextMinute(c.seconds, c.nanoseconds), c.delay);
}

}  // namespace

namespace {

TEST_F(AlarmDueTest, SetupStartsAtTheNextWholeMinute) {
  struct Case {
    std::time_t now;
    Alarm shown;
  } cases[] = {
      {LocalTime(2024, 6, 14, 9, 30, 0), {5, 14, 9, 31}},
      {LocalTime(2024, 6, 14, 9, 30, 59), {5, 14, 9, 31}},
      {LocalTime(2024, 6, 14, 9, 59, 1), {5, 14, 10, 0}},
      {LocalTime(2024, 12, 31, 23, 59, 30), {0, 1, 0, 0}},
      {LocalTime(2024, 2, 28, 23, 59, 59), {1, 29, 0, 0}},
  };
  for (const Case& c : cases) {
    Alarm at = AlarmAt(ar::NextWholeMinute(c.now));
    EXPECT_EQ(std::vector<int>({at.month, at.day, at.hour, at.minute}),
              std::vector<int>({c.shown.month, c.shown.day, c.shown.hour, c.shown.minute}))
        << "at " << c.now;
  }
}

}  // namespace
