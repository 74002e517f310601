// Numbers given as options: checked for range and overflow, quoted as written.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/number_option.h"

namespace {

const NumberOption kBufSize = {"buffer size", 2, INT_MAX, 1024, "bytes"};
const NumberOption kInterval = {"interval", 1, INT_MAX / 60000, 10, "minutes"};
const NumberOption kOffset = {"anchor offset", INT_MIN, INT_MAX, 15, "pixels"};

TEST(NumberOption, ValuesAtAndAroundTheLimits) {
  struct Case {
    const NumberOption* option;
    const char* text;
    long value;
    bool accepted;
  } cases[] = {
      {&kBufSize, "2", 2, true},
      {&kBufSize, "1", 1024, false},
      {&kBufSize, "2147483647", INT_MAX, true},
      {&kBufSize, "2147483648", 1024, false},
      {&kBufSize, "4294967297", 1024, false},  // 2^32 + 1 must not wrap to 1
      {&kBufSize, "99999999999999999999999", 1024, false},
      {&kBufSize, " 4096 ", 4096, true},
      {&kBufSize, "+64", 64, true},
      {&kBufSize, "-1", 1024, false},
      {&kBufSize, "", 1024, false},
      {&kBufSize, "12k", 1024, false},
      {&kBufSize, "0x400", 1024, false},
      {&kInterval, "1", 1, true},
      {&kInterval, "0", 10, false},
      {&kInterval, "35791", 35791, true},
      {&kInterval, "35792", 10, false},
      {&kInterval, "99999999999", 10, false},
      {&kOffset, "-2147483648", INT_MIN, true},
      {&kOffset, "-2147483649", 15, false},
      {&kOffset, "2147483647", INT_MAX, true},
      {&kOffset, "2147483648", 15, false},
  };
  for (const Case& c : cases) {
    long value = -7;
    std::string message = "stale";
    ReadNumberOption(*c.option, c.text, &value, &message);
    EXPECT_EQ(value, c.value) << c.option->what << " \"" << c.text << "\"";
    EXPECT_EQ(message.empty(), c.accepted) << c.option->what << " \"" << c.text << "\": " << message;
    if (!c.accepted) {
      EXPECT_NE(message.find(std::string("\"") + c.text + "\""), std::string::npos) << message;
    }
  }
}

TEST(NumberOption, MessageQuotesWhatTheUserWrote) {
  long value = 0;
  std::string message;
  ReadNumberOption(kBufSize, "4294967297", &value, &message);
  EXPECT_EQ(message,
            "stikkel: buffer size \"4294967297\" is not a whole number from 2 to 2147483647; using 1024 bytes\n");
  ReadNumberOption(kInterval, "99999999999", &value, &message);
  EXPECT_EQ(message, "stikkel: interval \"99999999999\" is not a whole number from 1 to 35791; using 10 minutes\n");
}

}  // namespace
