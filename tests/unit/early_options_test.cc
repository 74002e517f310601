// Help and version requests read from the command line without a display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/early_options.h"
#include "model/note.h"

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

TEST(EarlyOptions, CommandsToTheRunningProgram) {
  const std::string kOneAtATime = "-new, -toggle, -raise and -quit are commands to the running stikkel: give one at a time";
  const std::string kTextWithNew = "-text goes with -new: stikkel -new -text TEXT";
  const std::string kTextNeeded = "-text needs the text of the new note after it";
  struct Case {
    std::vector<const char*> args;
    RemoteCommand command;
    const char* text;  // null: none
    std::string error;  // empty: accepted
  } cases[] = {
      {{}, RemoteCommand::kNone, nullptr, ""},
      {{"-new"}, RemoteCommand::kNew, nullptr, ""},
      {{"-ne"}, RemoteCommand::kNew, nullptr, ""},  // a unique abbreviation
      {{"-new", "-text", "two words"}, RemoteCommand::kNew, "two words", ""},
      {{"-text", "", "-new"}, RemoteCommand::kNew, "", ""},
      {{"-new", "-text", "-fg"}, RemoteCommand::kNew, "-fg", ""},  // the value of -text
      {{"-new", "-te", "x"}, RemoteCommand::kNew, "x", ""},
      {{"-toggle"}, RemoteCommand::kToggle, nullptr, ""},
      {{"-raise", "-fg", "red", "-dir", "/tmp"}, RemoteCommand::kRaise, nullptr, ""},
      {{"-quit"}, RemoteCommand::kQuit, nullptr, ""},
      {{"-dir", "-new"}, RemoteCommand::kNone, nullptr, ""},  // a value, not a command
      {{"-title", "-quit", "-toggle"}, RemoteCommand::kToggle, nullptr, ""},
      {{"-new", "-toggle"}, RemoteCommand::kNone, nullptr, kOneAtATime},
      {{"-quit", "-raise"}, RemoteCommand::kNone, nullptr, kOneAtATime},
      {{"-text", "words"}, RemoteCommand::kNone, nullptr, kTextWithNew},
      {{"-toggle", "-text", "words"}, RemoteCommand::kNone, nullptr, kTextWithNew},
      {{"-new", "-text"}, RemoteCommand::kNone, nullptr, kTextNeeded},
      {{"-new", "-tex"}, RemoteCommand::kNone, nullptr, kTextNeeded},
  };
  for (const Case& c : cases) {
    std::vector<const char*> args = c.args;
    std::string words;
    for (const char* a : args) words += std::string(" ") + a;
    args.insert(args.begin(), "stikkel");
    RemoteRequest request;
    std::string err;
    bool ok = CommandOf(static_cast<int>(args.size()), args.data(), &request, &err);
    EXPECT_EQ(ok, c.error.empty()) << words;
    if (!ok) {
      EXPECT_EQ(err, c.error) << words;
      continue;
    }
    EXPECT_EQ(request.command, c.command) << words;
    EXPECT_EQ(request.has_text, c.text != nullptr) << words;
    if (c.text) {
      EXPECT_EQ(request.text, c.text) << words;
    }
  }
  // A text longer than a note holds.
  std::string huge(kMaxTextLength + 1, 'x');
  std::vector<const char*> args = {"stikkel", "-new", "-text", huge.c_str()};
  RemoteRequest request;
  std::string err;
  EXPECT_FALSE(CommandOf(4, args.data(), &request, &err));
  EXPECT_EQ(err, "the text of -text is longer than a note holds (16777216 bytes)");
}

}  // namespace
