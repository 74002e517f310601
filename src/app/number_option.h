// Reading a whole number the user gave as an option or resource (X-free).
#pragma once

#include <string>

struct NumberOption {
  const char* what;     // how the message names it: "interval", "buffer size"
  long minimum;
  long maximum;
  long fallback;        // used when the text is unusable
  const char* unit;     // as in "using 10 minutes"
};

// Reads text as a decimal whole number within the option's range; white
// space around it and a sign are allowed. When the text is unusable (empty,
// not a number, out of range, too large to hold) *value becomes the
// fallback and *message says why, quoting the text as written; otherwise
// *message is left empty.
void ReadNumberOption(const NumberOption& option, const char* text, long* value, std::string* message);
