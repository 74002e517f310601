#include "app/key_map.h"

#include <cctype>

namespace {

// The actions of the desktop map besides Athena's own: copy-clipboard,
// cut-clipboard, delete-or(action), move(action), select-to(action), redo.
// A shifted letter is bound in both cases: which of them the toolkit sees
// depends on the keyboard map. Keys with more modifiers come first, since
// the first line that matches wins.
const KeyRow kRows[] = {
    {"Ctrl<Key>c: copy-clipboard()\nCtrl<Key>Insert: copy-clipboard()", "Ctrl+C, Ctrl+Insert",
     "copy the selection to the CLIPBOARD", "Ctrl+C pastes cut buffer 0"},
    {"Ctrl<Key>x: cut-clipboard()\nShift<Key>Delete: cut-clipboard()", "Ctrl+X, Shift+Delete",
     "cut the selection to the CLIPBOARD", "Ctrl+X inserts the byte 0x18; Shift+Delete deletes backwards"},
    {"Ctrl<Key>v: %P(CLIPBOARD)\nShift<Key>Insert: %P(CLIPBOARD)",
     "Ctrl+V, Shift+Insert, Ctrl+Shift+V",
     "paste the CLIPBOARD (over the selection, if any)", "Ctrl+V: next page; the others paste the CLIPBOARD"},
    {"Ctrl Shift<Key>z: redo()\nCtrl Shift<Key>Z: redo()\nCtrl<Key>y: redo()", "Ctrl+Shift+Z, Ctrl+Y",
     "redo", "Ctrl+Y pastes the SECONDARY selection"},
    {"Ctrl<Key>z: undo()", "Ctrl+Z", "undo", "scroll one line up"},
    {"Ctrl<Key>a: select-all(PRIMARY)", "Ctrl+A", "select all", "beginning of line"},
    {"Ctrl<Key>Delete: delete-or(delete-next-word)\n<Key>Delete: delete-or(delete-next-character)", "Delete",
     "delete the selection, else the next character (Ctrl: word)", "delete the previous character"},
    {"Ctrl<Key>BackSpace: delete-or(delete-previous-word)\n<Key>BackSpace: delete-or(delete-previous-character)",
     "BackSpace", "delete the selection, else the previous character (Ctrl: word)",
     "the previous character, the selection kept"},
    {"Ctrl Shift<Key>Home: select-to(beginning-of-file)\nCtrl<Key>Home: move(beginning-of-file)\n"
     "Shift<Key>Home: select-to(beginning-of-line)\n<Key>Home: move(beginning-of-line)\n"
     "Ctrl Shift<Key>End: select-to(end-of-file)\nCtrl<Key>End: move(end-of-file)\n"
     "Shift<Key>End: select-to(end-of-line)\n<Key>End: move(end-of-line)",
     "Home, End, Ctrl+Home, Ctrl+End", "start and end of the line; Ctrl: of the text",
     "start and end of the text"},
    {"Ctrl Shift<Key>Left: select-to(backward-word)\nCtrl<Key>Left: move(backward-word)\n"
     "Shift<Key>Left: select-to(backward-character)\n<Key>Left: move(backward-character)\n"
     "Ctrl Shift<Key>Right: select-to(forward-word)\nCtrl<Key>Right: move(forward-word)\n"
     "Shift<Key>Right: select-to(forward-character)\n<Key>Right: move(forward-character)",
     "Left, Right; with Shift", "move (Ctrl: by words); with Shift extend the selection",
     "move; Shift changes nothing"},
    {"Shift<Key>Up: select-to(previous-line)\n<Key>Up: move(previous-line)\n"
     "Shift<Key>Down: select-to(next-line)\n<Key>Down: move(next-line)\n"
     "Shift<Key>Prior: select-to(previous-page)\n<Key>Prior: move(previous-page)\n"
     "Shift<Key>Next: select-to(next-page)\n<Key>Next: move(next-page)",
     "Up, Down, Page Up, Page Down; with Shift", "move (not in one-line fields); with Shift extend the selection",
     "move; Shift changes nothing", true},
    {"<Btn1Up>: extend-end(PRIMARY, CUT_BUFFER0)\n<Btn3Up>: extend-end(PRIMARY, CUT_BUFFER0)",
     "selecting with the mouse", "sets the PRIMARY selection (button 2 pastes it)",
     "sets the PRIMARY selection and the CLIPBOARD"},
    {"", "typing or pasting with a selection", "replaces the selection", "inserts at the caret"},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

bool ParseKeyMap(const std::string& value, KeyMap* map, std::string* err) {
  std::size_t begin = 0, end = value.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(value[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(value[end - 1]))) --end;
  std::string word;
  for (std::size_t i = begin; i < end; ++i) word += static_cast<char>(std::tolower(static_cast<unsigned char>(value[i])));
  if (word == "desktop") {
    *map = KeyMap::kDesktop;
    return true;
  }
  if (word == "athena") {
    *map = KeyMap::kAthena;
    return true;
  }
  if (err) *err = "key map \"" + value + "\" is neither desktop nor athena; using desktop";
  return false;
}

const KeyRow* DesktopKeyRows(int* count) {
  *count = static_cast<int>(sizeof kRows / sizeof kRows[0]);
  return kRows;
}

std::string DesktopTranslations(const std::string& paste_over, bool one_line) {
  std::string table = "#override";
    // Ctrl+Shift+V pastes the CLIPBOARD as Ctrl+V does; first, since it has
  // more modifiers.
  table += "\nCtrl Shift<Key>v: %P(CLIPBOARD)\nCtrl Shift<Key>V: %P(CLIPBOARD)";
  for (const KeyRow& row : kRows)
    if (*row.translations && !(one_line && row.lines)) table += std::string("\n") + row.translations;
  return Replace(table, "%P", paste_over);
}
