// Replacing a file through a temporary one: whatever stands under the
// temporary name is never written through, and the file is replaced whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "storage/atomic_file.h"
#include "temp_dir.h"

namespace {

struct Leftover {
  const char* what;
  std::function<void(const TempDir&)> plant;  // puts something under the name "tmp"
  FileWriteResult::Stage stage;
};

TEST(AtomicFile, NeverWritesThroughWhatStandsUnderTheTemporaryName) {
  const Leftover cases[] = {
      {"nothing", [](const TempDir&) {}, FileWriteResult::kOk},
      {"a leftover file", [](const TempDir& d) { WriteFile(d / "tmp", "stale stale stale"); }, FileWriteResult::kOk},
      {"a link to another file", [](const TempDir& d) { symlink("other", (d / "tmp").c_str()); }, FileWriteResult::kOk},
      {"a dangling link", [](const TempDir& d) { symlink("gone/x", (d / "tmp").c_str()); }, FileWriteResult::kOk},
      {"a directory", [](const TempDir& d) { mkdir((d / "tmp").c_str(), 0755); }, FileWriteResult::kOpen},
  };
  for (const Leftover& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFile(dir / "note1", "old");
    WriteFile(dir / "other", "other");
    c.plant(dir);
    FileWriteResult r = ReplaceFile(dir / "tmp", dir / "note1", "new");
    EXPECT_EQ(r.stage, c.stage);
    EXPECT_EQ(ReadFile(dir / "other"), "other");
    EXPECT_EQ(ReadFile(dir / "note1"), c.stage == FileWriteResult::kOk ? "new" : "old");
    struct stat st;
    ASSERT_EQ(lstat((dir / "note1").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    if (c.stage == FileWriteResult::kOk) {
      EXPECT_NE(lstat((dir / "tmp").c_str(), &st), 0) << "the temporary name is gone";
    }
  }
}

TEST(AtomicFile, NoReplaceKeepsAnExistingFile) {
  TempDir dir;
  WriteFile(dir / "note1", "not loaded");
  FileWriteResult r = ReplaceFile(dir / "tmp", dir / "note1", "new", true);
  EXPECT_EQ(r.stage, FileWriteResult::kExists);
  EXPECT_EQ(ReadFile(dir / "note1"), "not loaded");
  EXPECT_EQ(ReplaceFile(dir / "tmp", dir / "note2", "new", true).stage, FileWriteResult::kOk);
  EXPECT_EQ(ReadFile(dir / "note2"), "new");
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
  TempDir dir;
  mode_t old_mask = umask(022);
  WriteFile(dir / "note1", "private");
  chmod((dir / "note1").c_str(), 0600);
  ASSERT_EQ(ReplaceFile(dir / "tmp", dir / "note1", "still private").stage, FileWriteResult::kOk);
  struct stat st;
  ASSERT_EQ(stat((dir / "note1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(ReplaceFile(dir / "tmp", dir / "note2", "new").stage, FileWriteResult::kOk);
  ASSERT_EQ(stat((dir / "note2").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new file gets the default permissions";
  umask(old_mask);
}

}  // namespace
