#include "tools/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "temp_dir.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st.st_mode;
}

TEST(TempFile, PathFromDirectoryAndPid) {
  EXPECT_EQ(TempFilePath("/tmp", 4321), "/tmp/sk4321");
  EXPECT_EQ(TempFilePath("/var/tmp/a b", 7), "/var/tmp/a b/sk7");
}

TEST(TempFile, CreatedPrivateWhateverTheUmask) {
  TempDir dir;
  std::string path = TempFilePath(dir.path(), 99);
  mode_t old = umask(0);
  TempFile file;
  bool opened = file.Open(path);
  umask(old);
  ASSERT_TRUE(opened) << std::strerror(errno);
  EXPECT_EQ(ModeOf(path) & 07777, 0600u);
  EXPECT_TRUE(file.Write("hello\n", 6));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(ReadFile(path), "hello\n");
}

TEST(TempFile, LeftoverOwnFileIsReusedEmptyAndPrivate) {
  TempDir dir;
  std::string path = dir / "sk1";
  WriteFile(path, "old contents that are longer");
  chmod(path.c_str(), 0644);
  TempFile file;
  ASSERT_TRUE(file.Open(path)) << std::strerror(errno);
  EXPECT_TRUE(file.Write("new", 3));
  file.Close();
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(ModeOf(path) & 07777, 0600u);
}

TEST(TempFile, SymbolicLinkIsNeverFollowed) {
  TempDir dir;
  std::string target = dir / "precious";
  WriteFile(target, "keep me");
  chmod(target.c_str(), 0644);
  std::string dangling = dir / "not-there";
  for (const std::string& to : {target, dangling}) {
    std::string path = dir / "sk2";
    unlink(path.c_str());
    ASSERT_EQ(symlink(to.c_str(), path.c_str()), 0);
    TempFile file;
    errno = 0;
    EXPECT_FALSE(file.Open(path)) << to;
    EXPECT_NE(errno, 0);
    EXPECT_TRUE(S_ISLNK(ModeOf(path)));
  }
  EXPECT_EQ(ReadFile(target), "keep me");
  EXPECT_EQ(ModeOf(target) & 07777, 0644u);
  EXPECT_NE(access(dangling.c_str(), F_OK), 0);
}

TEST(TempFile, DirectoryFifoAndHardLinkAreRefused) {
  TempDir dir;
  std::string as_dir = dir / "sk3";
  ASSERT_EQ(mkdir(as_dir.c_str(), 0700), 0);
  std::string fifo = dir / "sk4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string other = dir / "other";
  WriteFile(other, "linked data");
  std::string linked = dir / "sk5";
  ASSERT_EQ(link(other.c_str(), linked.c_str()), 0);
  for (const std::string& path : {as_dir, fifo, linked}) {
    TempFile file;
    errno = 0;
    EXPECT_FALSE(file.Open(path)) << path;  // and does not hang on the FIFO
    EXPECT_NE(errno, 0) << path;
    EXPECT_EQ(file.fd(), -1);
  }
  EXPECT_EQ(ReadFile(other), "linked data");
}

TEST(TempFile, AnotherUsersFileIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
  TempDir dir;
  std::string path = dir / "sk6";
  WriteFile(path, "theirs");
  chmod(path.c_str(), 0666);
  ASSERT_EQ(chown(path.c_str(), 54321, 54321), 0);
  TempFile file;
  errno = 0;
  EXPECT_FALSE(file.Open(path));
  EXPECT_EQ(errno, EPERM);
  EXPECT_EQ(ReadFile(path), "theirs");
}

TEST(TempFile, MissingDirectoryFailsWithErrno) {
  TempFile file;
  errno = 0;
  EXPECT_FALSE(file.Open("/nonexistent-dir-for-stikkel/sk1"));
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
