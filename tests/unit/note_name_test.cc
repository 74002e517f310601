// The name rule: a confirmed value becomes one line of bounded length.
#include <gtest/gtest.h>

#include <string>

#include "model/note_name.h"

namespace {

TEST(NoteNameTest, ValueBecomesOneLineOfAtMost1022Characters) {
  const std::string long_value(1500, 'x');
  struct Case {
    std::string value;
    std::string name;
  } cases[] = {
      {"", ""},
      {"Note 3", "Note 3"},
      {"Shopping\nlist", "Shopping list"},
      {"a\r\nb\rc\n", "a  b c "},
      {"\n", " "},
      {"tab\tand é stay", "tab\tand é stay"},
      {std::string(1022, 'y'), std::string(1022, 'y')},
      {long_value, std::string(1022, 'x')},
      // A break beyond the cut is gone with the rest; one before it is a space.
      {std::string(1021, 'z') + "\nqq\n", std::string(1021, 'z') + " "},
      // A UTF-8 character that would straddle the limit goes as a whole.
      {std::string(1020, 'u') + "\xe6\x97\xa5", std::string(1020, 'u')},
      {std::string(1019, 'u') + "\xe6\x97\xa5", std::string(1019, 'u') + "\xe6\x97\xa5"},
      {std::string(1021, 'u') + "\xc3\xa9", std::string(1021, 'u')},
      {std::string(1019, 'u') + "\xf0\x9f\x99\x82", std::string(1019, 'u')},
      // Latin-1 bytes are characters of one byte each.
      {std::string(1021, 'u') + "\xe9\xe9", std::string(1021, 'u') + "\xe9"},
  };
  for (const Case& c : cases) {
    std::string name = NoteNameFromValue(c.value);
    EXPECT_EQ(name, c.name) << "value of " << c.value.size() << " bytes";
    EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos);
    EXPECT_LE(name.size(), kMaxNameLength);
  }
}

TEST(NoteNameTest, DialogWidthFollowsTheNameAndStaysDrawable) {
  struct Case {
    std::size_t length;
    int name_width;
    int width;
  } cases[] = {
      {6, 10, 160},     // "Note 3"
      {0, 10, 300},     // no name: 30 characters
      {1022, 10, 10320},
      {6, 1, 16},
      {6, 0, 1},        // nameWidth 0 or below would ask for an empty window
      {6, -5, 1},
      {1022, 1000, 32767},
      {1022, 2147483647, 32767},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NameDialogWidth(c.length, c.name_width), c.width) << c.length << " x " << c.name_width;
}

}  // namespace
