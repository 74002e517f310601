// Exporting a note onto a file system that runs out of space: the failure
// is reported with the system's text, and once there is room again the
// same export writes the whole text.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <string>

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
  std::string error;
  ExportStatus status = WriteExportFile(path, text, &error);
  EXPECT_EQ(status, ExportStatus::kCannotWrite);
  EXPECT_EQ(error, "No space left on device");
  EXPECT_EQ(ExportFailureMessage(status, path), "Can't write " + path + "!");

  ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
  error.clear();
  EXPECT_EQ(WriteExportFile(path, text, &error), ExportStatus::kWritten) << error;
  EXPECT_EQ(ReadFile(path), text + "\n");
  umount2(mnt.c_str(), MNT_DETACH);
}

}  // namespace
