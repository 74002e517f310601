// Where the insertion point goes when a text is replaced by another version
// of it (one another machine wrote): between the same characters as before,
// so that what is typed next lands where it would have (X-free).
#pragma once

#include <algorithm>
#include <cstddef>

// The text the two versions begin and end with is the same; only what lies
// between changed. A caret in the common beginning stays; one in the common
// end keeps its distance from the end; one inside the changed part goes to
// the end of what took its place. Positions count the strings' elements
// (bytes, or wide characters).
template <typename Text>
std::size_t CaretInNewText(const Text& old_text, const Text& new_text, std::size_t caret) {
  caret = std::min(caret, old_text.size());
  const std::size_t shorter = std::min(old_text.size(), new_text.size());
  std::size_t head = 0;
  while (head < shorter && old_text[head] == new_text[head]) ++head;
  std::size_t tail = 0;
  while (tail < shorter - head && old_text[old_text.size() - 1 - tail] == new_text[new_text.size() - 1 - tail])
    ++tail;
  if (caret <= head) return caret;
  if (caret >= old_text.size() - tail) return new_text.size() - (old_text.size() - caret);
  return new_text.size() - tail;
}
