// The note list: ids, lookup and removal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "local_time.h"
#include "model/note_list.h"
#include "temp_dir.h"

namespace {

class NoteListTest : public testing::Test {
 protected:
  void SetUp() override {
    notes_.Configure({dir_.path(), 1024});
  }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (const auto& n : notes_) ids.push_back(n->id);
    return ids;
  }
  Note* NewNote(int id) { return notes_.NewNote(id); }
  Note* NewNote(int id, std::time_t now) { return notes_.NewNote(id, now); }
  Note* FindNote(int id) { return notes_.FindNote(id); }
  bool RemoveNote(Note* note, std::string* err = nullptr) { return notes_.RemoveNote(note, err); }
  TempDir dir_;
  NoteList notes_;
};

TEST_F(NoteListTest, NewNotePicksTheLowestFreeId) {
  struct Case {
    std::vector<int> existing;
    int expected;
  } cases[] = {
      {{}, 1}, {{2, 1}, 3}, {{1, 2, 4}, 3}, {{3, 2}, 1}, {{0, -4, 1}, 2}, {{5, 5, 1}, 2},
  };
  for (const Case& c : cases) {
    notes_.clear();
    for (int id : c.existing) NewNote(id);
    Note* note = NewNote(-1);
    EXPECT_EQ(note->id, c.expected);
    EXPECT_EQ(note->name, "Note " + std::to_string(c.expected));
    EXPECT_EQ(notes_[notes_.size() - 1].get(), note) << "a new note stands last";
  }
}

TEST_F(NoteListTest, NewNoteNeverTakesTheNumberOfAFileItDidNotLoad) {
  // note1 failed to load (or is of the older format): a new note must not
  // be saved over it.
  WriteFile(dir_ / "note1", "%!<tackonnote> 1 2 3 4 0 0 768 1024\nold\n");
  WriteFile(dir_ / "note3", "");
  NewNote(2);
  EXPECT_EQ(NewNote(-1)->id, 4);
  EXPECT_EQ(NewNote(-1)->id, 5);
}

TEST_F(NoteListTest, NewNoteIsEmptyAndHoldsTheCreationTimeAsItsAlarm) {
  Note* note = NewNote(-1, LocalTime(2026, 12, 31, 23, 59));
  EXPECT_EQ(note->alarm.month, 11);
  EXPECT_EQ(note->alarm.day, 31);
  EXPECT_EQ(note->alarm.hour, 23);
  EXPECT_EQ(note->alarm.minute, 59);
  EXPECT_FALSE(note->alarm.set);
  EXPECT_EQ(note->buffer_size, 1024u);
  EXPECT_TRUE(note->text.empty());
  EXPECT_FALSE(note->changed());
  EXPECT_TRUE(note->file_path.empty());
}

TEST_F(NoteListTest, RemovedIdIsReusedAndTheNewNoteStandsLast) {
  for (int i = 0; i < 3; ++i) NewNote(-1);
  EXPECT_TRUE(RemoveNote(FindNote(2)));
  EXPECT_EQ(NewNote(-1)->id, 2);
  EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 2}));
}

TEST_F(NoteListTest, GivenIdIsTakenUncheckedAndFindReturnsTheOlder) {
  Note* first = NewNote(5);
  Note* second = NewNote(5);
  EXPECT_NE(first, second);
  EXPECT_EQ(FindNote(5), first);
  EXPECT_EQ(FindNote(99), nullptr);
}

TEST_F(NoteListTest, RemoveAtHeadMiddleAndTailKeepsTheOrder) {
  struct Case {
    int remove;
    std::vector<int> left;
  } cases[] = {{1, {2, 3, 4}}, {3, {1, 2, 4}}, {4, {1, 2, 3}}};
  for (const Case& c : cases) {
    notes_.clear();
    for (int i = 1; i <= 4; ++i) NewNote(i);
    EXPECT_TRUE(RemoveNote(FindNote(c.remove)));
    EXPECT_EQ(Ids(), c.left);
  }
}

TEST_F(NoteListTest, RemoveDeletesTheNoteFileOnlyWhenThereIsOne) {
  Note* saved = NewNote(-1);
  saved->file_path = notes_.NoteFilePath(saved->id);
  WriteFile(saved->file_path, "x");
  std::string other = dir_ / "note2";
  WriteFile(other, "y");
  Note* unsaved = NewNote(2);
  EXPECT_TRUE(RemoveNote(saved));
  EXPECT_TRUE(RemoveNote(unsaved));
  struct stat st;
  EXPECT_NE(stat((dir_ / "note1").c_str(), &st), 0);
  EXPECT_EQ(stat(other.c_str(), &st), 0) << "a never-saved note deletes no file";
}

TEST_F(NoteListTest, RemoveReportsAFileThatCannotBeDeleted) {
  Note* note = NewNote(-1);
  std::string blocker = dir_ / "plain";
  WriteFile(blocker, "");
  note->file_path = blocker + "/note1";  // ENOTDIR
  std::string err;
  EXPECT_FALSE(RemoveNote(note, &err));
  EXPECT_EQ(err, blocker + "/note1: " + std::strerror(ENOTDIR));
  EXPECT_TRUE(notes_.empty());
}

TEST_F(NoteListTest, NoteFilePathJoinsTheDirectoryAndTheId) {
  notes_.Configure({"/home/u/.tackonnotes", 1024});
  EXPECT_EQ(notes_.NoteFilePath(7), "/home/u/.tackonnotes/note7");
  EXPECT_EQ(notes_.NoteFilePath(-3), "/home/u/.tackonnotes/note-3");
}

}  // namespace
