#include "model/note_name.h"

#include <algorithm>

#include "model/utf8.h"

std::string NoteNameFromValue(const std::string& value) {
  std::string name = value.substr(0, Utf8PrefixLength(value, kMaxNameLength));
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return name;
}

int NameDialogWidth(std::size_t name_length, int name_width) {
  constexpr long long kMaxWidth = 32767;
  long long chars = name_length == 0 ? 30 : static_cast<long long>(std::min<std::size_t>(name_length, kMaxWidth)) + 10;
  long long width = chars * name_width;
  return static_cast<int>(std::clamp(width, 1LL, kMaxWidth));
}
