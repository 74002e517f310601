#include "app/number_option.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

bool ParseWhole(const char* text, long* value) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE) return false;
  while (std::isspace(static_cast<unsigned char>(*end))) ++end;
  if (*end != '\0') return false;
  *value = v;
  return true;
}

}  // namespace

void ReadNumberOption(const NumberOption& option, const char* text, long* value, std::string* message) {
  message->clear();
  long v = 0;
  if (ParseWhole(text, &v) && v >= option.minimum && v <= option.maximum) {
    *value = v;
    return;
  }
  *value = option.fallback;
  *message = std::string("stikkel: ") + option.what + " \"" + (text ? text : "") + "\" is not a whole number from " +
             std::to_string(option.minimum) + " to " + std::to_string(option.maximum) + "; using " +
             std::to_string(option.fallback) + " " + option.unit + "\n";
}
