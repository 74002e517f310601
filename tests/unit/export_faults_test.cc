// Exporting a note onto a file system that runs out of space: the failure
// is reported with the system's text, and once there is room again the
// same export writes the whole text.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "tools/path_rules.h"

namespace {

// A 64 KiB tmpfs in a mount namespace of this process's own (nothing stays
// mounted on the machine); false when this machine does not allow it.
bool MountSmallTmpfs(const std::string& path) {
  static const bool private_mounts =
      unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return private_mounts && mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64k") == 0;
}

TEST(ExportFaults, FullDiskIsReportedAndTheNextExportSucceeds) {
  TempDir dir;
  const std::string mnt = dir / "small";
  mkdir(mnt.c_str(), 0755);
  if (!MountSmallTmpfs(mnt)) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string path = mnt + "/exported.txt";
  const std::string text(100 * 1024, 'e');
  std::string error, detail;
  EXPECT_FALSE(WriteExportFile(path, text, &error, &detail));
  EXPECT_EQ(detail, path + ": " + std::strerror(ENOSPC));
  EXPECT_EQ(error, "Can't write " + path + "!");

  ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
  error.clear();
  EXPECT_TRUE(WriteExportFile(path, text, &error)) << error;
  EXPECT_EQ(ReadFile(path), text + "\n");
  umount2(mnt.c_str(), MNT_DETACH);
}

// The names in a directory, for seeing that no temporary file is left.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ExportFaults, FailedExportLeavesTheOldFileAsItWas) {
  TempDir dir;
  const std::string mnt = dir / "small";
  mkdir(mnt.c_str(), 0755);
  if (!MountSmallTmpfs(mnt)) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string path = mnt + "/exported.txt";
  WriteFile(path, "the old text\n");
  chmod(path.c_str(), 0640);
  std::string error, detail;
  // Full: the new text does not fit beside the old one.
  EXPECT_FALSE(WriteExportFile(path, std::string(100 * 1024, 'n'), &error, &detail));
  EXPECT_EQ(error, "Can't write " + path + "!");
  EXPECT_EQ(detail, path + ": " + std::strerror(ENOSPC));
  EXPECT_EQ(ReadFile(path), "the old text\n");
  EXPECT_EQ(Names(mnt), std::vector<std::string>{"exported.txt"});

  // Read-only: nothing can be created there; the old file stays.
  ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
  EXPECT_FALSE(WriteExportFile(path, "new", &error, &detail));
  EXPECT_EQ(detail, path + ": " + std::strerror(EROFS));
  EXPECT_EQ(error, "Can't open " + path + " for writing!");
  EXPECT_EQ(ReadFile(path), "the old text\n");

  ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
  EXPECT_TRUE(WriteExportFile(path, "new", &error)) << error;
  EXPECT_EQ(ReadFile(path), "new\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the new file keeps the old one's permissions";
  EXPECT_EQ(Names(mnt), std::vector<std::string>{"exported.txt"});
  umount2(mnt.c_str(), MNT_DETACH);
}

}  // namespace
