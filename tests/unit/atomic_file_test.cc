// Replacing a file through a temporary one: every temporary has a name of
// its own, nothing is written through, and the file is replaced whole.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
    ReplaceDetails r;
    std::string err;
    ASSERT_TRUE(ReplaceFile(dir / "note1", "new " + std::to_string(i), &err, {}, &r)) << err;
    ASSERT_EQ(r.failed_step, ReplaceDetails::kDone);
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
          if (std::string err; !ReplaceFile(dir / ("note" + std::to_string(i)), "text of note " + std::to_string(i), &err))
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
  ReplaceOptions keep;
  keep.keep_existing = true;
  ReplaceDetails r;
  std::string err;
  EXPECT_FALSE(ReplaceFile(dir / "note1", "new", &err, keep, &r));
  EXPECT_TRUE(r.exists);
  EXPECT_EQ(r.failed_step, ReplaceDetails::kRename);
  EXPECT_EQ(err, r.temp_path + "-" + (dir / "note1") + ": " + std::strerror(EEXIST));
  EXPECT_EQ(ReadFile(dir / "note1"), "not loaded");
  struct stat st;
  EXPECT_NE(lstat(r.temp_path.c_str(), &st), 0) << "nothing is left behind";
  EXPECT_TRUE(ReplaceFile(dir / "note2", "new", &err, keep, &r)) << err;
  EXPECT_FALSE(r.exists);
  EXPECT_EQ(ReadFile(dir / "note2"), "new");
}

// A sync engine may rename a new version over the file while a save
// writes and flushes its own: asked just before the rename, the save leaves
// that version in place and removes its temporary.
TEST(AtomicFile, AFileChangedWhileTheNewOneIsWrittenIsNotReplaced) {
  TempDir dir;
  const std::string path = dir / "note1";
  WriteFile(path, "old");
  ReplaceOptions options;
  options.still_as_seen = [&] {
    WriteFile(dir / ".syncthing.note1.tmp", "theirs");
    rename((dir / ".syncthing.note1.tmp").c_str(), path.c_str());
    return false;
  };
  std::string err;
  ReplaceDetails details;
  EXPECT_FALSE(ReplaceFile(path, "ours", &err, options, &details));
  EXPECT_EQ(details.failed_step, ReplaceDetails::kChanged);
  EXPECT_EQ(ReadFile(path), "theirs");
  DIR* d = opendir(dir.path().c_str());
  int entries = 0;
  while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
  closedir(d);
  EXPECT_EQ(entries, 1) << "no temporary left";
  options.still_as_seen = [] { return true; };
  EXPECT_TRUE(ReplaceFile(path, "ours", &err, options)) << err;
  EXPECT_EQ(ReadFile(path), "ours");
}

TEST(AtomicFile, ADirectoryThatTakesNoFileIsReported) {
  TempDir dir;
  ReplaceDetails r;
  std::string err;
  EXPECT_FALSE(ReplaceFile(dir / "missing/note1", "new", &err, {}, &r));
  EXPECT_EQ(r.failed_step, ReplaceDetails::kCreate);
  EXPECT_EQ(r.reason, std::strerror(ENOENT));
  EXPECT_EQ(err, r.temp_path + ": " + std::strerror(ENOENT));
  EXPECT_FALSE(r.exists);
  EXPECT_EQ(r.temp_path.rfind(dir / "missing/sk1.", 0), 0u) << r.temp_path;
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
  TempDir dir;
  mode_t old_mask = umask(022);
  WriteFile(dir / "note1", "private");
  chmod((dir / "note1").c_str(), 0600);
  std::string err;
  ASSERT_TRUE(ReplaceFile(dir / "note1", "still private", &err)) << err;
  struct stat st;
  ASSERT_EQ(stat((dir / "note1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_TRUE(ReplaceFile(dir / "note2", "new", &err)) << err;
  ASSERT_EQ(stat((dir / "note2").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new file gets the default permissions";
  umask(old_mask);
}

// The temporaries left in dir by saves.
std::set<std::string> Temporaries(const TempDir& dir) {
  std::set<std::string> names;
  DIR* d = opendir(dir.path().c_str());
  while (struct dirent* e = readdir(d))
    if (std::string(e->d_name).rfind("sk1.", 0) == 0) names.insert(dir / e->d_name);
  closedir(d);
  return names;
}

TEST(AtomicFile, APassTakesWhatWasWrittenAheadOnlyWhenItIsStillTheNewVersion) {
  struct Case {
    const char* what;
    const char* ahead;     // what was written ahead for note1
    const char* saved;     // then saved, or null: no save comes
    bool keep_existing;
    bool replaced;         // the save returns true
    const char* after;     // note1's contents after the pass
    bool takes;            // the save renames the temporary written ahead
  } cases[] = {
      {"the same bytes", "new", "new", false, true, "new", true},
      {"the record changed meanwhile", "new", "newer", false, true, "newer", false},
      {"other bytes of the same length", "new", "wen", false, true, "wen", false},
      {"no save came", "new", nullptr, false, true, "old", false},
      {"the file must not be replaced", "new", "new", true, false, "old", true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir / "note1", "old");
    {
      ReplacePass pass;
      pass.WriteAhead(dir / "note1", c.ahead);
      std::set<std::string> ahead = Temporaries(dir);
      ASSERT_EQ(ahead.size(), 1u) << c.what;
      EXPECT_EQ(ReadFile(*ahead.begin()), c.ahead) << c.what;
      EXPECT_EQ(ReadFile(dir / "note1"), "old") << c.what << ": nothing is renamed before the save";
      pass.StartWriteback();
      if (c.saved) {
        ReplaceOptions options;
        options.keep_existing = c.keep_existing;
        options.pass = &pass;
        ReplaceDetails r;
        std::string err;
        EXPECT_EQ(ReplaceFile(dir / "note1", c.saved, &err, options, &r), c.replaced) << c.what << ": " << err;
        EXPECT_EQ(r.exists, !c.replaced) << c.what;
        EXPECT_EQ(r.temp_path == *ahead.begin(), c.takes) << c.what;
      }
    }
    EXPECT_EQ(ReadFile(dir / "note1"), c.after) << c.what;
    EXPECT_TRUE(Temporaries(dir).empty()) << c.what << ": nothing is left behind";
  }
}

TEST(AtomicFile, APassWritesAheadManyFilesAndTheSecondOfOnePathWins) {
  TempDir dir;
  ReplacePass pass;
  for (int i = 0; i < 300; ++i) pass.WriteAhead(dir / ("note" + std::to_string(i)), "text " + std::to_string(i));
  pass.WriteAhead(dir / "note7", "seven again");
  EXPECT_EQ(Temporaries(dir).size(), 300u);
  pass.StartWriteback();
  for (int i = 0; i < 300; ++i) {
    std::string bytes = i == 7 ? "seven again" : "text " + std::to_string(i);
    ReplaceOptions options;
    options.keep_existing = true;
    options.pass = &pass;
    std::string err;
    ASSERT_TRUE(ReplaceFile(dir / ("note" + std::to_string(i)), bytes, &err, options)) << err;
    EXPECT_EQ(ReadFile(dir / ("note" + std::to_string(i))), bytes);
  }
  std::string err;
  EXPECT_TRUE(pass.Finish(&err)) << err;
  EXPECT_TRUE(Temporaries(dir).empty());
}

}  // namespace
