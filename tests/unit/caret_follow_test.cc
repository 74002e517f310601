// The insertion point of a note whose text another machine changed stays
// between the same characters.
#include <gtest/gtest.h>

#include <string>

#include "model/caret_follow.h"

namespace {

TEST(CaretInNewText, StaysBetweenTheSameCharacters) {
  struct Case {
    const char* what;
    std::string old_text, new_text;
    std::size_t caret, expected;
  };
  const Case cases[] = {
      {"added after the caret", "r1 call", "r1 r2 call", 3, 3},
      {"added before the caret", "r1 call", "r2 r1 call", 3, 6},
      {"added at the caret, the same first letter", "a r8 call", "a r10 r8 call", 2, 2},
      {"added before, the same first letter", "r8 |", "r10 r8 |", 3, 7},
      {"at the end", "milk\n", "bread\nmilk\n", 5, 11},
      {"at the start", "milk\n", "milk\nbread\n", 0, 0},
      {"inside a part that was replaced: after what replaced it", "milk eggs tea", "milk rice tea", 7, 9},
      {"inside a part that was cut out", "milk eggs tea", "milk tea", 7, 5},
      {"all of it replaced", "abc", "xyz!", 1, 4},
      {"emptied", "abc", "", 2, 0},
      {"filled", "", "abc", 0, 0},
      {"a caret past the end counts as the end", "ab", "xab", 9, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t at = CaretInNewText(c.old_text, c.new_text, c.caret);
    EXPECT_EQ(at, c.expected);
    // What stood left of the caret (up to the change) still does.
    if (c.caret <= c.old_text.size() && at <= c.new_text.size() && c.expected == c.caret) {
      EXPECT_EQ(c.old_text.substr(0, c.caret), c.new_text.substr(0, at));
    }
  }
}

TEST(CaretInNewText, CountsWideCharacters) {
  EXPECT_EQ(CaretInNewText(std::wstring(L"\u00fcber"), std::wstring(L"\u4e2d \u00fcber"), 1), 3u);
}

}  // namespace
