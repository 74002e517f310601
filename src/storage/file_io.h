// Small helpers for files (X-free).
#pragma once

#include <string>

// Reports a failed call on a file on standard error:
// "stikkel: <what>: <the system's text for error>". what is the path (for a
// failed rename, the two paths joined by a hyphen).
void ReportFileError(const std::string& what, int error);
