// Finding notes without regard to case in any script, and the order of
// names in the lists.
#include "model/note_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(NoteSearch, CaseFreeInEveryScript) {
  struct Case {
    const char* text;
    const char* query;
    bool found;
  } cases[] = {
      {"Buy MILK today", "milk", true},
      {"buy milk", "MiLk", true},
      {"Grüße aus Köln", "GRÜSSE", false},  // simple folding: ß stays one letter
      {"Grüße aus Köln", "KÖLN", true},
      {"ΣΊΣΥΦΟΣ", "σίσυφος", true},          // final sigma meets sigma
      {"σίσυφος", "ΣΊΣΥΦΟΣ", true},
      {"Привет, МИР", "мир", true},
      {"Ǆemal", "ǆ", true},                   // title and upper case digraphs
      {"ŉ and ǅ", "Ǆ", true},
      {"温度 is 20 K", "20 k", true},         // the Kelvin sign
      {"温度", "度", true},
      {"ḀḁḂ", "ḁḁḃ", true},
      {"abc", "abd", false},
      {"abc", "", false},
      {"\xff\xfe Latin-1 bytes \xc4", "latin-1 BYTES \xc4", true},  // not UTF-8: bytes stay
      {"\xc4", "\xe4", false},
  };
  for (const Case& c : cases) {
    CaseFreeMatcher matcher(c.query);
    EXPECT_EQ(matcher.Find(c.text), c.found) << c.text << " / " << c.query;
  }
}

TEST(NoteSearch, MatchBytesInTheOriginalText) {
  struct Case {
    std::string text;
    std::string query;
    std::size_t from;
    std::size_t to;
  } cases[] = {
      {"Buy MILK", "milk", 4, 8},
      {"Ünïcödé text", "CÖDÉ", 5, 11},
      {"20 \u212a here", "k", 3, 6},     // a 3-byte sign matched as a 1-byte letter
      {"xx\u212a\u212ay", "kk", 2, 8},
      {"ab", "AB", 0, 2},
  };
  for (const Case& c : cases) {
    std::size_t from = 99, to = 99;
    ASSERT_TRUE(CaseFreeMatcher(c.query).Find(c.text, &from, &to)) << c.text;
    EXPECT_EQ(from, c.from) << c.text;
    EXPECT_EQ(to, c.to) << c.text;
  }
}

TEST(NoteSearch, NotesFoundByNameOrTextWithTheLineToShow) {
  std::string long_line = std::string(200, 'a') + " needle " + std::string(200, 'b');
  std::vector<std::string> names = {"Shopping", "Work", "needle name", "Long", "None"};
  std::vector<std::string> texts = {"eggs\nmilk\nbread", "call Bob\nNEEDLE in\n\tthe stack", "first line\nsecond",
                                    long_line, "nothing here"};
  std::vector<SearchSubject> subjects;
  for (std::size_t i = 0; i < names.size(); ++i) subjects.push_back({names[i], texts[i]});

  std::vector<SearchHit> hits = SearchNotes(subjects, "Needle", 100);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].index, 1u);
  EXPECT_EQ(hits[0].line, "NEEDLE in");
  EXPECT_EQ(texts[1].substr(hits[0].from, hits[0].to - hits[0].from), "NEEDLE");
  EXPECT_EQ(hits[1].index, 2u);  // by its name: the first line, nothing to select
  EXPECT_EQ(hits[1].line, "first line");
  EXPECT_EQ(hits[1].from, hits[1].to);
  EXPECT_EQ(hits[2].index, 3u);
  EXPECT_LE(hits[2].line.size(), kShownLine + 8);
  EXPECT_NE(hits[2].line.find(" needle "), std::string::npos);

  EXPECT_EQ(SearchNotes(subjects, "MILK", 100)[0].line, "milk");
  EXPECT_EQ(SearchNotes(subjects, "stack", 100)[0].line, " the stack");  // a tab shows as a space
  EXPECT_TRUE(SearchNotes(subjects, "", 100).empty());
  EXPECT_EQ(SearchNotes(subjects, "e", 2).size(), 2u);
  // A line cut short keeps whole characters.
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "\u00e9";
  std::vector<SearchSubject> one = {{"x", wide}};
  std::vector<SearchHit> cut = SearchNotes(one, "\u00c9\u00c9", 10);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].line.size() % 2, 0u);
  EXPECT_LE(cut[0].line.size(), kShownLine);
}

TEST(NoteSearch, NamesInNumericOrder) {
  std::vector<std::string> names = {"Note 7", "Note 8", "note 21", "Note 1", "Note 007", "Note 10b",
                                    "Note 10a", "apple", "Zebra", "Ärger", "2 things", "10 things",
                                    "Note", "Note 99999999999999999999999", "Note 100000000000000000000000"};
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CompareNames(a, b) < 0;
  });
  std::vector<std::string> expected = {"2 things", "10 things", "apple", "Note", "Note 1", "Note 007",
                                       "Note 7", "Note 8", "Note 10a", "Note 10b", "note 21",
                                       "Note 99999999999999999999999", "Note 100000000000000000000000",
                                       "Zebra", "Ärger"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(CompareNames("same", "same"), 0);
  EXPECT_NE(CompareNames("Same", "same"), 0);  // equal but for case: still one order
  EXPECT_EQ(CompareNames("Same", "same"), -CompareNames("same", "Same"));
}

TEST(NoteSearch, TypedPrefixFindsTheFirstName) {
  std::vector<std::string> names = {"apple", "Banana", "berry", "Ölbaum"};
  struct Case {
    const char* typed;
    std::size_t index;
  } cases[] = {{"a", 0}, {"B", 1}, {"be", 2}, {"BERRY", 2}, {"ö", 3}, {"c", 4}, {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(FirstWithPrefix(names, c.typed), c.index) << c.typed;
}

}  // namespace
