// The key maps of text widgets: the keyMap resource's values, the desktop
// translations, and the README's table of them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/key_map.h"

namespace {

TEST(KeyMapTest, ResourceValues) {
  struct Case {
    const char* value;
    bool ok;
    KeyMap map;
  } cases[] = {
      {"desktop", true, KeyMap::kDesktop}, {"athena", true, KeyMap::kAthena}, {" Athena\t", true, KeyMap::kAthena},
      {"DESKTOP", true, KeyMap::kDesktop}, {"", false, KeyMap::kDesktop},     {"emacs", false, KeyMap::kDesktop},
      {"athena2", false, KeyMap::kDesktop},
  };
  for (const Case& c : cases) {
    KeyMap map = KeyMap::kDesktop;
    std::string err;
    EXPECT_EQ(ParseKeyMap(c.value, &map, &err), c.ok) << c.value;
    if (c.ok) EXPECT_EQ(map, c.map) << c.value;
    else EXPECT_EQ(err, std::string("key map \"") + c.value + "\" is neither desktop nor athena; using desktop");
  }
}

// The lines of a translation table that bind an event to actions.
bool Binds(const std::string& table, const std::string& event) {
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, event.size() + 1, event + ":") == 0) return true;
  return false;
}

TEST(KeyMapTest, DesktopTranslations) {
  const std::string note = DesktopTranslations("paste-over-selection");
  const std::string field = DesktopTranslations("replace-selection() insert-selection", true);
  for (const std::string* table : {&note, &field}) {
    EXPECT_EQ(table->rfind("#override\n", 0), 0u);
    EXPECT_EQ(table->find("%P"), std::string::npos);
    for (const char* event : {"Ctrl<Key>c", "Ctrl<Key>x", "Ctrl<Key>v", "Ctrl<Key>z", "Ctrl<Key>y", "Ctrl<Key>a",
                              "<Key>Delete", "<Key>BackSpace", "<Key>Home", "Shift<Key>Left", "<Btn1Up>"})
      EXPECT_TRUE(Binds(*table, event)) << event;
    // Keys of the program's own commands are left to them, in both.
    for (const char* event : {"Ctrl<Key>n", "Ctrl<Key>s", "Ctrl<Key>f", "Ctrl Shift<Key>f", "Ctrl<Key>w"})
      EXPECT_FALSE(Binds(*table, event)) << event;
  }
  EXPECT_TRUE(Binds(note, "Ctrl<Key>v") && note.find("Ctrl<Key>v: paste-over-selection(CLIPBOARD)") != std::string::npos);
  EXPECT_NE(field.find("Ctrl<Key>v: replace-selection() insert-selection(CLIPBOARD)"), std::string::npos);
  // A one-line field keeps its own line keys.
  for (const char* event : {"<Key>Up", "<Key>Down", "<Key>Prior", "<Key>Next"}) {
    EXPECT_TRUE(Binds(note, event)) << event;
    EXPECT_FALSE(Binds(field, event)) << event;
  }
  // Selecting with the mouse sets PRIMARY, not the CLIPBOARD.
  EXPECT_NE(note.find("<Btn1Up>: extend-end(PRIMARY, CUT_BUFFER0)"), std::string::npos);
  EXPECT_EQ(note.find("CLIPBOARD, CUT_BUFFER0"), std::string::npos);
}

TEST(KeyMapTest, ReadmeTableIsTheDesktopMap) {
  std::ifstream in(std::string(STIKKEL_SOURCE_DIR) + "/README.md");
  std::stringstream readme;
  readme << in.rdbuf();
  ASSERT_FALSE(readme.str().empty());
  int count = 0;
  const KeyRow* rows = DesktopKeyRows(&count);
  ASSERT_GT(count, 10);
  for (int i = 0; i < count; ++i) {
    std::string row = std::string("| ") + rows[i].keys + " | " + rows[i].does + " | " + rows[i].athena + " |\n";
    EXPECT_NE(readme.str().find(row), std::string::npos) << row;
  }
}

}  // namespace
