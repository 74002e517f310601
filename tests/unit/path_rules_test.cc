// Paths and listings of the file selection window.
#include "tools/path_rules.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

TEST(PathRulesTest, StartDirectory) {
  struct Case {
    const char* home_dir;
    const char* home_env;
    const char* expected;
  } cases[] = {
      {"/data/notes", "/home/u", "/data/notes"},
      {nullptr, "/home/u", "/home/u"},
      {"", "/home/u", "/home/u"},
      {nullptr, nullptr, "/"},
      {nullptr, "", "/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StartDirectory(c.home_dir, c.home_env), c.expected)
        << (c.home_dir ? c.home_dir : "(null)") << " " << (c.home_env ? c.home_env : "(null)");
}

TEST(PathRulesTest, ParentDirectory) {
  struct Case {
    const char* dir;
    const char* parent;
  } cases[] = {
      {"/home/u", "/home"},  {"/home", "/"},  {"/home/u/", "/home/u"}, {"notes", "/"},
      {"/", "/"},            {"a/b", "a"},    {"/usr/local/", "/usr/local"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParentDirectory(c.dir), c.parent) << c.dir;
    std::string path, error;
    ASSERT_TRUE(DirectoryButtonPath(c.dir, "..", &path, &error)) << c.dir;
    EXPECT_EQ(path, c.parent) << c.dir;
  }
}

TEST(PathRulesTest, Joins) {
  struct Case {
    const char* dir;
    const char* name;
    const char* joined;
  } cases[] = {
      {"/home/u", "notes", "/home/u/notes"},
      {"/", "etc", "/etc"},
      {"/", ".profile", "/.profile"},
      {"notes", "a.txt", "notes/a.txt"},
      {"/home/u/", "x", "/home/u//x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinPath(c.dir, c.name), c.joined);
    std::string path, error;
    ASSERT_TRUE(DirectoryButtonPath(c.dir, c.name, &path, &error));
    EXPECT_EQ(path, c.joined);
    ASSERT_TRUE(FileButtonPath(c.dir, c.name, &path, &error));
    EXPECT_EQ(path, c.joined);
  }
}

TEST(PathRulesTest, LengthChecksAndTheirMessages) {
  const std::string dir_1020 = "/" + std::string(1019, 'd');
  const std::string dir_1025 = "/" + std::string(1024, 'd');
  std::string path = "unchanged", error;

  // A directory button: dir plus name up to 1024 characters is fine.
  EXPECT_TRUE(DirectoryButtonPath(dir_1020, "abcd", &path, &error));
  EXPECT_EQ(path, dir_1020 + "/abcd");
  path = "unchanged";
  EXPECT_FALSE(DirectoryButtonPath(dir_1020, "abcde", &path, &error));
  EXPECT_EQ(error, "Path name too long! Max length: 1024\nPath name: " + dir_1020 + "\n");
  EXPECT_EQ(path, "unchanged");

  // ".." refuses a current directory longer than 1024 characters.
  EXPECT_TRUE(DirectoryButtonPath(dir_1025.substr(0, 1024), "..", &path, &error));
  EXPECT_FALSE(DirectoryButtonPath(dir_1025, "..", &path, &error));
  EXPECT_EQ(error, "Path name too long! Max length: 1024\nPath name (masterpath): " + dir_1025 + "\n");

  // A file button names the file in its message.
  EXPECT_TRUE(FileButtonPath(dir_1020, "abcd", &path, &error));
  EXPECT_FALSE(FileButtonPath(dir_1020, "abcde", &path, &error));
  EXPECT_EQ(error, "File name (abcde) is too long!");

  // A typed path.
  EXPECT_TRUE(CheckTypedPath(std::string(1024, 'x'), &error));
  EXPECT_FALSE(CheckTypedPath(std::string(1025, 'x'), &error));
  EXPECT_EQ(error, "File name (" + std::string(1025, 'x') + ") is too long!");
}

TEST(PathRulesTest, PathFieldWidth) {
  EXPECT_EQ(PathFieldWidth(10, std::strlen("/home/u")), 80);
  EXPECT_EQ(PathFieldWidth(10, 1), 20);
  EXPECT_EQ(PathFieldWidth(0, 7), 10);
  // Widths that no window can have are kept in range, never 0 or negative.
  EXPECT_EQ(PathFieldWidth(64, 1024), 32767);
  EXPECT_EQ(PathFieldWidth(-100, 7), 1);
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(PathRulesTest, ListingSplitsDirectoriesAndFiles) {
  TempDir dir;
  mkdir((dir / "sub").c_str(), 0755);
  mkdir((dir / ".hidden_dir").c_str(), 0755);
  WriteFile(dir / "a.txt", "a");
  WriteFile(dir / ".profile", "p");
  ASSERT_EQ(symlink("a.txt", (dir / "link_to_file").c_str()), 0);
  ASSERT_EQ(symlink("sub", (dir / "link_to_dir").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  // A socket has the bits of both a directory and a regular file in its
  // mode; it is neither.
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sock_path = dir / "sock";
  ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sock_path.c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  DirectoryListing listing;
  std::string diagnostics;
  ASSERT_TRUE(ListDirectoryEntries(dir.path(), &listing, &diagnostics));
  close(sock);
  EXPECT_EQ(Sorted(listing.directories), (std::vector<std::string>{"..", ".hidden_dir", "link_to_dir", "sub"}));
  EXPECT_EQ(Sorted(listing.files), (std::vector<std::string>{".profile", "a.txt", "link_to_file"}));
  EXPECT_EQ(diagnostics, "");
}

TEST(PathRulesTest, CharacterDevicesAreNotFiles) {
  DirectoryListing listing;
  std::string diagnostics;
  ASSERT_TRUE(ListDirectoryEntries("/dev", &listing, &diagnostics));
  for (const std::string& name : listing.files) EXPECT_NE(name, "null");
  for (const std::string& name : listing.directories) EXPECT_NE(name, "null");
}

TEST(PathRulesTest, RootListsNoParent) {
  DirectoryListing listing;
  std::string diagnostics;
  ASSERT_TRUE(ListDirectoryEntries("/", &listing, &diagnostics));
  EXPECT_EQ(std::count(listing.directories.begin(), listing.directories.end(), ".."), 0);
  EXPECT_EQ(std::count(listing.directories.begin(), listing.directories.end(), "."), 0);
  EXPECT_GT(std::count(listing.directories.begin(), listing.directories.end(), "tmp"), 0);
}

TEST(PathRulesTest, ListsAtMost1024OfEachKindInDirectoryOrder) {
  TempDir dir;
  for (int i = 0; i < 1100; ++i) WriteFile(dir / ("f" + std::to_string(i)), "");
  for (int i = 0; i < 3; ++i) mkdir((dir / ("d" + std::to_string(i))).c_str(), 0755);
  DirectoryListing listing;
  std::string diagnostics;
  ASSERT_TRUE(ListDirectoryEntries(dir.path(), &listing, &diagnostics));
  ASSERT_EQ(listing.files.size(), 1024u);
  EXPECT_EQ(Sorted(listing.directories), (std::vector<std::string>{"..", "d0", "d1", "d2"}));

  // The first 1024 the directory yields, in its order.
  std::vector<std::string> order;
  DIR* stream = opendir(dir.path().c_str());
  ASSERT_NE(stream, nullptr);
  while (const dirent* e = readdir(stream))
    if (e->d_name[0] == 'f') order.push_back(e->d_name);
  closedir(stream);
  order.resize(1024);
  EXPECT_EQ(listing.files, order);
}

TEST(PathRulesTest, AnEntryWithoutStatusIsReportedAndSkipped) {
  TempDir dir;
  WriteFile(dir / "kept.txt", "k");
  mkdir((dir / "kept_dir").c_str(), 0755);
  ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
  DirectoryListing listing;
  std::string diagnostics;
  ASSERT_TRUE(ListDirectoryEntries(dir.path(), &listing, &diagnostics));
  EXPECT_EQ(Sorted(listing.directories), (std::vector<std::string>{"..", "kept_dir"}));
  EXPECT_EQ(listing.files, std::vector<std::string>{"kept.txt"});
  EXPECT_EQ(diagnostics, dir.path() + ": No such file or directory\nstikkel: Can't stat file - " +
                             (dir / "dangling") + "\n");
}

TEST(PathRulesTest, ADirectoryThatCannotBeOpened) {
  TempDir dir;
  DirectoryListing listing;
  std::string diagnostics;
  std::string missing = dir / "missing";
  EXPECT_FALSE(ListDirectoryEntries(missing, &listing, &diagnostics));
  EXPECT_EQ(diagnostics, missing + ": No such file or directory\nstikkel: Can't open directory - " + missing + "\n");
}

TEST(PathRulesTest, ExportWritesTextAndOneNewline) {
  TempDir dir;
  struct Case {
    std::string existing;  // "" = no file before
    std::string text;
    std::string expected;
  } cases[] = {
      {"", "hello\nworld", "hello\nworld\n"},
      {"", "", "\n"},
      {"a much longer old content\n", "short", "short\n"},
  };
  for (const Case& c : cases) {
    std::string path = dir / "out.txt";
    unlink(path.c_str());
    if (!c.existing.empty()) WriteFile(path, c.existing);
    std::string error;
    EXPECT_TRUE(WriteExportFile(path, c.text, &error)) << error;
    EXPECT_EQ(ReadFile(path), c.expected);
  }
}

TEST(PathRulesTest, ExportReplacesTheFileALinkLeadsTo) {
  TempDir dir;
  const std::string real = dir / "real.txt";
  const std::string link = dir / "link.txt";
  WriteFile(real, "old");
  chmod(real.c_str(), 0600);
  ASSERT_EQ(symlink("real.txt", link.c_str()), 0);
  std::string error;
  EXPECT_TRUE(WriteExportFile(link, "new", &error)) << error;
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
  EXPECT_EQ(ReadFile(real), "new\n");
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A dangling link: its target is created, as writing through it would.
  const std::string dangling = dir / "dangling.txt";
  ASSERT_EQ(symlink("created.txt", dangling.c_str()), 0);
  EXPECT_TRUE(WriteExportFile(dangling, "made", &error)) << error;
  EXPECT_EQ(ReadFile(dir / "created.txt"), "made\n");
}

TEST(PathRulesTest, ExportTemporaryFileSitsBesideTheTarget) {
  EXPECT_EQ(ExportTempPath("/home/u/list.txt", 42), "/home/u/.list.txt.sk42");
  EXPECT_EQ(ExportTempPath("list.txt", 7), ".list.txt.sk7");
  EXPECT_EQ(ExportTempPath("/list", 7), "/.list.sk7");
  EXPECT_EQ(ExportTempPath("/d/" + std::string(300, 'n'), 1), "/d/." + std::string(200, 'n') + ".sk1");
}

TEST(PathRulesTest, ExportFailures) {
  TempDir dir;
  std::string error, detail;
  std::string missing = dir / "no/such/dir/out.txt";
  EXPECT_FALSE(WriteExportFile(missing, "x", &error, &detail));
  EXPECT_EQ(error, "Can't open " + missing + " for writing!");
  EXPECT_EQ(detail, missing + ": " + std::strerror(ENOENT));

  // A full disk: the write fails, and that is never success.
  EXPECT_FALSE(WriteExportFile("/dev/full", "text", &error, &detail));
  EXPECT_EQ(detail, "/dev/full: " + std::string(std::strerror(ENOSPC)));
  EXPECT_EQ(error, "Can't write /dev/full!");

  // A FIFO nobody reads is refused instead of hanging the program.
  std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(WriteExportFile(fifo, "x", &error));
  EXPECT_EQ(error, "Can't open " + fifo + " for writing!");
}

TEST(PathRulesTest, ExportBeyondTheFileSizeLimitFails) {
  TempDir dir;
  std::string path = dir / "big.txt";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{10, 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    _exit(!WriteExportFile(path, std::string(100, 'x'), &error) && error == "Can't write " + path + "!" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
