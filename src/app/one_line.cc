#include "app/one_line.h"

namespace {

bool IsBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::string OneLine(const std::string& text, std::size_t* pos) {
  const std::size_t first = text.find_first_not_of("\r\n");
  const std::size_t end = first == std::string::npos ? 0 : text.find_last_not_of("\r\n") + 1;
  std::string out;
  out.reserve(text.size());
  std::size_t new_pos = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (pos && i == *pos) new_pos = out.size();
    char c = text[i];
    if (!IsBreak(c)) {
      out += c;
    } else if (first != std::string::npos && i > first && i < end && !IsBreak(text[i - 1])) {
      out += ' ';
    }
  }
  if (pos) *pos = new_pos == std::string::npos ? out.size() : new_pos;
  return out;
}
