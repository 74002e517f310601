// Recovery files on disk: written whole through a new temporary, and at
// start-up applied, removed or kept by their age and whether they read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "stderr_capture.h"
#include "storage/load.h"
#include "storage/note_file.h"
#include "storage/recovery.h"
#include "temp_dir.h"

namespace {

constexpr ScreenSize kScreen{1024, 768};

std::string NoteBytes(const std::string& name, const std::string& text) {
  Note note;
  note.name = name;
  note.text = text;
  note.width = 200;
  note.height = 100;
  note.x = 10;
  note.y = 20;
  return FormatNoteFile(note, kScreen);
}

// Sets a file's modification time, seconds from now.
void Age(const std::string& path, int seconds) {
  struct timeval times[2];
  gettimeofday(&times[0], nullptr);
  times[0].tv_sec += seconds;
  times[1] = times[0];
  ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RecoveryFile, IsWrittenWholeThroughANewTemporary) {
  TempDir dir;
  std::string path, error;
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), 3, "first", &path, &error)) << error;
  EXPECT_EQ(path, dir / ".recovery/note3");
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), 3, "second", &path, &error)) << error;
  EXPECT_EQ(ReadFile(path), "second");
  EXPECT_EQ(Entries(dir / ".recovery"), std::vector<std::string>{"note3"}) << "no temporary left";
  struct stat st;
  ASSERT_EQ(stat((dir / ".recovery").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), 4, "other", &path, &error)) << error;
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), 3, &error)) << error;
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), 3, &error)) << "gone already";
  EXPECT_TRUE(std::filesystem::exists(dir / ".recovery"));
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), 4, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir / ".recovery")) << "an empty directory goes";
  // What cannot be removed is named with the system's words.
  ASSERT_EQ(mkdir((dir / ".recovery").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(RecoveryPath(dir.path(), 5).c_str(), 0700), 0);
  error.clear();
  EXPECT_FALSE(RemoveRecoveryFile(dir.path(), 5, &error));
  EXPECT_EQ(error, RecoveryPath(dir.path(), 5) + ": " + std::strerror(EISDIR));
  rmdir(RecoveryPath(dir.path(), 5).c_str());
  rmdir((dir / ".recovery").c_str());

  // A link planted under the directory's name is never written through.
  TempDir other;
  TempDir planted;
  symlink(other.path().c_str(), (planted / ".recovery").c_str());
  EXPECT_FALSE(WriteRecoveryFile(planted.path(), 1, "x", &path, &error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  EXPECT_TRUE(Entries(other.path()).empty());
}

class ApplyRecoveryTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    mkdir((dir_ / ".recovery").c_str(), 0700);
  }
  void NoteFile(const std::string& file, const std::string& name, const std::string& text, int age) {
    WriteFile(dir_ / file, NoteBytes(name, text));
    Age(dir_ / file, age);
  }
  void Recovery(const std::string& file, const std::string& bytes, int age) {
    WriteFile(dir_ / (".recovery/" + file), bytes);
    Age(dir_ / (".recovery/" + file), age);
  }
  RecoveredNotes Apply(bool utf8 = false) {
    NoteFileReadOptions options;
    options.screen = kScreen;
    options.utf8 = utf8;
    StderrCapture err;
    LoadNoteFiles(notes_, options);
    RecoveredNotes r = ApplyRecoveryFiles(notes_, options);
    EXPECT_EQ(err.Text(), "") << "what is kept is told by the caller";
    return r;
  }
  // The lines the user is told, one after the other.
  static std::string Told(const RecoveredNotes& r) {
    std::string text;
    for (const std::string& line : r.problems) text += line + "\n";
    return text;
  }
  TempDir dir_;
  NoteList notes_;
};

TEST_F(ApplyRecoveryTest, NewerFilesApplyOlderGoUnreadableStay) {
  NoteFile("note1", "Shopping", "milk\n", -100);
  NoteFile("note2", "Work", "call Bob\n", -100);
  NoteFile("note3", "Old", "saved later\n", -10);
  Recovery("note1", NoteBytes("Shopping list", "milk\neggs and a long line past the buffer\n"), -50);
  Recovery("note3", NoteBytes("Old", "typed before the save\n"), -50);
  Recovery("note4", NoteBytes("Never saved", "new\n"), -5);
  Recovery("note2", "%%!!<tackonnote> 1 2 3\ntorn", -5);
  Recovery("note9", NoteBytes("Nine", "x"), -5);
  mkdir((dir_ / ".recovery/note5").c_str(), 0700);
  Recovery("tmp.123.abcdef", "half a wri", -5);
  const std::string note1_before = ReadFile(dir_ / "note1");

  RecoveredNotes r = Apply();
  std::string messages = Told(r);

  ASSERT_EQ(r.notes.size(), 3u);  // note1, note4 and note9, in directory order
  Note* one = notes_.FindNote(1);
  EXPECT_EQ(one->text, "milk\neggs and a long line past the buffer\n");
  EXPECT_EQ(one->name, "Shopping list");
  EXPECT_TRUE(one->changed());
  EXPECT_GT(one->buffer_size, one->text.size()) << "room for the recovered text";
  EXPECT_EQ(one->file_path, dir_ / "note1");

  Note* four = notes_.FindNote(4);
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(four->name, "Never saved");
  EXPECT_EQ(four->text, "new\n");
  EXPECT_TRUE(four->changed());
  EXPECT_TRUE(four->file_path.empty()) << "saved to note4 when the user saves";
  EXPECT_TRUE(four->has_geometry);
  EXPECT_EQ(four->width, 200);

  EXPECT_FALSE(notes_.FindNote(2)->changed()) << "an unreadable file is never half applied";
  EXPECT_EQ(notes_.FindNote(2)->text, "call Bob\n");
  EXPECT_FALSE(notes_.FindNote(3)->changed());
  EXPECT_EQ(notes_.FindNote(3)->text, "saved later\n");

  std::vector<int> kept = r.kept;
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<int>{2, 5}));
  EXPECT_NE(messages.find(dir_ / ".recovery/note2" + ": not a note; kept"), std::string::npos)
      << messages;
  EXPECT_NE(messages.find(dir_ / ".recovery/note5"), std::string::npos) << messages;
  EXPECT_EQ(Entries(dir_ / ".recovery"), (std::vector<std::string>{"note1", "note2", "note4", "note5", "note9"}))
      << "the stale one and the temporary are gone";
  EXPECT_EQ(ReadFile(dir_ / "note1"), note1_before) << "no note file is written";
}

// Notes that hold UTF-8: a recovery file of Latin-1 bytes (the name kept
// from a Latin-1 note file) is whole and shows its characters.
TEST_F(ApplyRecoveryTest, Latin1RecoveryFilesApplyToUtf8Notes) {
  NoteFile("note1", "K\xf6ln", "old", -100);
  Recovery("note1", NoteBytes("K\xf6ln", "\xe9t\xe9 \xe6\x97\xa5"), -50);
  Recovery("note2", NoteBytes("Gr\xfc\xdf" "e", "caf\xe9"), -50);
  RecoveredNotes r = Apply(true);
  ASSERT_EQ(r.notes.size(), 2u);
  Note* one = notes_.FindNote(1);
  EXPECT_EQ(one->name, "K\xc3\xb6ln");
  EXPECT_EQ(one->text, "\xc3\xa9t\xc3\xa9 \xc3\xa6\xc2\x97\xc2\xa5") << "not valid UTF-8 as a whole: Latin-1";
  EXPECT_EQ(FormatNoteFile(*one, kScreen), NoteBytes("K\xf6ln", "\xe9t\xe9 \xe6\x97\xa5")) << "its bytes kept";
  Note* two = notes_.FindNote(2);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->text, "caf\xc3\xa9");
  EXPECT_TRUE(r.kept.empty());
}

TEST_F(ApplyRecoveryTest, AWriteAfterTheClockWentBackIsStillNewerThanTheSave) {
  // Saved, then the clock was set back an hour, then typed into.
  NoteFile("note1", "Shopping", "milk\n", 3600);
  std::string path, error;
  ASSERT_TRUE(WriteRecoveryFile(dir_.path(), 1, NoteBytes("Shopping", "eggs\nmilk\n"), &path, &error)) << error;
  // A note never saved has nothing to be newer than.
  ASSERT_TRUE(WriteRecoveryFile(dir_.path(), 2, NoteBytes("New", "new\n"), &path, &error)) << error;
  RecoveredNotes r = Apply();
  ASSERT_EQ(r.notes.size(), 2u);
  EXPECT_EQ(notes_.FindNote(1)->text, "eggs\nmilk\n");
  EXPECT_TRUE(notes_.FindNote(1)->changed());
}

TEST_F(ApplyRecoveryTest, NothingToDoWithoutTheDirectory) {
  rmdir((dir_ / ".recovery").c_str());
  NoteFile("note1", "Shopping", "milk\n", -100);
  RecoveredNotes r = Apply();
  EXPECT_TRUE(r.notes.empty());
  EXPECT_EQ(Told(r), "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / ".recovery")) << "made only when a note changes";
}

TEST_F(ApplyRecoveryTest, FilesNoNoteCouldHaveWrittenAreKept) {
  NoteFile("note7", "Seven", "x", -100);
  Recovery("note07", NoteBytes("Seven", "y"), -5);   // only note<id> is ever written
  Recovery("notes.txt", NoteBytes("Text", "z"), -5);
  Recovery("README", "not a note", -5);
  WriteFile(dir_ / "note8", "not a note either");       // a note file that did not load
  Recovery("note8", NoteBytes("Eight", "8"), -5);
  RecoveredNotes r = Apply();
  EXPECT_TRUE(r.notes.empty());
  EXPECT_EQ(notes_.FindNote(7)->text, "x");
  EXPECT_EQ(Entries(dir_ / ".recovery"), (std::vector<std::string>{"README", "note07", "note8", "notes.txt"}));
  EXPECT_NE(Told(r).find("note8 is there but was not loaded"), std::string::npos);
}

TEST_F(ApplyRecoveryTest, HostileFilesAreKeptAndNeverHalfApplied) {
  const std::string good = NoteBytes("Shopping", "eggs\n");
  const std::size_t header_end = good.find('\n');
  struct Case {
    int id;
    std::string bytes;  // empty: made below
    const char* what;
  };
  const std::vector<Case> cases = {
      {1, good.substr(0, good.size() - 2), "cut short in the text"},
      {2, good.substr(0, header_end + 3), "cut short in the name"},
      {3, "%%!!<tackonnote> 10 20 100 200 2147483647 0 0 768 1024 0 0 1 12 0 \nHuge\nabc", "a huge stated length"},
      {4, "%%!!<tackonnote> 10 20 100 200 -5 0 0 768 1024 0 0 1 12 0 \nNegative\nabc", "a negative length"},
      {5, good + "trailing", "more text than stated"},
      {6, "", "a FIFO"},
      {7, "", "a link to a note"},
      {8, std::string(3 << 20, 'x'), "megabytes of no note"},
  };
  for (const Case& c : cases) NoteFile("note" + std::to_string(c.id), "Saved", "saved\n", -100);
  for (const Case& c : cases)
    if (!c.bytes.empty()) Recovery("note" + std::to_string(c.id), c.bytes, -5);
  ASSERT_EQ(mkfifo((dir_ / ".recovery/note6").c_str(), 0600), 0);
  WriteFile(dir_ / "elsewhere", good);
  ASSERT_EQ(symlink((dir_ / "elsewhere").c_str(), (dir_ / ".recovery/note7").c_str()), 0);

  RecoveredNotes r = Apply();
  const std::string messages = Told(r);
  EXPECT_TRUE(r.notes.empty()) << messages;
  for (const Case& c : cases) {
    const Note* note = notes_.FindNote(c.id);
    ASSERT_NE(note, nullptr) << c.what;
    EXPECT_EQ(note->text, "saved\n") << c.what;
    EXPECT_EQ(note->name, "Saved") << c.what;
    EXPECT_FALSE(note->changed()) << c.what;
    EXPECT_NE(messages.find(dir_ / (".recovery/note" + std::to_string(c.id)) + ": "), std::string::npos)
        << c.what << ": " << messages;
  }
  EXPECT_EQ(r.kept.size(), cases.size());
  EXPECT_EQ(Entries(dir_ / ".recovery").size(), cases.size()) << "every one is kept for the user to look at";
}

TEST(RecoveryMessage, ListsTheNotesByNameUpToAScreenful) {
  EXPECT_EQ(RecoveryMessage({"Shopping", "Work"}),
            "Changes that were not saved have been recovered in:\n  Shopping\n  Work\nSave them to keep them.");
  std::vector<std::string> many(25, "n");
  many[0] = std::string(70, 'x');
  std::string text = RecoveryMessage(many);
  EXPECT_NE(text.find("  " + std::string(60, 'x') + "...\n"), std::string::npos);
  EXPECT_NE(text.find("  and 5 more\n"), std::string::npos);
}

}  // namespace
