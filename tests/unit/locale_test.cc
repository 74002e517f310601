// Which locale names make the program work in UTF-8, and the resource lines
// that the international mode adds.
#include <gtest/gtest.h>
#include <X11/Xresource.h>

#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/embedded.h"
#include "app/locale.h"

namespace {

TEST(Locale, NamesOfUtf8Locales) {
  const struct {
    const char* name;
    bool utf8;
  } cases[] = {
      {"C.UTF-8", true},       {"C.utf8", true},        {"en_US.UTF-8", true}, {"de_DE.utf8@euro", true},
      {"sr_RS.UTF-8@latin", true}, {"C", false},        {"POSIX", false},      {"", false},
      {"de_DE.ISO-8859-1", false}, {"en_US", false},    {"UTF-8", false},      {"ja_JP.eucJP", false},
      {"tr_TR.UTF-16", false},
  };
  for (const auto& c : cases) EXPECT_EQ(LocaleNameIsUtf8(c.name), c.utf8) << c.name;
}

// Sets the three variables for one test and puts them back afterwards.
class LocaleEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : kVariables) {
      const char* value = std::getenv(v);
      saved_.push_back(value ? std::make_pair(true, std::string(value)) : std::make_pair(false, std::string()));
      unsetenv(v);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < 3; ++i) {
      if (saved_[i].first) setenv(kVariables[i], saved_[i].second.c_str(), 1);
      else unsetenv(kVariables[i]);
    }
  }
  static constexpr const char* kVariables[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::vector<std::pair<bool, std::string>> saved_;
};

TEST_F(LocaleEnvironment, LcAllThenLcCtypeThenLang) {
  EXPECT_EQ(CtypeLocaleFromEnvironment(), "");
  setenv("LANG", "de_DE.ISO-8859-1", 1);
  EXPECT_EQ(CtypeLocaleFromEnvironment(), "de_DE.ISO-8859-1");
  setenv("LC_CTYPE", "C.UTF-8", 1);
  EXPECT_EQ(CtypeLocaleFromEnvironment(), "C.UTF-8");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(CtypeLocaleFromEnvironment(), "C");
  // An empty variable counts as unset.
  setenv("LC_ALL", "", 1);
  EXPECT_EQ(CtypeLocaleFromEnvironment(), "C.UTF-8");
}

// Every font of the fallback resources has a font set for the same widgets
// in the international mode, so no part of the program falls back to the
// toolkit's default font set there.
TEST(InternationalResources, AFontSetForEveryFontLine) {
  XrmInitialize();
  XrmDatabase db = XrmGetStringDatabase(kInternationalResourcesText);
  ASSERT_NE(db, nullptr);
  char* type = nullptr;
  XrmValue value;
  ASSERT_TRUE(XrmGetResource(db, "stikkel.plaid.fontSet", "Kleebord.Plaid.FontSet", &type, &value));
  const std::string generic(value.addr, value.size);
  int fonts = 0;
  for (const std::string& line : FallbackLines()) {
    std::size_t at = line.find("font:");
    if (at == std::string::npos) continue;
    ++fonts;
    std::string specifier = line.substr(0, at) + "fontSet";
    // Look the font set up the way the resource manager does for a widget
    // bound by exactly this specifier.
    std::string query_name = specifier, query_class = specifier;
    for (char& c : query_name) if (c == '*') c = '.';
    for (char& c : query_class) if (c == '*') c = '.';
    ASSERT_TRUE(XrmGetResource(db, query_name.c_str(), query_class.c_str(), &type, &value)) << specifier;
    std::string font_set(value.addr, value.size);
    EXPECT_NE(font_set.find("iso10646-1"), std::string::npos) << specifier;
    EXPECT_NE(font_set.find("jisx0208"), std::string::npos) << specifier;
    EXPECT_NE(font_set, generic) << specifier << " has a font set of its own";
  }
  EXPECT_EQ(fonts, 8);
  ASSERT_TRUE(XrmGetResource(db, "stikkel.TackOnNote.Note.NoteText.international",
                             "Kleebord.TopLevelShell.Form.Text.International", &type, &value));
  EXPECT_STREQ(value.addr, "true");
  XrmDestroyDatabase(db);
}

}  // namespace
