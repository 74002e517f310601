// UTF-8 validity, Latin-1 conversion and cutting on character boundaries.
#include <gtest/gtest.h>

#include <string>

#include "model/utf8.h"

namespace {

// The sample text of the notes: accents, dashes, Greek, Cyrillic, CJK and an
// emoji (1, 2, 3 and 4 bytes a character).
const std::string kSample = "caf\xc3\xa9 \xe2\x80\x93 \xce\xb1\xce\xb2 \xd0\x96 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x99\x82";

struct ValidityCase {
  const char* what;
  std::string bytes;
  bool valid;
};

TEST(Utf8, Validity) {
  const ValidityCase cases[] = {
      {"empty", "", true},
      {"ASCII", "milk\nbread\n", true},
      {"the sample", kSample, true},
      {"highest code point", "\xf4\x8f\xbf\xbf", true},
      {"U+FFFD", "\xef\xbf\xbd", true},
      {"NUL byte", std::string("a\0b", 3), true},
      {"Latin-1 e acute", "caf\xe9", false},
      {"stray continuation byte", "a\x80z", false},
      {"lead byte at the end", "abc\xc3", false},
      {"truncated three-byte character", "\xe6\x97", false},
      {"truncated four-byte character", "\xf0\x9f\x99", false},
      {"overlong slash (c0 af)", "\xc0\xaf", false},
      {"overlong three bytes", "\xe0\x80\xaf", false},
      {"overlong four bytes", "\xf0\x80\x80\xaf", false},
      {"surrogate half", "\xed\xa0\x80", false},
      {"above U+10FFFF", "\xf4\x90\x80\x80", false},
      {"f5 lead", "\xf5\x80\x80\x80", false},
      {"ff byte", "\xff", false},
      {"mostly UTF-8 with one stray byte", kSample + "\x96" + kSample, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.what;
}

TEST(Utf8, CharLength) {
  EXPECT_EQ(Utf8CharLength(""), 0u);
  EXPECT_EQ(Utf8CharLength("a"), 1u);
  EXPECT_EQ(Utf8CharLength("\xc3\xa9x"), 2u);
  EXPECT_EQ(Utf8CharLength("\xe6\x97\xa5"), 3u);
  EXPECT_EQ(Utf8CharLength("\xf0\x9f\x99\x82"), 4u);
  EXPECT_EQ(Utf8CharLength("\xe9"), 0u);
  EXPECT_EQ(Utf8CharLength("\xa9"), 0u);
}

TEST(Utf8, Latin1BecomesUtf8) {
  EXPECT_EQ(Latin1ToUtf8(""), "");
  EXPECT_EQ(Latin1ToUtf8("plain"), "plain");
  EXPECT_EQ(Latin1ToUtf8("caf\xe9 na\xefve \xa0\xff"), "caf\xc3\xa9 na\xc3\xafve \xc2\xa0\xc3\xbf");
  // Every byte value comes out valid and distinct: nothing is lost.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = Latin1ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(utf8.size(), 127u + 2 * 128u);
}

TEST(Utf8, StoredTextShowsValidUtf8AsItIsAndAnythingElseAsLatin1) {
  bool latin1 = true;
  EXPECT_EQ(StoredTextToUtf8(kSample, &latin1), kSample);
  EXPECT_FALSE(latin1);
  EXPECT_EQ(StoredTextToUtf8("Gr\xfc\xdf" "e", &latin1), "Gr\xc3\xbc\xc3\x9f" "e");
  EXPECT_TRUE(latin1);
  // One stray byte makes the whole text Latin-1: every byte stays visible,
  // none is dropped or replaced.
  std::string mixed = "\xc3\xa9t\xe9";
  EXPECT_EQ(StoredTextToUtf8(mixed, &latin1), "\xc3\x83\xc2\xa9t\xc3\xa9");
  EXPECT_TRUE(latin1);
  EXPECT_EQ(StoredTextToUtf8(""), "");
}

struct CutCase {
  const char* what;
  std::string bytes;
  std::size_t limit;
  std::size_t expected;
};

TEST(Utf8, PrefixNeverSplitsACharacter) {
  const std::string e = "\xc3\xa9";                // 2 bytes
  const std::string nichi = "\xe6\x97\xa5";        // 3 bytes
  const std::string smile = "\xf0\x9f\x99\x82";    // 4 bytes
  const CutCase cases[] = {
      {"shorter than the limit", "abc", 10, 3},
      {"exactly the limit", "abc", 3, 3},
      {"ASCII one above", "abcd", 3, 3},
      {"limit 0", e, 0, 0},
      {"two-byte char at the limit", "ab" + e, 4, 4},
      {"two-byte char one above", "ab" + e, 3, 2},
      {"three-byte char, limit inside after 1", "a" + nichi, 2, 1},
      {"three-byte char, limit inside after 2", "a" + nichi, 3, 1},
      {"three-byte char ends at the limit", "a" + nichi + "b", 4, 4},
      {"four-byte char, each inner limit", smile + smile, 5, 4},
      {"four-byte char, limit after 3 of the second", smile + smile, 7, 4},
      {"four-byte char ends at the limit", smile + smile, 8, 8},
      {"invalid byte counts alone", "ab\xe9" "cd", 3, 3},
      {"stray continuation bytes count alone", "a\x80\x80\x80\x80", 3, 3},
      {"truncated character is no character", "a\xe6\x97", 2, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8PrefixLength(c.bytes, c.limit), c.expected) << c.what;
}

TEST(Utf8, EveryCutOfTheSampleIsValid) {
  for (std::size_t limit = 0; limit <= kSample.size(); ++limit) {
    std::size_t n = Utf8PrefixLength(kSample, limit);
    EXPECT_LE(n, limit);
    EXPECT_GE(n + 3, limit) << "cuts at most the one straddling character";
    EXPECT_TRUE(IsValidUtf8(kSample.substr(0, n))) << limit;
  }
}

}  // namespace

namespace {

TEST(Utf8, ALatin1FileKeepsItsBytesUntilTheTextChanges) {
  const std::string file = "Gr\xfc\xdf" "e aus K\xf6ln";
  bool latin1 = false;
  const std::string shown = StoredTextToUtf8(file, &latin1);
  ASSERT_TRUE(latin1);
  EXPECT_EQ(BytesToStore(shown, file), file) << "unchanged: the file's own bytes";
  EXPECT_EQ(BytesToStore(shown + "!", file), shown + "!") << "changed: UTF-8";
  // Typing a character and deleting it again leaves the text as it was read.
  std::string edited = shown;
  edited.insert(3, "x");
  edited.erase(3, 1);
  EXPECT_EQ(BytesToStore(edited, file), file);
  // A file that was UTF-8 (nothing kept) is written as the note shows it.
  EXPECT_EQ(BytesToStore("caf\xc3\xa9", ""), "caf\xc3\xa9");
  EXPECT_EQ(BytesToStore("", ""), "");
}

}  // namespace

namespace {

TEST(Utf8, WideCharactersRoundTrip) {
  const std::wstring chars = WideFromUtf8(kSample);
  EXPECT_EQ(chars, std::wstring(L"caf\u00e9 \u2013 \u03b1\u03b2 \u0416 \u65e5\u672c \U0001F642"));
  std::string back;
  AppendWideAsUtf8(&back, chars.data(), chars.size());
  EXPECT_EQ(back, kSample);
  // A long text, its characters of every length falling across every
  // place the encoder may stop to hand bytes on, appended after text.
  std::string long_sample;
  for (int i = 0; i < 500; ++i) long_sample += kSample + std::string(i % 4, 'x');
  const std::wstring long_chars = WideFromUtf8(long_sample);
  back = "before ";
  AppendWideAsUtf8(&back, long_chars.data(), long_chars.size());
  EXPECT_EQ(back, "before " + long_sample);
}

TEST(Utf8, CharactersAreCounted) {
  EXPECT_EQ(Utf8CharCount(""), 0u);
  EXPECT_EQ(Utf8CharCount(kSample), 16u);
  EXPECT_EQ(Utf8CharCount("a\xe9z\xe2\x80"), 5u) << "a byte that starts no character is one";
}

TEST(Utf8, WideConversionNeverDropsAnything) {
  // A byte that starts no character comes in as its Latin-1 character.
  EXPECT_EQ(WideFromUtf8("a\xe9z\xe2\x80"), std::wstring(L"a\u00e9z\u00e2\u0080"));
  // What no UTF-8 can hold goes out as U+FFFD, one for one.
  const wchar_t odd[] = {0xd800, 0x110000, L'x'};
  std::string out;
  AppendWideAsUtf8(&out, odd, 3);
  EXPECT_EQ(out, "\xef\xbf\xbd\xef\xbf\xbdx");
}

}  // namespace
