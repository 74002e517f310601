// Help and version requests read from the command line without a display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/early_options.h"

namespace {

EarlyRequest RequestOf(std::vector<const char*> args) {
  args.insert(args.begin(), "/usr/bin/stikkel");
  return EarlyRequestOf(static_cast<int>(args.size()), args.data());
}

TEST(EarlyOptions, HelpAndVersionAsTheToolkitWouldParseThem) {
  const EarlyRequest kHelp = EarlyRequest::kHelp;
  const EarlyRequest kVersion = EarlyRequest::kVersion;
  const EarlyRequest kNone = EarlyRequest::kNone;
  struct Case {
    std::vector<const char*> args;
    EarlyRequest expected;
  } cases[] = {
      {{}, kNone},
      {{"-help"}, kHelp},
      {{"-?"}, kHelp},
      {{"--help"}, kHelp},
      {{"-h"}, kHelp},
      {{"-hel"}, kHelp},  // a unique abbreviation, as the toolkit takes it
      {{"-version"}, kVersion},
      {{"-version", "-help"}, kHelp},
      {{"-help", "-version"}, kHelp},
      {{"-ns", "-sv", "whatever", "-version"}, kVersion},
      // Values of options that take one are values, not requests.
      {{"-dir", "-help"}, kNone},
      {{"-display", "--help"}, kNone},
      {{"-title", "-version"}, kNone},
      {{"-printcmd", "-h"}, kNone},
      {{"-xrm", "-help"}, kNone},
      {{"-dir", "-help", "-h"}, kHelp},
      {{"-xrm", "stikkel.help: true"}, kHelp},
      {{"-xrm", "*version: on"}, kVersion},
      {{"-xrm", "*help: false"}, kNone},
      {{"-name", "other", "-xrm", "other.help: true"}, kHelp},
      {{"-name", "other", "-xrm", "stikkel.version: true"}, kNone},
      {{"-xrm", "other.help: true", "-name", "other"}, kHelp},
      {{"-helpme"}, kNone},
      {{"help"}, kNone},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const char* a : c.args) words += std::string(" ") + a;
    EXPECT_EQ(RequestOf(c.args), c.expected) << words;
  }
}

TEST(EarlyOptions, ArgumentsAreLeftAlone) {
  std::vector<const char*> args = {"stikkel", "-dir", "/tmp/x", "-help", nullptr};
  std::vector<const char*> copy = args;
  EXPECT_EQ(EarlyRequestOf(4, args.data()), EarlyRequest::kHelp);
  EXPECT_EQ(args, copy);
}

}  // namespace
