// The text of one-line fields.
#include "app/one_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OneLine, LineBreaksAtTheEndsGoInsideOnesBecomeASpace) {
  struct Case {
    std::string text;
    std::size_t pos;
    std::string one_line;
    std::size_t new_pos;
  } cases[] = {
      {"", 0, "", 0},
      {"plain", 5, "plain", 5},
      {"bob@example.org\n", 16, "bob@example.org", 15},
      {"/home/u/dentist.txt\r\n", 21, "/home/u/dentist.txt", 19},
      {"\n\nlead", 2, "lead", 0},
      {"a\nb", 3, "a b", 3},
      {"a\r\n\n\rb", 1, "a b", 1},
      {"a\r\n\n\rb", 3, "a b", 2},
      {"xa\nby", 4, "xa by", 4},
      {"\n", 1, "", 0},
      {"\r\n\r\n", 2, "", 0},
      {"two  spaces\nkept", 0, "two  spaces kept", 0},
  };
  for (const Case& c : cases) {
    std::size_t pos = c.pos;
    EXPECT_EQ(OneLine(c.text, &pos), c.one_line) << c.text;
    EXPECT_EQ(pos, c.new_pos) << c.text;
    EXPECT_EQ(HasLineBreak(c.text), c.text.find_first_of("\r\n") != std::string::npos);
    EXPECT_FALSE(HasLineBreak(c.one_line));
  }
  EXPECT_EQ(OneLine("a\nb"), "a b");
}

}  // namespace
