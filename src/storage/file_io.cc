#include "storage/file_io.h"

#include <cstdio>
#include <cstring>

void ReportFileError(const std::string& what, int error) {
  std::fprintf(stderr, "stikkel: %s: %s\n", what.c_str(), std::strerror(error));
}
