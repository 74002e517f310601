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
#include "storage/file_identity.h"
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
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), "note3", "first", &path, &error)) << error;
  EXPECT_EQ(path, dir / ".recovery/note3");
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), "note3", "second", &path, &error)) << error;
  EXPECT_EQ(ReadFile(path), "second");
  EXPECT_EQ(Entries(dir / ".recovery"), std::vector<std::string>{"note3"}) << "no temporary left";
  struct stat st;
  ASSERT_EQ(stat((dir / ".recovery").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(WriteRecoveryFile(dir.path(), "new4", "other", &path, &error)) << error;
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), "note3", &error)) << error;
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), "note3", &error)) << "gone already";
  EXPECT_TRUE(std::filesystem::exists(dir / ".recovery"));
  EXPECT_TRUE(RemoveRecoveryFile(dir.path(), "new4", &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir / ".recovery")) << "an empty directory goes";
  // What cannot be removed is named with the system's words.
  ASSERT_EQ(mkdir((dir / ".recovery").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(RecoveryPath(dir.path(), "note5").c_str(), 0700), 0);
  error.clear();
  EXPECT_FALSE(RemoveRecoveryFile(dir.path(), "note5", &error));
  EXPECT_EQ(error, RecoveryPath(dir.path(), "note5") + ": " + std::strerror(EISDIR));
  rmdir(RecoveryPath(dir.path(), "note5").c_str());
  rmdir((dir / ".recovery").c_str());

  // A link planted under the directory's name is never written through.
  TempDir other;
  TempDir planted;
  symlink(other.path().c_str(), (planted / ".recovery").c_str());
  EXPECT_FALSE(WriteRecoveryFile(planted.path(), "note1", "x", &path, &error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  EXPECT_TRUE(Entries(other.path()).empty());
}

TEST(RecoveryFile, NamesTheNotesFileAndWhatItHeld) {
  Note note;
  note.id = 7;
  EXPECT_EQ(JournalName(note), "new7") << "a note without a file";
  // Every file is a note of its own, whatever number its name reads as.
  for (const char* file : {"note1", "note01", "note1~", "note1.sync-conflict-20261211-101010-ABCDEFG",
                           "note1 (conflicted copy 2026-12-11)"}) {
    note.file_path = std::string("/n/") + file;
    EXPECT_EQ(JournalName(note), file);
  }
  note.name = "Shopping";
  note.text = "milk\n";
  const std::string bytes = FormatNoteFile(note, kScreen);
  StoredFile base;
  base.known = true;
  base.device = 2049;
  base.inode = 1234567;
  base.size = 88;
  base.mtime_sec = 1765447810;
  base.mtime_nsec = 999999999;
  base.hash = 0xfedcba9876543210ULL;
  const std::string journal = JournalBytes(bytes, base);
  Note read;
  NoteFileReadOptions options;
  options.screen = kScreen;
  ASSERT_TRUE(ReadNoteFile(journal, options, &read)) << "still a note file";
  EXPECT_EQ(read.text, "milk\n");
  EXPECT_EQ(read.name, "Shopping");
  StoredFile back;
  ASSERT_TRUE(ReadJournalBase(journal, &back));
  EXPECT_TRUE(back.known);
  EXPECT_TRUE(SameFileState(back, base));
  EXPECT_TRUE(SameBytes(back, base));
  ASSERT_TRUE(ReadJournalBase(JournalBytes(bytes, StoredFile()), &back));
  EXPECT_FALSE(back.known) << "a note that had no file";
  EXPECT_FALSE(ReadJournalBase(bytes, &back)) << "a plain note file names no base";

  // Made from the note at once, the bytes are the same, whatever the text
  // holds: a NUL ends it, a text read as Latin-1 keeps its file's bytes.
  struct Case {
    const char* what;
    std::string text;
    bool kept_latin1;
  };
  const Case cases[] = {
      {"plain", "milk\n", false},
      {"empty", "", false},
      {"a NUL ends the text", std::string("before\0after", 12), false},
      {"large", std::string(3 << 20, 'x'), false},
      {"read as Latin-1, unchanged", "Gr\xc3\xbc\xc3\x9f" "e\n", true},
  };
  for (const Case& c : cases) {
    Note from;
    from.name = note.name;
    from.x = 10;
    from.width = 200;
    from.height = 100;
    from.alarm.set = true;
    from.alarm.month = 12;
    from.text = c.text;
    if (c.kept_latin1) {
      from.file_bytes.kept = true;
      from.file_bytes.text = "Gr\xfc\xdf" "e\n";
      from.file_bytes.name = from.name;
    }
    for (const StoredFile& b : {base, StoredFile()}) {
      from.stored_file = b;
      EXPECT_EQ(JournalFileBytes(from, kScreen), JournalBytes(FormatNoteFile(from, kScreen), b)) << c.what;
    }
  }
}

class ApplyRecoveryTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 16});
    mkdir((dir_ / ".recovery").c_str(), 0700);
  }
  void NoteFile(const std::string& file, const std::string& name, const std::string& text, int age = -100) {
    WriteFile(dir_ / file, NoteBytes(name, text));
    Age(dir_ / file, age);
  }
  // Another program replaces a note file the way a sync engine does: a new
  // file renamed over it.
  void Replace(const std::string& file, const std::string& bytes) {
    WriteFile(dir_ / ".replacement", bytes);
    ASSERT_EQ(rename((dir_ / ".replacement").c_str(), (dir_ / file).c_str()), 0);
  }
  // A recovery file as the program writes it for the note file `file` as
  // that stands now (no file: a note that had none).
  void Journal(const std::string& file, const std::string& name, const std::string& text) {
    StoredFile base;
    struct stat st;
    if (stat((dir_ / file).c_str(), &st) == 0) base = IdentityOf(st, ReadFile(dir_ / file));
    Recovery(file, JournalBytes(NoteBytes(name, text), base));
  }
  void Recovery(const std::string& file, const std::string& bytes, int age = -5) {
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
    for (const std::string& line : r.set_aside) text += line + "\n";
    for (const std::string& line : r.problems) text += line + "\n";
    return text;
  }
  // The note read from the file, or from no file when file is empty.
  const Note* ByFile(const std::string& file) {
    for (const auto& note : notes_)
      if (note->file_path == (file.empty() ? std::string() : dir_ / file)) return note.get();
    return nullptr;
  }
  const Note* ByName(const std::string& name) {
    for (const auto& note : notes_)
      if (note->name == name) return note.get();
    return nullptr;
  }
  TempDir dir_;
  NoteList notes_;
};

// Each recovery file is judged against what the note's file holds now, never
// by dates: dates here are set to mislead.
TEST_F(ApplyRecoveryTest, EachJournalMeetsTheFileItWasWrittenAgainst) {
  const std::string conflict = "note1.sync-conflict-20261211-101010-ABCDEFG";
  NoteFile("note1", "Shopping", "milk\n");
  NoteFile(conflict, "Shopping", "milk\nbread\n");
  NoteFile("note2", "Work", "call Bob\n");
  NoteFile("note3", "Old", "saved\n");
  NoteFile("note5", "Five", "five\n");
  NoteFile("note6", "Six", "six\n");
  NoteFile("note7", "Seven", "seven\n");
  Journal("note1", "Shopping list", "milk\neggs and a long line past the buffer\n");
  Journal(conflict, "Shopping", "milk\nbread\nbutter\n");
  Journal("note2", "Work", "call Bob and Ann\n");
  Journal("note3", "Old", "saved\n");            // saved, then killed before the journal went
  Journal("note4", "Never saved", "new\n");      // a note that had no file
  Journal("note5", "Five", "five and more\n");
  Journal("note6", "Six", "six and more\n");
  Recovery("note7", NoteBytes("Seven", "older stikkel\n"), 100);  // names no base; newer by date
  Recovery("new9", JournalBytes(NoteBytes("Nine", "nine\n"), StoredFile()));
  // Meanwhile another machine changed note2 (the file looks older), deleted
  // note5 and wrote note6 again with the same bytes.
  Replace("note2", NoteBytes("Work", "call Carl\n"));
  Age(dir_ / "note2", -1000);
  ASSERT_EQ(unlink((dir_ / "note5").c_str()), 0);
  Replace("note6", ReadFile(dir_ / "note6"));
  const std::string note1_before = ReadFile(dir_ / "note1");

  RecoveredNotes r = Apply();
  EXPECT_EQ(Told(r), "");

  struct Expect {
    const char* what;
    const Note* note;
    const char* name;
    const char* text;
    bool changed;
  };
  const Expect expected[] = {
      {"unchanged file: applied", ByFile("note1"), "Shopping list", "milk\neggs and a long line past the buffer\n",
       true},
      {"a conflict copy has its own", ByFile(conflict), "Shopping", "milk\nbread\nbutter\n", true},
      {"a file changed elsewhere keeps its text", ByFile("note2"), "Work", "call Carl\n", false},
      {"... and the typing is a note of its own", ByName("Work (recovered)"), "Work (recovered)",
       "call Bob and Ann\n", true},
      {"what the file holds already is not recovered", ByFile("note3"), "Old", "saved\n", false},
      {"a note that had no file", ByName("Never saved"), "Never saved", "new\n", true},
      {"a file deleted elsewhere: the typing stays", ByName("Five"), "Five", "five and more\n", true},
      {"the same bytes under a new inode", ByFile("note6"), "Six", "six and more\n", true},
      {"an older stikkel's journal is not judged by date", ByFile("note7"), "Seven", "seven\n", false},
      {"... and is kept as a note", ByName("Seven (recovered)"), "Seven (recovered)", "older stikkel\n", true},
      {"a new note's journal", ByName("Nine"), "Nine", "nine\n", true},
  };
  for (const Expect& e : expected) {
    ASSERT_NE(e.note, nullptr) << e.what;
    EXPECT_EQ(e.note->name, e.name) << e.what;
    EXPECT_EQ(e.note->text, e.text) << e.what;
    EXPECT_EQ(e.note->changed(), e.changed) << e.what;
  }
  EXPECT_EQ(r.notes.size(), 8u);
  ASSERT_EQ(r.both_kept.size(), 2u);
  EXPECT_EQ(ByFile("note1")->journal_name, "note1");
  EXPECT_GT(ByFile("note1")->buffer_size, ByFile("note1")->text.size()) << "room for the recovered text";
  EXPECT_EQ(ByName("Nine")->id, 9);
  EXPECT_TRUE(ByName("Nine")->file_path.empty());
  EXPECT_TRUE(ByName("Never saved")->has_geometry);
  EXPECT_EQ(ByName("Never saved")->width, 200);
  // Each note made from a journal has a number of its own.
  std::vector<int> ids;
  for (const auto& note : notes_) ids.push_back(note->id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  // Notes kept beside a changed file own their journal under a name of
  // their own: the loaded note's journal name is free for its own typing.
  for (const Note* note : r.both_kept) EXPECT_EQ(note->journal_name, JournalName(*note));
  EXPECT_TRUE(std::filesystem::exists(dir_ / (".recovery/" + JournalName(*ByName("Work (recovered)")))));
  EXPECT_FALSE(std::filesystem::exists(dir_ / ".recovery/note3")) << "the stale one goes";
  EXPECT_EQ(ReadFile(dir_ / "note1"), note1_before) << "no note file is written";
}

// Notes that hold UTF-8: a recovery file of Latin-1 bytes (the name kept
// from a Latin-1 note file) is whole and shows its characters.
TEST_F(ApplyRecoveryTest, Latin1RecoveryFilesApplyToUtf8Notes) {
  NoteFile("note1", "K\xf6ln", "old", -100);
  Journal("note1", "K\xf6ln", "\xe9t\xe9 \xe6\x97\xa5");
  Journal("note2", "Gr\xfc\xdf" "e", "caf\xe9");
  RecoveredNotes r = Apply(true);
  ASSERT_EQ(r.notes.size(), 2u);
  Note* one = notes_.FindNote(1);
  EXPECT_EQ(one->name, "K\xc3\xb6ln");
  EXPECT_EQ(one->text, "\xc3\xa9t\xc3\xa9 \xc3\xa6\xc2\x97\xc2\xa5") << "not valid UTF-8 as a whole: Latin-1";
  EXPECT_EQ(FormatNoteFile(*one, kScreen), NoteBytes("K\xf6ln", "\xe9t\xe9 \xe6\x97\xa5")) << "its bytes kept";
  Note* two = notes_.FindNote(2);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->text, "caf\xc3\xa9");
  EXPECT_TRUE(r.set_aside.empty());
}

TEST_F(ApplyRecoveryTest, NothingToDoWithoutTheDirectory) {
  rmdir((dir_ / ".recovery").c_str());
  NoteFile("note1", "Shopping", "milk\n", -100);
  RecoveredNotes r = Apply();
  EXPECT_TRUE(r.notes.empty());
  EXPECT_EQ(Told(r), "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / ".recovery")) << "made only when a note changes";
}

TEST_F(ApplyRecoveryTest, JournalsOfFilesThatAreNoNoteBecomeNotesOfTheirOwn) {
  NoteFile("note7", "Seven", "x", -100);
  Journal("note07", "Seven", "y");                 // note07's, not note7's
  Recovery("README", "not a note", -5);            // not the program's: left alone
  WriteFile(dir_ / "note8", "not a note either");  // a note file that did not load
  Journal("note8", "Eight", "8");
  RecoveredNotes r = Apply();
  EXPECT_EQ(notes_.FindNote(7)->text, "x");
  EXPECT_FALSE(notes_.FindNote(7)->changed());
  ASSERT_NE(ByName("Seven"), nullptr);
  ASSERT_NE(ByName("Eight (recovered)"), nullptr);
  EXPECT_EQ(ReadFile(dir_ / "note8"), "not a note either");
  EXPECT_EQ(r.notes.size(), 2u);
  EXPECT_EQ(Told(r), "");
  EXPECT_TRUE(std::filesystem::exists(dir_ / ".recovery/README"));
}

TEST_F(ApplyRecoveryTest, UnreadableFilesAreSetAsideAndNeverHalfApplied) {
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
      {9, "", "a directory"},
  };
  for (const Case& c : cases) NoteFile("note" + std::to_string(c.id), "Saved", "saved\n", -100);
  for (const Case& c : cases)
    if (!c.bytes.empty()) Recovery("note" + std::to_string(c.id), c.bytes, -5);
  ASSERT_EQ(mkfifo((dir_ / ".recovery/note6").c_str(), 0600), 0);
  WriteFile(dir_ / "elsewhere", good);
  ASSERT_EQ(symlink((dir_ / "elsewhere").c_str(), (dir_ / ".recovery/note7").c_str()), 0);
  ASSERT_EQ(mkdir((dir_ / ".recovery/note9").c_str(), 0700), 0);
  // One set aside before under the same name stays as it is.
  ASSERT_EQ(mkdir((dir_ / ".recovery/kept").c_str(), 0700), 0);
  WriteFile(dir_ / ".recovery/kept/note1", "an earlier one");

  RecoveredNotes r = Apply();
  const std::string messages = Told(r);
  EXPECT_TRUE(r.notes.empty()) << messages;
  for (const Case& c : cases) {
    const Note* note = notes_.FindNote(c.id);
    ASSERT_NE(note, nullptr) << c.what;
    EXPECT_EQ(note->text, "saved\n") << c.what;
    EXPECT_EQ(note->name, "Saved") << c.what;
    EXPECT_FALSE(note->changed()) << c.what;
    const std::string name = "note" + std::to_string(c.id);
    EXPECT_NE(messages.find(dir_ / (".recovery/" + name) + ": "), std::string::npos) << c.what << ": " << messages;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir_ / (".recovery/" + name))))
        << c.what << ": moved out of the way of the note's next journal";
  }
  EXPECT_EQ(r.set_aside.size(), cases.size());
  EXPECT_EQ(Entries(dir_ / ".recovery"), std::vector<std::string>{"kept"});
  EXPECT_EQ(Entries(dir_ / ".recovery/kept").size(), cases.size() + 1) << "every one is kept for the user to look at";
  EXPECT_EQ(ReadFile(dir_ / ".recovery/kept/note1"), "an earlier one");
  EXPECT_EQ(ReadFile(dir_ / ".recovery/kept/note1.1"), cases[0].bytes);
  EXPECT_NE(messages.find("; moved to " + dir_ / ".recovery/kept/note1.1"), std::string::npos) << messages;
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

TEST(RecoveryMessage, TellsOfBothVersionsAndOfFilesSetAside) {
  EXPECT_EQ(RecoveryMessage({"Work", "Work (recovered)"}, {"Work (recovered)"}, {"/n/.recovery/note2: not a note"}),
            "Changes that were not saved have been recovered in:\n  Work\n  Work (recovered)\n"
            "The files of these notes changed meanwhile; both versions are kept:\n  Work (recovered)\n"
            "Save them to keep them.\n"
            "These recovery files could not be read and were set aside:\n  /n/.recovery/note2: not a note");
  EXPECT_EQ(MarkedName(std::string(kMaxNameLength, 'x'), " (from sync)").size(), kMaxNameLength);
}

}  // namespace
