// Saving and loading note records with no X: what storage/ writes from the
// record alone and what it reads back into the note list.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/note_list.h"
#include "stderr_capture.h"
#include "storage/load.h"
#include "storage/save.h"
#include "temp_dir.h"

namespace {

class NoteStorageTest : public testing::Test {
 protected:
  void SetUp() override { notes_.Configure({dir_.path(), 16}); }
  Note* Made(const std::string& text) {
    Note* note = notes_.NewNote(-1);
    note->text = text;
    note->width = 227;
    note->height = 169;
    note->x = 40;
    note->y = 60;
    return note;
  }
  std::vector<Note*> Load(NoteList* into) {
    into->Configure(notes_.settings());
    NoteFileReadOptions options;
    options.screen = kScreen;
    return LoadNoteFiles(*into, options);
  }
  static constexpr ScreenSize kScreen{1024, 768};
  TempDir dir_;
  NoteList notes_;
};

TEST_F(NoteStorageTest, WritesTheRecordAndReadsItBack) {
  Note* note = Made("milk\nbread\n");
  note->name = "Shopping";
  note->anchored = true;
  note->alarm = {5, 14, 9, 30, true};
  note->window_width = 300;  // the window's size wins over the size asked for
  note->window_height = 200;
  std::string message;
  ASSERT_TRUE(WriteNoteFile(notes_, note, kScreen, &message));
  EXPECT_EQ(message, "");
  EXPECT_EQ(note->file_path, dir_ / "note1");
  EXPECT_EQ(ReadFile(dir_ / "note1"),
            "%%!!<tackonnote> 40 60 200 300 11 0 1 768 1024 1 5 14 9 30 \nShopping\nmilk\nbread\n");

  NoteList loaded;
  std::vector<Note*> added = Load(&loaded);
  ASSERT_EQ(added.size(), 1u);
  const Note& back = *added[0];
  EXPECT_EQ(back.id, 1);
  EXPECT_EQ(back.file_path, dir_ / "note1");
  EXPECT_EQ(back.name, "Shopping");
  EXPECT_EQ(back.text, "milk\nbread\n");
  EXPECT_TRUE(back.has_geometry);
  EXPECT_EQ(back.width, 300);
  EXPECT_EQ(back.window_width, 300);
  EXPECT_TRUE(back.anchored);
  EXPECT_TRUE(back.alarm.set);
  EXPECT_EQ(back.alarm.day, 14);
  EXPECT_FALSE(back.changed());
}

TEST_F(NoteStorageTest, LoadedBuffersGrowInStepsOfTheBufferSize) {
  struct Case {
    std::size_t length;
    std::size_t buffer;
  } cases[] = {{0, 16}, {15, 16}, {16, 32}, {31, 32}, {32, 48}, {100, 112}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(BufferSizeFor(c.length, 16), c.buffer);
    // A buffer grows only when the text reaches its size.
    EXPECT_EQ(GrownBufferSize(c.buffer, c.length, 16), c.buffer);
    EXPECT_EQ(GrownBufferSize(16, c.length, 16), c.buffer);
    EXPECT_EQ(GrownBufferSize(c.buffer + 64, c.length, 16), c.buffer + 64) << "never shrinks";
  }
  std::string message;
  for (const Case& c : cases) ASSERT_TRUE(WriteNoteFile(notes_, Made(std::string(c.length, 'x')), kScreen, &message));
  NoteList loaded;
  std::vector<Note*> added = Load(&loaded);
  ASSERT_EQ(added.size(), std::size(cases));
  for (const Note* note : added) EXPECT_EQ(note->buffer_size, BufferSizeFor(note->text.size(), 16)) << note->id;
}

TEST(NoteText, HoldsUpTo16MiB) {
  struct Case {
    std::size_t length;
    bool fits;
    std::size_t room;
  } cases[] = {
      {0, true, kMaxTextLength},
      {kMaxTextLength - 1, true, 1},
      {kMaxTextLength, true, 0},
      {kMaxTextLength + 1, false, 0},
  };
  EXPECT_EQ(kMaxTextLength, 16u * 1024 * 1024);
  for (const Case& c : cases) {
    EXPECT_EQ(TextFits(c.length), c.fits) << c.length;
    EXPECT_EQ(TextRoom(c.length), c.room) << c.length;
  }
  std::string message = TextTooLongMessage("Groceries");
  EXPECT_NE(message.find("\"Groceries\""), std::string::npos) << message;
  EXPECT_NE(message.find("16 MiB (16777216 bytes)"), std::string::npos) << message;
}

TEST(NoteText, BufferSizesOfHugeSteps) {
  // -bs values up to INT_MAX: a buffer is a multiple of the step, never 0.
  EXPECT_EQ(BufferSizeFor(10, 2147483647u), 2147483647u);
  EXPECT_EQ(BufferSizeFor(kMaxTextLength, 2147483647u), 2147483647u);
  EXPECT_EQ(BufferSizeFor(2147483647u, 2147483647u), 4294967294u);
  EXPECT_EQ(BufferSizeFor(5, 1073741824u), 1073741824u);
}

TEST_F(NoteStorageTest, LoadedBufferIsSizedFromTheStatedLength) {
  // The file states 40 bytes but holds 10: the buffer is sized for 40.
  // A stated length below the text's (a hostile file) does not shrink it.
  struct Case {
    const char* file;
    const char* header_length;
    std::string text;
    std::size_t buffer;
  } cases[] = {
      {"note1", "40", std::string(10, 'a'), 48},
      {"note2", "10", std::string(10, 'b'), 16},
      {"note3", "15", std::string(15, 'c'), 16},
      {"note4", "16", std::string(16, 'd'), 32},
  };
  for (const Case& c : cases) {
    std::string bytes = std::string("%%!!<tackonnote> 1 2 300 400 ") + c.header_length +
                        " 0 0 768 1024 0 0 1 0 0 \nN\n" + c.text;
    FILE* f = std::fopen((dir_.path() + "/" + c.file).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  NoteList loaded;
  std::vector<Note*> added = Load(&loaded);
  ASSERT_EQ(added.size(), std::size(cases));
  for (const Case& c : cases) {
    const Note* note = loaded.FindNote(c.file[4] - '0');
    ASSERT_NE(note, nullptr) << c.file;
    EXPECT_EQ(note->buffer_size, c.buffer) << c.file;
  }
}

TEST_F(NoteStorageTest, LoadingGivesATakenIdAFreshOneAndPassesOverOtherFiles) {
  const std::string bytes = "%%!!<tackonnote> 1 2 300 400 1 0 0 768 1024 0 0 1 0 0 \nN\nx";
  WriteFile(dir_ / "note5", bytes);
  WriteFile(dir_ / "note05", bytes);
  WriteFile(dir_ / "note7", "no note at all");
  WriteFile(dir_ / "other", bytes);
  mkdir((dir_ / "note9").c_str(), 0755);
  NoteList loaded;
  std::vector<Note*> added = Load(&loaded);
  ASSERT_EQ(added.size(), 2u);
  std::vector<int> ids = {added[0]->id, added[1]->id};
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids[1], 5);
  EXPECT_NE(ids[0], 5);
  EXPECT_EQ(loaded.size(), 2u);
  for (const Note* note : added) EXPECT_NE(note->file_path, dir_ / "note7");
}

// What reading a candidate file costs follows what the file holds: a note
// above the 16 MiB a note may grow to loads whole; a file whose header
// claims more than a note file may hold is passed over on its header alone,
// without reading its text (a sparse 1 GiB file costs next to nothing).
TEST_F(NoteStorageTest, ReadingFollowsWhatTheFileHoldsNotWhatItsHeaderClaims) {
  const auto header = [](std::size_t length) {
    return "%%!!<tackonnote> 1 2 300 400 " + std::to_string(length) + " 0 0 768 1024 0 0 1 0 0 \nBig\n";
  };
  const std::size_t over_cap = kMaxTextLength + 5;
  WriteFile(dir_ / "note1", header(over_cap) + std::string(over_cap, 'o'));
  // Claims 1 GiB and holds it, as zeros the file system never stored.
  const std::size_t gib = std::size_t{1} << 30;
  WriteFile(dir_ / "note2", header(gib));
  ASSERT_EQ(truncate((dir_ / "note2").c_str(), static_cast<off_t>(header(gib).size() + gib)), 0);
  // Claims 1 GiB and holds three bytes.
  WriteFile(dir_ / "note3", header(gib) + "abc");
  NoteList loaded;
  loaded.Configure(notes_.settings());
  NoteFileReadOptions options;
  options.screen = kScreen;
  std::vector<std::string> problems;
  struct rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  std::vector<Note*> added = LoadNoteFiles(loaded, options, &problems);
  getrusage(RUSAGE_SELF, &after);
  ASSERT_EQ(added.size(), 2u);
  const Note* big = loaded.FindNote(1);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->text, std::string(over_cap, 'o')) << "loaded whole, never cut";
  ASSERT_NE(loaded.FindNote(3), nullptr);
  EXPECT_EQ(loaded.FindNote(3)->text, "abc");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("note2: not a note (text longer than 268435456 bytes)"), std::string::npos)
      << problems[0];
  // Far below what reading (or zeroing) 256 MiB of the sparse file takes.
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "KiB more at the peak";
}

// Another program took the new note's number between the start and its
// first save: the note is saved under the next free number, and the other
// file stays as it was.
TEST_F(NoteStorageTest, ANewNoteWhoseNumberWasTakenSavesUnderTheNextFreeOne) {
  Note* note = Made("mine");
  note->id = 3;
  Note* other = Made("other");
  other->id = 4;  // no file yet, but its number
  WriteFile(dir_ / "note3", "someone else's");
  WriteFile(dir_ / "note5", "someone else's too");
  std::string message = "stale";
  StderrCapture err;
  ASSERT_TRUE(WriteNoteFile(notes_, note, kScreen, &message)) << message;
  EXPECT_EQ(message, "");
  EXPECT_EQ(err.Text(), "");
  EXPECT_EQ(ReadFile(dir_ / "note3"), "someone else's");
  EXPECT_EQ(ReadFile(dir_ / "note5"), "someone else's too");
  EXPECT_EQ(note->file_path, dir_ / "note6");
  EXPECT_EQ(ReadFile(dir_ / "note6"), FormatNoteFile(*note, kScreen));
  // Its later saves go to that file.
  note->text = "changed";
  ASSERT_TRUE(WriteNoteFile(notes_, note, kScreen, &message)) << message;
  EXPECT_EQ(ReadFile(dir_ / "note6"), FormatNoteFile(*note, kScreen));
  EXPECT_EQ(ReadFile(dir_ / "note3"), "someone else's");
}

// Every failed save has a message for the user, a temporary that cannot
// even be created included.
TEST_F(NoteStorageTest, AnUnusableDirectoryIsToldToTheUser) {
  notes_.Configure({dir_ / "gone", 16});
  Note* note = Made("text");
  std::string message, detail;
  StderrCapture err;
  EXPECT_FALSE(WriteNoteFile(notes_, note, kScreen, &message, nullptr, &detail));
  EXPECT_EQ(err.Text(), "") << "the caller tells the user";
  const std::string stem = dir_ / "gone" + "/sk1." + std::to_string(getpid()) + ".";
  ASSERT_EQ(detail.rfind(stem, 0), 0u) << detail;
  std::string temp = detail.substr(0, stem.size() + 6);
  EXPECT_EQ(detail, temp + ": No such file or directory");
  EXPECT_EQ(message, "Couldn't create " + temp + ":\nNo such file or directory\nSave of note failed.");
  EXPECT_TRUE(note->file_path.empty());
}

// A failed rename leaves the new contents in the temporary; the next save
// of the note that succeeds removes it.
TEST_F(NoteStorageTest, ATemporaryLeftByAFailedRenameGoesWithTheNextSave) {
  Note* note = Made("text");
  std::string message;
  ASSERT_TRUE(WriteNoteFile(notes_, note, kScreen, &message));
  std::string path = note->file_path;
  unlink(path.c_str());
  mkdir(path.c_str(), 0755);
  WriteFile(path + "/keep", "x");
  {
    std::string detail;
    StderrCapture err;
    EXPECT_FALSE(WriteNoteFile(notes_, note, kScreen, &message, nullptr, &detail));
    EXPECT_EQ(err.Text(), "");
    EXPECT_NE(detail.find("-" + path + ": " + std::strerror(EISDIR)), std::string::npos) << detail;
  }
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
    if (e.path().filename().string().rfind("sk1.", 0) == 0) left.push_back(e.path().string());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(ReadFile(left[0]), FormatNoteFile(*note, kScreen));
  EXPECT_NE(message.find(left[0] + " should contain valid copy of note."), std::string::npos) << message;
  EXPECT_EQ(note->leftover_temp, left[0]) << "the record keeps its temporary";
  unlink((path + "/keep").c_str());
  rmdir(path.c_str());
  ASSERT_TRUE(WriteNoteFile(notes_, note, kScreen, &message)) << message;
  EXPECT_FALSE(std::filesystem::exists(left[0]));
  EXPECT_TRUE(note->leftover_temp.empty());
}

// Every save of notes goes through one loop: each note asked for is written
// once, in order, written ahead or one by one; each one written is marked
// saved and no longer moved, and the caller hears of every note.
TEST_F(NoteStorageTest, SavingNotesWritesEachAskedNoteOnceAndTellsOfEach) {
  for (bool ahead : {false, true}) {
    SCOPED_TRACE(ahead ? "written ahead" : "one by one");
    TempDir dir;
    NoteList notes;
    notes.Configure({dir.path(), 16});
    auto make = [&notes](const std::string& text) {
      Note* note = notes.NewNote(-1);
      note->text = text;
      note->MarkChanged();
      note->moved = true;
      return note;
    };
    Note* first = make("first\n");
    Note* left_out = make("not asked for\n");
    Note* stuck = make("stuck\n");
    Note* last = make("last\n");
    // The stuck note's file is a directory that holds a file: its rename
    // fails.
    stuck->file_path = dir / "stuck";
    mkdir(stuck->file_path.c_str(), 0755);
    WriteFile(stuck->file_path + "/keep", "x");

    struct Told {
      Note* note;
      bool written;
      bool has_message;
    };
    std::vector<Told> told;
    StderrCapture err;
    std::string flush;
    EXPECT_FALSE(SaveNotes(notes, {first, stuck, last}, kScreen, ahead,
                           [&told](Note* note, bool written, const std::string& message, const std::string&) {
                             told.push_back({note, written, !message.empty()});
                           },
                           &flush));
    EXPECT_EQ(flush, "");
    EXPECT_EQ(err.Text(), "") << "the caller tells the user";
    ASSERT_EQ(told.size(), 3u);
    const Told expected[] = {{first, true, false}, {stuck, false, true}, {last, true, false}};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(told[i].note, expected[i].note) << i;
      EXPECT_EQ(told[i].written, expected[i].written) << i;
      EXPECT_EQ(told[i].has_message, expected[i].has_message) << i;
    }
    for (Note* note : {first, last}) {
      EXPECT_EQ(ReadFile(note->file_path), FormatNoteFile(*note, kScreen)) << note->text;
      EXPECT_FALSE(note->changed()) << note->text;
      EXPECT_FALSE(note->moved) << note->text;
    }
    for (Note* note : {left_out, stuck}) {
      EXPECT_TRUE(note->changed()) << note->text;
      EXPECT_TRUE(note->moved) << note->text;
    }
    EXPECT_TRUE(left_out->file_path.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / ("note" + std::to_string(left_out->id))));
    // Only the stuck note's new file is left in a temporary.
    std::vector<std::string> temporaries;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename().string().rfind("sk", 0) == 0) temporaries.push_back(e.path().string());
    ASSERT_EQ(temporaries.size(), 1u);
    EXPECT_EQ(temporaries[0], stuck->leftover_temp);
    EXPECT_EQ(ReadFile(temporaries[0]), FormatNoteFile(*stuck, kScreen));
  }
}

TEST_F(NoteStorageTest, SavingChangedNotesWritesOnlyThoseAndMarksThemSaved) {
  Note* unchanged = Made("quiet");
  Note* changed = Made("edited");
  Note* moved = Made("moved");
  changed->MarkChanged();
  moved->moved = true;
  std::string error;
  EXPECT_TRUE(SaveChangedNotes(notes_, kScreen, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir_ / ("note" + std::to_string(unchanged->id))));
  EXPECT_TRUE(std::filesystem::exists(changed->file_path));
  EXPECT_TRUE(std::filesystem::exists(moved->file_path));
  EXPECT_FALSE(changed->changed());
  EXPECT_FALSE(moved->moved);

  // A note that cannot be written keeps its flag for the next try.
  notes_.Configure({dir_ / "gone", 16});
  Note* stuck = Made("stuck");
  stuck->MarkChanged();
  StderrCapture err;
  EXPECT_FALSE(SaveChangedNotes(notes_, kScreen, &error));
  EXPECT_EQ(err.Text(), "") << "the caller tells the user";
  const std::string stem = dir_ / "gone" + "/sk1." + std::to_string(getpid()) + ".";
  EXPECT_EQ(error.rfind(stem, 0), 0u) << error;
  EXPECT_EQ(error.substr(stem.size() + 6), ": No such file or directory") << error;
  EXPECT_TRUE(stuck->changed());
}

TEST_F(NoteStorageTest, TheFileHoldsTheHiddenFlagTheUserLeft) {
  // Hiding and unhiding never mark a note changed; a save writes the flag
  // when it differs from the file's, and only then.
  struct Case {
    const char* what;
    bool in_file;  // the file's flag, when there is a file
    bool has_file;
    std::vector<bool> toggles;  // the flag after each hide or unhide
    bool written;
  } cases[] = {
      {"hidden after loading", false, true, {true}, true},
      {"shown after loading hidden", true, true, {false}, true},
      {"hidden and shown again", false, true, {true, false}, false},
      {"shown and hidden again", true, true, {false, true}, false},
      {"never touched", true, true, {}, false},
      {"a new note hidden", false, false, {true}, true},
  };
  for (const Case& c : cases) {
    NoteList notes;
    TempDir dir;
    notes.Configure({dir.path(), 16});
    Note* note = nullptr;
    if (c.has_file) {
      WriteFile(dir / "note1", std::string("%%!!<tackonnote> 40 60 169 227 4 ") + (c.in_file ? "1" : "0") +
                                   " 0 768 1024 0 5 14 9 30 \nShopping\nmilk");
      NoteFileReadOptions options;
      options.screen = kScreen;
      std::vector<Note*> loaded = LoadNoteFiles(notes, options);
      ASSERT_EQ(loaded.size(), 1u) << c.what;
      note = loaded[0];
      EXPECT_EQ(note->hidden, c.in_file) << c.what;
      EXPECT_FALSE(note->NeedsWrite()) << c.what;
    } else {
      note = notes.NewNote(-1);
      note->text = "milk";
    }
    for (bool hidden : c.toggles) note->hidden = hidden;
    EXPECT_EQ(note->NeedsWrite(), c.written) << c.what;
    EXPECT_FALSE(note->changed()) << c.what;
    const std::string before = c.has_file ? ReadFile(dir / "note1") : "";
    std::string error;
    EXPECT_TRUE(SaveChangedNotes(notes, kScreen, &error)) << c.what << ": " << error;
    ASSERT_EQ(std::filesystem::exists(dir / "note1"), c.has_file || c.written) << c.what;
    std::string after = ReadFile(dir / "note1");
    if (!c.written) {
      EXPECT_EQ(after, before) << c.what;
      continue;
    }
    EXPECT_NE(after.find(std::string(" 4 ") + (note->hidden ? "1" : "0") + " 0 "), std::string::npos)
        << c.what << ": " << after;
    EXPECT_FALSE(note->NeedsWrite()) << c.what;
    NoteList again;
    again.Configure(notes.settings());
    NoteFileReadOptions options;
    options.screen = kScreen;
    std::vector<Note*> back = LoadNoteFiles(again, options);
    ASSERT_EQ(back.size(), 1u) << c.what;
    EXPECT_EQ(back[0]->hidden, note->hidden) << c.what << ": the next start shows it as the user left it";
  }
}

}  // namespace
