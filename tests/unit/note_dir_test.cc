// Making sure the note directory exists: paths, messages and statuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/note_dir.h"
#include "temp_dir.h"

namespace {

struct Captured {
  NoteDirOutcome outcome;
  std::string out;
  std::string err;
};

Captured Ensure(const std::string& note_dir, const std::string& home, bool home_known = true) {
  char* out_buf = nullptr;
  char* err_buf = nullptr;
  size_t out_len = 0, err_len = 0;
  FILE* out = open_memstream(&out_buf, &out_len);
  FILE* err = open_memstream(&err_buf, &err_len);
  Captured c{EnsureNoteDirAt(note_dir, home_known, home, out, err), "", ""};
  std::fclose(out);
  std::fclose(err);
  c.out.assign(out_buf, out_len);
  c.err.assign(err_buf, err_len);
  std::free(out_buf);
  std::free(err_buf);
  return c;
}

bool IsDir(const std::string& path, mode_t* mode = nullptr) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (mode) *mode = st.st_mode & 07777;
  return true;
}

TEST(NoteDir, RelativeDirectoryIsCreatedBelowHomeWithTwoLines) {
  TempDir home;
  umask(022);
  Captured c = Ensure(".tackonnotes", home.path());
  std::string path = home / ".tackonnotes";
  EXPECT_EQ(c.outcome.exit_status, -1);
  EXPECT_EQ(c.outcome.path, path);
  EXPECT_EQ(c.out, path + ": no such file or directory\nTrying to create.\n");
  mode_t mode;
  ASSERT_TRUE(IsDir(path, &mode));
  EXPECT_EQ(mode, 0755);
  // A second start finds it and says nothing.
  Captured again = Ensure(".tackonnotes", home.path());
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(again.outcome.exit_status, -1);
}

TEST(NoteDir, PathsAreJoinedAsGiven) {
  TempDir home;
  struct Case {
    std::string note_dir, home, expected;
  } cases[] = {
      {home.path() + "/abs", "/nowhere", home.path() + "/abs"},
      {"~notes", home.path(), home.path() + "/~notes"},
      {"sub", home.path(), home.path() + "/sub"},
  };
  for (const Case& c : cases) {
    Captured r = Ensure(c.note_dir, c.home);
    EXPECT_EQ(r.outcome.path, c.expected);
    EXPECT_TRUE(IsDir(c.expected)) << c.expected;
  }
}

TEST(NoteDir, EmptyHomeIsNoHome) {
  // Never a note directory at the root of the file system.
  Captured c = Ensure("tmp", "");
  EXPECT_EQ(c.outcome.exit_status, 1);
  EXPECT_EQ(c.err, "stikkel: who are you?\n");

  const char* old = std::getenv("HOME");
  std::string saved = old ? old : "";
  setenv("HOME", "", 1);
  std::string home = "unset";
  bool known = FindHomeDirectory(&home);
  if (old) {
    setenv("HOME", saved.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
  if (known) {
    EXPECT_FALSE(home.empty()) << "the password entry's home, never \"\"";
  }
}

TEST(NoteDir, ExistingPathThatIsNoDirectoryIsRefused) {
  TempDir home;
  WriteFile(home / "file", "x");
  struct Case {
    std::string note_dir;
  } cases[] = {{home / "file"}, {"/dev/null"}};
  for (const Case& k : cases) {
    Captured c = Ensure(k.note_dir, home.path());
    EXPECT_EQ(c.outcome.exit_status, 255) << k.note_dir;
    EXPECT_EQ(c.out, k.note_dir + " is not a directory\nAborting.\n");
  }
  EXPECT_EQ(ReadFile(home / "file"), "x");
}

TEST(NoteDir, MissingParentCannotBeCreated) {
  TempDir home;
  std::string path = home / "missing/notes";
  Captured c = Ensure(path, "/");
  EXPECT_EQ(c.outcome.exit_status, 255);
  EXPECT_EQ(c.out, path + ": no such file or directory\nTrying to create.\nCan't create " + path +
                       "\n; Aborting");
  EXPECT_FALSE(IsDir(home / "missing"));
}

TEST(NoteDir, FileInThePathIsReportedAsInvalid) {
  TempDir home;
  WriteFile(home / "plain", "x");
  std::string path = home / "plain/notes";
  Captured c = Ensure(path, "/");
  EXPECT_EQ(c.outcome.exit_status, 255);
  EXPECT_EQ(c.out, "A portion of the pathname to " + path + " is invalid\nAborting.\n");
}

TEST(NoteDir, SearchPermissionDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "root is never denied search permission";
  TempDir home;
  ASSERT_EQ(mkdir((home / "locked").c_str(), 0), 0);
  std::string path = home / "locked/notes";
  Captured c = Ensure(path, "/");
  EXPECT_EQ(c.outcome.exit_status, 255);
  EXPECT_EQ(c.out, "Search permission denied for portion of path leading to " + path + "\nAborting.\n");
}

TEST(NoteDir, OtherStatErrorsAreUnknown) {
  std::string path = "/" + std::string(5000, 'a');
  Captured c = Ensure(path, "/");
  EXPECT_EQ(c.outcome.exit_status, 255);
  EXPECT_EQ(c.out, "Unknown error (36) while stat()'ing " + path + "\n");
}

TEST(NoteDir, NoHomeDirectoryForARelativePath) {
  Captured c = Ensure(".tackonnotes", "", false);
  EXPECT_EQ(c.outcome.exit_status, 1);
  EXPECT_EQ(c.err, "stikkel: who are you?\n");
  EXPECT_EQ(c.out, "");
}

}  // namespace
