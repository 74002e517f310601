// The note directory's lock: one holder at a time, released by the kernel
// when the holder ends, the holder named in the file.
#include "storage/dir_lock.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"

namespace {

// What a Take ended in, to compare with one of three.
enum Outcome { kTaken, kHeld, kUnavailable };
Outcome TakeOf(NoteDirLock& lock, const std::string& dir, std::string* error) {
  bool held = true;
  if (lock.Take(dir, &held, error)) return kTaken;
  return held ? kHeld : kUnavailable;
}

TEST(DirLock, OneHolderAtATime) {
  TempDir dir;
  std::string error;
  NoteDirLock first, second;
  ASSERT_EQ(TakeOf(first, dir.path(), &error), kTaken) << error;
  EXPECT_EQ(TakeOf(second, dir.path(), &error), kHeld);
  LockHolder holder;
  EXPECT_FALSE(ReadLockHolder(dir.path(), &holder)) << "no holder named before Announce";
  ASSERT_TRUE(first.Announce({"box", 42}, &error)) << error;
  ASSERT_TRUE(ReadLockHolder(dir.path(), &holder));
  EXPECT_EQ(holder.host, "box");
  EXPECT_EQ(holder.pid, 42);
  first.Release();
  struct stat st;
  EXPECT_NE(stat(LockFilePath(dir.path()).c_str(), &st), 0) << "a clean exit removes the file";
  EXPECT_EQ(TakeOf(second, dir.path(), &error), kTaken) << error;
}

TEST(DirLock, AKilledHolderLeavesTheLockAndItsNameIsDropped) {
  TempDir dir;
  pid_t child = fork();
  if (child == 0) {
    NoteDirLock lock;
    std::string error;
    if (TakeOf(lock, dir.path(), &error) != kTaken || !lock.Announce({"gone", 7}, &error)) _exit(1);
    _exit(0);  // as if killed: no Release
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
  LockHolder holder;
  EXPECT_TRUE(ReadLockHolder(dir.path(), &holder)) << "the file still names the dead holder";
  NoteDirLock next;
  std::string error;
  EXPECT_EQ(TakeOf(next, dir.path(), &error), kTaken) << error;
  EXPECT_FALSE(ReadLockHolder(dir.path(), &holder)) << "the new holder empties it";
}

TEST(DirLock, AHolderInAnotherProcessIsSeenAndTheSeekerTouchesNothing) {
  TempDir dir;
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  if (child == 0) {
    NoteDirLock lock;
    std::string error;
    if (TakeOf(lock, dir.path(), &error) == kTaken) (void)!lock.Announce({"there", 99}, &error);
    char c = 1;
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  const std::string path = LockFilePath(dir.path());
  std::string before = ReadFile(path);
  struct stat st_before, st_after;
  ASSERT_EQ(stat(path.c_str(), &st_before), 0);
  NoteDirLock seeker;
  std::string error;
  EXPECT_EQ(TakeOf(seeker, dir.path(), &error), kHeld);
  ASSERT_EQ(stat(path.c_str(), &st_after), 0);
  EXPECT_EQ(ReadFile(path), "there 99\n");
  EXPECT_EQ(st_after.st_mtim.tv_nsec, st_before.st_mtim.tv_nsec);
  EXPECT_EQ(st_after.st_mtim.tv_sec, st_before.st_mtim.tv_sec);
  (void)!write(done[1], &c, 1);
  waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
  EXPECT_EQ(TakeOf(seeker, dir.path(), &error), kTaken) << error;
}

// A sync engine may delete ".lock" or put another file in its place: the
// holder keeps the notes, names itself again, and never removes a lock
// file that is not its own.
TEST(DirLock, HoldsWhenTheLockFileIsDeletedOrReplaced) {
  for (const char* what : {"deleted", "replaced"}) {
    SCOPED_TRACE(what);
    TempDir dir;
    const std::string path = LockFilePath(dir.path());
    NoteDirLock first, second;
    std::string error;
    ASSERT_EQ(TakeOf(first, dir.path(), &error), kTaken) << error;
    ASSERT_TRUE(first.Announce({"box", 42}, &error)) << error;
    if (std::string(what) == "deleted") {
      ASSERT_EQ(unlink(path.c_str()), 0);
    } else {
      WriteFile(dir / "lock.new", "elsewhere 7\n");
      ASSERT_EQ(rename((dir / "lock.new").c_str(), path.c_str()), 0);
    }
    EXPECT_EQ(TakeOf(second, dir.path(), &error), kHeld) << "no second holder while the file is away";
    ASSERT_TRUE(first.Keep(&error)) << error;
    LockHolder holder;
    ASSERT_TRUE(ReadLockHolder(dir.path(), &holder));
    EXPECT_EQ(holder.host, "box") << "named again";
    EXPECT_TRUE(first.Keep(&error)) << "nothing to do while the file is its own";
    EXPECT_EQ(TakeOf(second, dir.path(), &error), kHeld);
    first.Release();
    struct stat st;
    EXPECT_NE(stat(path.c_str(), &st), 0);
    EXPECT_EQ(TakeOf(second, dir.path(), &error), kTaken) << error;
  }
}

TEST(DirLock, AReleaseLeavesALockFileThatIsNotItsOwn) {
  TempDir dir;
  const std::string path = LockFilePath(dir.path());
  NoteDirLock first;
  std::string error;
  ASSERT_EQ(TakeOf(first, dir.path(), &error), kTaken) << error;
  ASSERT_TRUE(first.Announce({"box", 42}, &error)) << error;
  WriteFile(dir / "lock.new", "other 7\n");
  ASSERT_EQ(rename((dir / "lock.new").c_str(), path.c_str()), 0);
  first.Release();
  EXPECT_EQ(ReadFile(path), "other 7\n");
}

TEST(DirLock, AnUnusableLockFileIsReported) {
  TempDir dir;
  ASSERT_EQ(symlink("elsewhere", LockFilePath(dir.path()).c_str()), 0);
  NoteDirLock lock;
  std::string error;
  EXPECT_EQ(TakeOf(lock, dir.path(), &error), kUnavailable);
  EXPECT_NE(error.find("/.lock: "), std::string::npos) << error;
}

TEST(DirLock, HolderLines) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    long pid;
  } cases[] = {
      {"box 42\n", true, "box", 42},
      {"my host 7\n", true, "my host", 7},
      {"box 42", false, "", 0},  // still being written
      {"", false, "", 0},
      {"box\n", false, "", 0},
      {" 42\n", false, "", 0},
      {"box -1\n", false, "", 0},
      {"box 0\n", false, "", 0},
      {"box 4x\n", false, "", 0},
      {"box 99999999999999999\n", false, "", 0},
  };
  for (const Case& c : cases) {
    LockHolder h;
    EXPECT_EQ(ParseLockHolder(c.text, &h), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(h.host, c.host);
      EXPECT_EQ(h.pid, c.pid);
      EXPECT_EQ(FormatLockHolder(h), c.text);
    }
  }
}

}  // namespace
