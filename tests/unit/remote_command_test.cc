// What a second stikkel hands the running one: the request's wire form and
// the key of the note directory.
#include "storage/remote_command.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "temp_dir.h"

namespace {

// Keys go to $XDG_RUNTIME_DIR for the test's life.
class ScopedRuntimeDir {
 public:
  explicit ScopedRuntimeDir(const std::string& dir) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ~ScopedRuntimeDir() {
    if (had_)
      setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

 private:
  bool had_ = false;
  std::string old_;
};

const std::string kKey(32, 'a');

TEST(RemoteCommand, RequestsGoAndComeBackWhole) {
  RemoteRequest with_text{RemoteCommand::kNew, kKey, true, std::string("line\n\0two\n", 10)};
  RemoteRequest empty_text{RemoteCommand::kNew, kKey, true, ""};
  for (const RemoteRequest& sent :
       {with_text, empty_text, RemoteRequest{RemoteCommand::kNew, kKey, false, ""},
        RemoteRequest{RemoteCommand::kToggle, kKey, false, ""}, RemoteRequest{RemoteCommand::kRaise, kKey, false, ""},
        RemoteRequest{RemoteCommand::kQuit, kKey, false, ""}}) {
    RemoteRequest got;
    ASSERT_TRUE(DecodeRequest(EncodeRequest(sent), &got)) << EncodeRequest(sent);
    EXPECT_EQ(got.command, sent.command);
    EXPECT_EQ(got.key, sent.key);
    EXPECT_EQ(got.has_text, sent.has_text);
    EXPECT_EQ(got.text, sent.text);
  }
}

TEST(RemoteCommand, AnythingElseIsNotARequest) {
  const std::string head = "stikkel-request 1\nkey " + kKey + "\n";
  for (const std::string& bytes : {
           std::string(""),
           head,                                              // no command
           head + "command -new",                             // cut short
           head + "command -delete\n",                        // unknown
           head + "command -toggle\ntext\nwords",             // text on another command
           head + "command -new\nwords",                      // text without its line
           "stikkel-request 2\nkey " + kKey + "\ncommand -new\n",
           std::string("stikkel-request 1\nkey abc\ncommand -new\n"),  // short key
           "stikkel-request 1\nkey " + std::string(32, 'G') + "\ncommand -new\n",
           "stikkel-request 1\ncommand -new\nkey " + kKey + "\n",
       }) {
    RemoteRequest got;
    EXPECT_FALSE(DecodeRequest(bytes, &got)) << bytes;
  }
}

TEST(RemoteCommand, KeysMatchOnlyWhole) {
  EXPECT_TRUE(KeysMatch(kKey, kKey));
  EXPECT_FALSE(KeysMatch(kKey, std::string(31, 'a')));
  EXPECT_FALSE(KeysMatch(std::string(31, 'a'), kKey));
  EXPECT_FALSE(KeysMatch(kKey, std::string(31, 'a') + "b"));
  EXPECT_FALSE(KeysMatch("", kKey));
}

TEST(RemoteCommand, KeyFileIsTheUsersAloneAndNewEachTime) {
  TempDir dir, run;
  ScopedRuntimeDir in_run(run.path() + "/keys");
  // The key stays out of the note directory (a sync engine would carry it).
  EXPECT_EQ(CommandKeyPath(dir.path()).rfind(run.path() + "/keys/stikkel-key-", 0), 0u) << CommandKeyPath(dir.path());
  std::string first, second, read, err;
  ASSERT_TRUE(WriteCommandKey(dir.path(), &first, &err)) << err;
  struct stat st;
  ASSERT_EQ(stat(CommandKeyPath(dir.path()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(ReadCommandKey(dir.path(), &read, &err)) << err;
  EXPECT_EQ(read, first);
  ASSERT_TRUE(WriteCommandKey(dir.path(), &second, &err)) << err;
  EXPECT_NE(second, first);
  ASSERT_TRUE(ReadCommandKey(dir.path(), &read, &err));
  EXPECT_EQ(read, second);

  // A file that holds no key is not one.
  std::ofstream(CommandKeyPath(dir.path())) << "short\n";
  EXPECT_FALSE(ReadCommandKey(dir.path(), &read, &err));
  EXPECT_EQ(err, CommandKeyPath(dir.path()) + ": holds no key");
  RemoveCommandKey(dir.path());
  EXPECT_FALSE(ReadCommandKey(dir.path(), &read, &err));
  EXPECT_EQ(err, CommandKeyPath(dir.path()) + ": No such file or directory");
  // A directory it cannot be written into.
  EXPECT_FALSE(WriteCommandKey(dir.path() + "/missing", &read, &err));
  EXPECT_EQ(err, dir.path() + "/missing: No such file or directory");
  // Another note directory has a key of its own.
  TempDir other;
  EXPECT_NE(CommandKeyPath(other.path()), CommandKeyPath(dir.path()));
  // A keys' directory others can read is refused.
  ASSERT_EQ(chmod((run.path() + "/keys").c_str(), 0755), 0);
  EXPECT_FALSE(WriteCommandKey(dir.path(), &read, &err));
  EXPECT_EQ(err, run.path() + "/keys: not a directory of this user alone");
}

}  // namespace
