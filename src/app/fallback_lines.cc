#include <cstring>

#include "app/embedded.h"

const std::vector<std::string>& FallbackLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    const char* p = kAppDefaultsText;
    while (*p) {
      const char* end = std::strchr(p, '\n');
      std::string line = end ? std::string(p, end) : std::string(p);
      p = end ? end + 1 : p + line.size();
      if (!line.empty() && line[0] != '!') out.push_back(line);
    }
    return out;
  }();
  return lines;
}
