#include "app/report.h"

#include <cstdio>

#include "app/app.h"
#include "app/popups.h"

void ReportError(const std::string& message) {
  if (program.toplevel)
    ShowError(message);
  else
    ReportOnStandardError(message);
}

void ReportFileFailure(const std::string& message, const std::string& detail) {
  if (!detail.empty()) ReportOnStandardError(detail);
  ReportError(message);
}

void ReportOnStandardErrorAsIs(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

void ReportOnStandardError(const std::string& text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::fprintf(stderr, "stikkel: %.*s\n", static_cast<int>(end - start), text.data() + start);
    if (end == text.size()) break;
    start = end + 1;
  }
}
