// The writer of recovery files: its thread does the jobs in the order they
// were asked for, a write waiting its turn takes the newest bytes, a removal
// is never undone by a write asked for before it, failures come back with
// the system's words, and nothing is left half done when it ends.
#include <gtest/gtest.h>

#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/recovery.h"
#include "storage/recovery_writer.h"
#include "temp_dir.h"

namespace {

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

std::string Bytes(char c, std::size_t n) { return std::string(n, c); }

TEST(RecoveryWriter, WritesInTheBackgroundAndTellsWhenResultsWait) {
  TempDir dir;
  RecoveryWriter writer;
  const int fd = writer.fd();
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(Readable(fd)) << "nothing to hear while nothing was asked";
  writer.Write(dir.path(), 7, "note1", "the text", {}, true);
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 10000), 1) << "the descriptor tells that the write is done";
  std::vector<RecoveryWriter::Result> results = writer.TakeResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].ok) << results[0].error;
  EXPECT_EQ(results[0].tag, 7);
  EXPECT_TRUE(results[0].tell);
  EXPECT_EQ(results[0].path, RecoveryPath(dir.path(), "note1"));
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note1")), "the text");
  EXPECT_FALSE(Readable(fd)) << "once taken, the results wake nobody";
  EXPECT_FALSE(writer.Busy());
  EXPECT_EQ(Names(RecoveryDirectory(dir.path())), std::vector<std::string>{"note1"}) << "no temporary is left";
}

TEST(RecoveryWriter, ARemovalIsNeverUndoneByAWriteAskedForBeforeIt) {
  TempDir dir;
  RecoveryWriter writer;
  const std::string path = RecoveryPath(dir.path(), "note1");
  // Large and small writes, each followed at once by a removal (a save):
  // whatever the thread is doing when the removal comes, the file is gone
  // when all is done, and so is the directory.
  for (std::size_t size : {std::size_t{10}, std::size_t{1} << 20, std::size_t{4} << 20}) {
    for (int round = 0; round < 5; ++round) {
      writer.Write(dir.path(), 1, "note1", Bytes('a', size), {}, true);
      writer.Write(dir.path(), 2, "note1", Bytes('b', size), {}, true);
      writer.Remove(dir.path(), 0, "note1");
      writer.Drain();
      EXPECT_FALSE(std::filesystem::exists(path)) << size;
      EXPECT_FALSE(std::filesystem::exists(RecoveryDirectory(dir.path()))) << "empty: removed";
    }
  }
  // Written again after the removal: the newest bytes are there.
  writer.Write(dir.path(), 3, "note1", "first", {}, true);
  writer.Remove(dir.path(), 0, "note1");
  writer.Write(dir.path(), 4, "note1", "second", {}, true);
  writer.Drain();
  EXPECT_EQ(ReadFile(path), "second");
  for (const RecoveryWriter::Result& result : writer.TakeResults()) EXPECT_TRUE(result.ok) << result.error;
}

TEST(RecoveryWriter, AWaitingWriteTakesTheNewestBytes) {
  TempDir dir;
  RecoveryWriter writer;
  // The first write keeps the thread busy while the next ones wait: those
  // of one file are written once, with the last bytes, answering to the
  // last tag.
  writer.Write(dir.path(), 1, "note9", Bytes('x', 8 << 20), {}, true);
  for (int tag = 2; tag <= 20; ++tag) writer.Write(dir.path(), tag, "note1", "version " + std::to_string(tag), {}, true);
  writer.Drain();
  std::vector<RecoveryWriter::Result> results = writer.TakeResults();
  ASSERT_GE(results.size(), 2u);
  EXPECT_LE(results.size(), 20u);
  EXPECT_EQ(results.back().tag, 20);
  EXPECT_EQ(results.back().name, "note1");
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note1")), "version 20");
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note9")).size(), std::size_t{8} << 20);
}

TEST(RecoveryWriter, AFormerNameGoesOnlyOnceTheNewFileIsWritten) {
  TempDir dir;
  RecoveryWriter writer;
  writer.Write(dir.path(), 1, "new3", "unsaved", {}, true);
  writer.Drain();
  writer.TakeResults();
  writer.Write(dir.path(), 2, "note4", "saved under another number", {"new3"}, true);
  writer.Drain();
  std::vector<RecoveryWriter::Result> results = writer.TakeResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].ok) << results[0].error;
  EXPECT_EQ(results[0].removed, std::vector<std::string>{"new3"});
  EXPECT_EQ(Names(RecoveryDirectory(dir.path())), std::vector<std::string>{"note4"});

  // A write that fails leaves the former file where it is.
  writer.Write(dir.path(), 3, "new5", "unsaved", {}, true);
  writer.Drain();
  writer.TakeResults();
  ASSERT_EQ(mkdir(RecoveryPath(dir.path(), "note6").c_str(), 0700), 0);  // in the way of the rename
  writer.Write(dir.path(), 4, "note6", "cannot go there", {"new5"}, true);
  writer.Drain();
  results = writer.TakeResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_FALSE(results[0].ok);
  EXPECT_TRUE(results[0].removed.empty());
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "new5")), "unsaved");
}

TEST(RecoveryWriter, FailuresComeBackInTheSystemsWords) {
  TempDir dir;
  RecoveryWriter writer;
  // A file stands where the recovery directory goes.
  WriteFile(RecoveryDirectory(dir.path()), "in the way");
  writer.Write(dir.path(), 1, "note1", "text", {}, false);
  // Removing from it finds nothing to remove: no failure.
  writer.Remove(dir.path(), 0, "note2");
  writer.Drain();
  std::vector<RecoveryWriter::Result> results = writer.TakeResults();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_FALSE(results[0].ok);
  EXPECT_FALSE(results[0].tell);
  EXPECT_EQ(results[0].error, RecoveryDirectory(dir.path()) + ": " + std::strerror(ENOTDIR));
  EXPECT_TRUE(results[1].removal);
  EXPECT_TRUE(results[1].ok) << results[1].error;
  EXPECT_EQ(ReadFile(RecoveryDirectory(dir.path())), "in the way");
}

// A 64 KiB tmpfs in a mount namespace of this thread's own, which the
// writer's thread, started after it, shares; false when this machine does
// not allow it.
bool MountSmallTmpfs(const std::string& path) {
  static const bool private_mounts =
      unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return private_mounts && mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
}

TEST(RecoveryWriter, AFullOrReadOnlyDiskKeepsTheLastGoodFile) {
  TempDir dir;
  const std::string mnt = dir / "small";
  mkdir(mnt.c_str(), 0755);
  if (!MountSmallTmpfs(mnt)) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string path = RecoveryPath(mnt, "note1");
  struct Step {
    const char* what;
    const char* options;  // the file system's, remounted before the write
    bool read_only;
    std::size_t size;
    int error;  // 0: the write goes through
  };
  const Step steps[] = {
      {"a write that fits", "size=64k", false, 1000, 0},
      {"the disk is full", "size=64k", false, 100 * 1024, ENOSPC},
      {"read-only", "size=64k", true, 10, EROFS},
      {"room again", "size=1m", false, 100 * 1024, 0},
  };
  std::string last_good;
  for (const Step& step : steps) {
    ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT | (step.read_only ? MS_RDONLY : 0), step.options), 0)
        << step.what;
    RecoveryWriter writer;
    const std::string bytes = Bytes('r', step.size);
    writer.Write(mnt, 1, "note1", bytes, {}, true);
    writer.Drain();
    std::vector<RecoveryWriter::Result> results = writer.TakeResults();
    ASSERT_EQ(results.size(), 1u) << step.what;
    EXPECT_EQ(results[0].ok, step.error == 0) << step.what << ": " << results[0].error;
    if (step.error) {
      EXPECT_NE(results[0].error.find(std::strerror(step.error)), std::string::npos) << step.what << ": "
                                                                                     << results[0].error;
    } else {
      last_good = bytes;
    }
    EXPECT_EQ(ReadFile(path), last_good) << step.what;
    EXPECT_EQ(Names(RecoveryDirectory(mnt)), std::vector<std::string>{"note1"}) << step.what << ": no temporary";
  }
  umount2(mnt.c_str(), MNT_DETACH);
}

TEST(RecoveryWriter, EndingFinishesWhatWasAskedFor) {
  TempDir dir;
  {
    RecoveryWriter writer;
    for (int i = 1; i <= 5; ++i) writer.Write(dir.path(), i, "note" + std::to_string(i), Bytes('e', 1 << 20), {}, true);
    writer.Remove(dir.path(), 0, "note5");
  }
  EXPECT_EQ(Names(RecoveryDirectory(dir.path())), (std::vector<std::string>{"note1", "note2", "note3", "note4"}));
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note" + std::to_string(i))).size(), std::size_t{1} << 20);

  // Finished, then asked again: the thread starts anew.
  RecoveryWriter writer;
  writer.Write(dir.path(), 1, "note1", "again", {}, true);
  writer.Finish();
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note1")), "again");
  writer.Write(dir.path(), 2, "note1", "and again", {}, true);
  writer.Drain();
  EXPECT_EQ(ReadFile(RecoveryPath(dir.path(), "note1")), "and again");
}

}  // namespace
