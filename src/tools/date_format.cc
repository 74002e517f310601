#include "tools/date_format.h"

#include <cstdio>

namespace {

const char* const kLabels[kDateLayoutCount] = {
    "mm/dd/yy",
    "<mm/dd/yy>",
    "(mm/dd/yy)",
    "mm/dd/yy - hh:mm",
    "mm/dd/yy(hh:mm)",
    "Jan 1, 1996",
    "Jan 1, 1996 - hh:mm",
    "Jan 1, 1996 (hh:mm)",
    "Tuesday Jan 1, 1996",
    "Tuesday Jan 1, 1996 - hh:mm",
    "Tuesday Jan 1, 1996 (hh:mm)",
};

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
const char* const kWeekdays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};

int Wrap(long value, int modulus) { return static_cast<int>(((value % modulus) + modulus) % modulus); }

std::string TwoDigits(long value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02d", Wrap(value, 100));
  return text;
}

// MM/DD/YY
std::string Numeric(const std::tm& t) {
  return TwoDigits(t.tm_mon + 1L) + "/" + TwoDigits(t.tm_mday) + "/" + TwoDigits(t.tm_year + 1900L);
}

// HH:MN
std::string Clock(const std::tm& t) { return TwoDigits(t.tm_hour) + ":" + TwoDigits(t.tm_min); }

// MON D, YYYY
std::string Long(const std::tm& t) {
  return std::string(kMonths[Wrap(t.tm_mon, 12)]) + " " + std::to_string(t.tm_mday) + ", " +
         std::to_string(t.tm_year + 1900L);
}

// WEEKDAY MON D, YYYY
std::string Full(const std::tm& t) { return std::string(kWeekdays[Wrap(t.tm_wday, 7)]) + " " + Long(t); }

}  // namespace

const char* DateLayoutLabel(int row) {
  return row >= 0 && row < kDateLayoutCount ? kLabels[row] : "";
}

std::string FormatDate(int row, const std::tm& t) {
  switch (row) {
    case 0: return Numeric(t);
    case 1: return "<" + Numeric(t) + ">";
    case 2: return "(" + Numeric(t) + ")";
    case 3: return Numeric(t) + " - " + Clock(t);
    case 4: return Numeric(t) + "(" + Clock(t) + ")";
    case 5: return Long(t);
    case 6: return Long(t) + " - " + Clock(t);
    case 7: return Long(t) + " (" + Clock(t) + ")";
    case 8: return Full(t);
    case 9: return Full(t) + " - " + Clock(t);
    case 10: return Full(t) + " (" + Clock(t) + ")";
    default: return "";
  }
}
