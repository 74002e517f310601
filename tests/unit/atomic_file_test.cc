// Replacing a file through a temporary one: every temporary has a name of
// its own, nothing is written through, and the file is replaced whole.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "storage/atomic_file.h"
#include "temp_dir.h"

namespace {

TEST(AtomicFile, EachSaveHasATemporaryNameOfItsOwn) {
  TempDir dir;
  WriteFile(dir / "note1", "old");
  WriteFile(dir / "other", "other");
  // What a crash or an attacker left under the names temporaries had
  // before: never written through.
  const std::string pid = std::to_string(getpid());
  ASSERT_EQ(symlink("other", (dir / ("sk1." + pid)).c_str()), 0);
  ASSERT_EQ(mkdir((dir / ("sk1." + pid + ".x")).c_str(), 0755), 0);
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    FileWriteResult r = ReplaceFile(dir / "note1", "new " + std::to_string(i));
    ASSERT_EQ(r.stage, FileWriteResult::kOk);
    EXPECT_EQ(r.temp_path.rfind(dir / ("sk1." + pid + "."), 0), 0u) << r.temp_path;
    EXPECT_EQ(r.temp_path.size(), (dir / ("sk1." + pid + ".")).size() + 6) << r.temp_path;
    names.insert(r.temp_path);
    struct stat st;
    EXPECT_NE(lstat(r.temp_path.c_str(), &st), 0) << "the temporary is renamed away";
  }
  EXPECT_EQ(names.size(), 50u);
  EXPECT_EQ(ReadFile(dir / "note1"), "new 49");
  EXPECT_EQ(ReadFile(dir / "other"), "other");
}

// Two programs whose processes have the same id (two machines sharing a
// home, two containers) save into one directory at once: each note file
// ends up with its own note's text.
TEST(AtomicFile, SavesOfProcessesWithTheSameIdNeverMix) {
  TempDir dir;
  constexpr int kNotes = 30;
  auto saver = [&dir](int first) {
    // A process of its own in a new PID namespace: its id there is 1.
    if (unshare(CLONE_NEWPID) != 0) _exit(77);
    pid_t child = fork();
    if (child == 0) {
      if (getpid() != 1) _exit(78);
      for (int round = 0; round < 20; ++round)
        for (int i = first; i < first + kNotes; ++i)
          if (ReplaceFile(dir / ("note" + std::to_string(i)), "text of note " + std::to_string(i)).stage !=
              FileWriteResult::kOk)
            _exit(1);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 2);
  };
  pid_t a = fork();
  if (a == 0) saver(0);
  pid_t b = fork();
  if (b == 0) saver(kNotes);
  int status_a = 0, status_b = 0;
  waitpid(a, &status_a, 0);
  waitpid(b, &status_b, 0);
  if (WEXITSTATUS(status_a) == 77 || WEXITSTATUS(status_b) == 77) GTEST_SKIP() << "no PID namespaces here";
  ASSERT_EQ(WEXITSTATUS(status_a), 0);
  ASSERT_EQ(WEXITSTATUS(status_b), 0);
  for (int i = 0; i < 2 * kNotes; ++i)
    EXPECT_EQ(ReadFile(dir / ("note" + std::to_string(i))), "text of note " + std::to_string(i)) << i;
}

TEST(AtomicFile, NoReplaceKeepsAnExistingFile) {
  TempDir dir;
  WriteFile(dir / "note1", "not loaded");
  FileWriteResult r = ReplaceFile(dir / "note1", "new", true);
  EXPECT_EQ(r.stage, FileWriteResult::kExists);
  EXPECT_EQ(ReadFile(dir / "note1"), "not loaded");
  struct stat st;
  EXPECT_NE(lstat(r.temp_path.c_str(), &st), 0) << "nothing is left behind";
  EXPECT_EQ(ReplaceFile(dir / "note2", "new", true).stage, FileWriteResult::kOk);
  EXPECT_EQ(ReadFile(dir / "note2"), "new");
}

TEST(AtomicFile, ADirectoryThatTakesNoFileIsReported) {
  TempDir dir;
  FileWriteResult r = ReplaceFile(dir / "missing/note1", "new");
  EXPECT_EQ(r.stage, FileWriteResult::kOpen);
  EXPECT_EQ(r.error, ENOENT);
  EXPECT_EQ(r.temp_path.rfind(dir / "missing/sk1.", 0), 0u) << r.temp_path;
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
  TempDir dir;
  mode_t old_mask = umask(022);
  WriteFile(dir / "note1", "private");
  chmod((dir / "note1").c_str(), 0600);
  ASSERT_EQ(ReplaceFile(dir / "note1", "still private").stage, FileWriteResult::kOk);
  struct stat st;
  ASSERT_EQ(stat((dir / "note1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(ReplaceFile(dir / "note2", "new").stage, FileWriteResult::kOk);
  ASSERT_EQ(stat((dir / "note2").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new file gets the default permissions";
  umask(old_mask);
}

}  // namespace
