// Texts compiled in from resources/ (see resources/embedded.cc.in).
#pragma once

#include <string>
#include <vector>

// The Kleebord app-defaults file as it stands in resources/: comment lines
// start with '!'; every other non-empty line is one fallback resource line.
extern const char* const kAppDefaultsText;
// The resource file that a UTF-8 locale adds, as it stands in
// resources/Kleebord-international (resource file syntax).
extern const char* const kInternationalResourcesText;
// The -help text, byte for byte.
extern const char* const kHelpText;

// The fallback resource lines, in order, as compiled in from resources/Kleebord.
const std::vector<std::string>& FallbackLines();
