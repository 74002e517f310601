// The owning file descriptor and the report of a failed file call.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "storage/file_io.h"
#include "temp_dir.h"

namespace {

TEST(FileDescriptor, WritesAndReadsWholeFilesAndClosesOnce) {
  TempDir dir;
  const std::string path = dir / "big";
  std::string bytes(3 * 65536 + 17, 'x');  // more than one read's chunk
  for (std::size_t i = 0; i < bytes.size(); i += 101) bytes[i] = '\0';
  {
    FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    ASSERT_TRUE(fd.valid());
    EXPECT_TRUE(fd.WriteAll(bytes));
    EXPECT_TRUE(fd.Close());
    EXPECT_FALSE(fd.valid());
    EXPECT_TRUE(fd.Close()) << "closing a closed one does nothing";
  }
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::string read = "kept:";
  ASSERT_TRUE(fd.ReadAll(&read));
  EXPECT_EQ(read, "kept:" + bytes) << "appended";

  // Moving hands the descriptor over; the moved-from one owns nothing.
  FileDescriptor other = std::move(fd);
  EXPECT_FALSE(fd.valid());
  EXPECT_TRUE(other.valid());
}

TEST(FileDescriptor, FailuresKeepTheirErrno) {
  FileDescriptor full(open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full.valid());
  errno = 0;
  EXPECT_FALSE(full.WriteAll("text"));
  EXPECT_EQ(errno, ENOSPC);
  FileDescriptor directory(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::string bytes;
  errno = 0;
  EXPECT_FALSE(directory.ReadAll(&bytes));
  EXPECT_EQ(errno, EISDIR);
}

}  // namespace
