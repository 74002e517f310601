// The keys of text widgets (X-free): the desktop map, with the keys of
// today's desktop programs, or Athena's own (Emacs) keys, as the keyMap
// resource says. The one table here is both the translations the text
// widgets get and the table the README shows.
#pragma once

#include <string>

enum class KeyMap { kDesktop, kAthena };

// The keyMap resource's value: "desktop" or "athena", in any case, blanks
// around it ignored. False, with the whole message in *err, for any other.
bool ParseKeyMap(const std::string& value, KeyMap* map, std::string* err);

// One key of the desktop map: the translation lines (events and actions;
// %P stands for the text's action that pastes over the selection), the keys as the README names them, what they do and
// what the Athena map does with them.
struct KeyRow {
  const char* translations;
  const char* keys;
  const char* does;
  const char* athena;
  // Keys that move between lines: a one-line field leaves them as they
  // were bound before.
  bool lines = false;
};

// The rows of the desktop map, in the order of its table; *count is set.
const KeyRow* DesktopKeyRows(int* count);

// The #override translation table of the desktop map for a text widget
// whose action that pastes the named selections over its selection is
// `paste_over` (a list of actions, the last one taking the names); for a
// one-line field without the rows of keys that move between lines.
std::string DesktopTranslations(const std::string& paste_over, bool one_line = false);
