#include "tools/date_format.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <string>

#include "local_time.h"

namespace {

std::tm At(int year, int month, int day, int weekday, int hour, int minute) {
  std::tm t = CalendarTime(year, month, day, hour, minute);
  t.tm_wday = weekday;
  return t;
}

struct DateCase {
  const char* what;
  std::tm time;
  std::array<const char*, kDateLayoutCount> rows;
};

const DateCase kCases[] = {
    {"Tuesday 7 January 2025, 09:05", At(2025, 1, 7, 2, 9, 5),
     {"01/07/25", "<01/07/25>", "(01/07/25)", "01/07/25 - 09:05", "01/07/25(09:05)", "Jan 7, 2025",
      "Jan 7, 2025 - 09:05", "Jan 7, 2025 (09:05)", "Tuesday Jan 7, 2025", "Tuesday Jan 7, 2025 - 09:05",
      "Tuesday Jan 7, 2025 (09:05)"}},
    {"Sunday 31 December 2000, 23:59", At(2000, 12, 31, 0, 23, 59),
     {"12/31/00", "<12/31/00>", "(12/31/00)", "12/31/00 - 23:59", "12/31/00(23:59)", "Dec 31, 2000",
      "Dec 31, 2000 - 23:59", "Dec 31, 2000 (23:59)", "Sunday Dec 31, 2000", "Sunday Dec 31, 2000 - 23:59",
      "Sunday Dec 31, 2000 (23:59)"}},
    {"Monday 1 January 1996, 00:00", At(1996, 1, 1, 1, 0, 0),
     {"01/01/96", "<01/01/96>", "(01/01/96)", "01/01/96 - 00:00", "01/01/96(00:00)", "Jan 1, 1996",
      "Jan 1, 1996 - 00:00", "Jan 1, 1996 (00:00)", "Monday Jan 1, 1996", "Monday Jan 1, 1996 - 00:00",
      "Monday Jan 1, 1996 (00:00)"}},
    {"Tuesday 30 September 2025, 12:30", At(2025, 9, 30, 2, 12, 30),
     {"09/30/25", "<09/30/25>", "(09/30/25)", "09/30/25 - 12:30", "09/30/25(12:30)", "Sept 30, 2025",
      "Sept 30, 2025 - 12:30", "Sept 30, 2025 (12:30)", "Tuesday Sept 30, 2025",
      "Tuesday Sept 30, 2025 - 12:30", "Tuesday Sept 30, 2025 (12:30)"}},
    {"Saturday 5 August 2006, 17:08", At(2006, 8, 5, 6, 17, 8),
     {"08/05/06", "<08/05/06>", "(08/05/06)", "08/05/06 - 17:08", "08/05/06(17:08)", "Aug 5, 2006",
      "Aug 5, 2006 - 17:08", "Aug 5, 2006 (17:08)", "Saturday Aug 5, 2006", "Saturday Aug 5, 2006 - 17:08",
      "Saturday Aug 5, 2006 (17:08)"}},
};

TEST(DateFormat, EveryLayoutForEachDate) {
  for (const DateCase& c : kCases)
    for (int row = 0; row < kDateLayoutCount; ++row)
      EXPECT_EQ(FormatDate(row, c.time), c.rows[static_cast<std::size_t>(row)]) << c.what << ", row " << row;
}

TEST(DateFormat, MonthAndWeekdayNames) {
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
  const char* days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (int m = 0; m < 12; ++m)
    EXPECT_EQ(FormatDate(5, At(2024, m + 1, 2, 0, 0, 0)), std::string(months[m]) + " 2, 2024");
  for (int d = 0; d < 7; ++d)
    EXPECT_EQ(FormatDate(8, At(2024, 3, 2, d, 0, 0)), std::string(days[d]) + " Mar 2, 2024");
}

TEST(DateFormat, Labels) {
  const char* labels[] = {"mm/dd/yy", "<mm/dd/yy>", "(mm/dd/yy)", "mm/dd/yy - hh:mm", "mm/dd/yy(hh:mm)",
                          "Jan 1, 1996", "Jan 1, 1996 - hh:mm", "Jan 1, 1996 (hh:mm)", "Tuesday Jan 1, 1996",
                          "Tuesday Jan 1, 1996 - hh:mm", "Tuesday Jan 1, 1996 (hh:mm)"};
  for (int row = 0; row < kDateLayoutCount; ++row) EXPECT_STREQ(DateLayoutLabel(row), labels[row]);
  EXPECT_STREQ(DateLayoutLabel(11), "");
  EXPECT_EQ(FormatDate(-1, At(2025, 1, 7, 2, 9, 5)), "");
}

}  // namespace
