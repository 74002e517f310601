// The thread that writes note files: every write of a batch comes back
// once, a withdrawn write renames nothing, and the check made right before
// a rename still keeps a file another program changed.
#include <gtest/gtest.h>

#include <dirent.h>
#include <poll.h>

#include <future>
#include <string>
#include <vector>

#include "storage/save_writer.h"
#include "temp_dir.h"

namespace {

FileWrite WriteOf(const TempDir& dir, int id, const std::string& bytes) {
  FileWrite write;
  write.id = id;
  write.path = dir / ("note" + std::to_string(id));
  write.bytes = bytes;
  write.options.keep_existing = true;
  return write;
}

// Takes results, waiting for the writer's pipe, until the batch has ended.
std::vector<FileWrite> TakeAll(SaveWriter* writer, std::string* flush_err) {
  std::vector<FileWrite> done;
  for (int waits = 0; waits < 1000; ++waits) {
    if (writer->Take(&done, flush_err)) return done;
    pollfd p{writer->fd(), POLLIN, 0};
    poll(&p, 1, 50);
  }
  ADD_FAILURE() << "the batch never ended";
  return done;
}

std::vector<std::string> Temporaries(const TempDir& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.path().c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name).rfind("sk1.", 0) == 0) names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

TEST(SaveWriter, WritesEveryFileOfABatchAndHandsEachResultBackOnce) {
  TempDir dir;
  WriteFile(dir / "note1", "old");
  SaveWriter writer;
  ASSERT_GE(writer.fd(), 0);
  std::vector<FileWrite> writes;
  // More than one stretch of files written ahead.
  for (int id = 1; id <= 300; ++id) writes.push_back(WriteOf(dir, id, "note " + std::to_string(id)));
  writes[0].options.keep_existing = false;
  writer.Add(std::move(writes));
  writer.Close();
  EXPECT_TRUE(writer.Busy());
  std::string flush_err = "unset";
  std::vector<FileWrite> done = TakeAll(&writer, &flush_err);
  EXPECT_EQ(flush_err, "");
  ASSERT_EQ(done.size(), 300u);
  for (int id = 1; id <= 300; ++id) {
    const FileWrite& write = done[id - 1];
    EXPECT_EQ(write.id, id);
    EXPECT_TRUE(write.ok) << write.system;
    EXPECT_TRUE(write.identity.known);
    EXPECT_EQ(write.identity.size, write.bytes.size());
    EXPECT_EQ(ReadFile(write.path), "note " + std::to_string(id));
  }
  EXPECT_TRUE(Temporaries(dir).empty());
  EXPECT_FALSE(writer.Busy());
  // The next batch goes the same way.
  writer.Add({WriteOf(dir, 400, "again")});
  writer.Close();
  done = TakeAll(&writer, &flush_err);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(ReadFile(dir / "note400"), "again");
}

TEST(SaveWriter, AWithdrawnWriteRenamesNothingAndTheCheckBeforeTheRenameHolds) {
  TempDir dir;
  WriteFile(dir / "note3", "old 3");
  WriteFile(dir / "note4", "old 4");
  std::promise<void> go;
  std::shared_future<void> released = go.get_future().share();
  SaveWriter writer;
  std::vector<FileWrite> writes;
  writes.push_back(WriteOf(dir, 1, "one"));
  writes[0].new_file = true;
  // The writer stands still in the first write's check until released.
  writes[0].options.still_as_seen = [released] {
    released.wait();
    return true;
  };
  writes.push_back(WriteOf(dir, 2, "two"));
  writes.push_back(WriteOf(dir, 3, "three"));
  writes[2].options.keep_existing = false;
  writes.push_back(WriteOf(dir, 4, "four"));
  writes[3].options.keep_existing = false;
  writes[3].options.still_as_seen = [] { return false; };  // changed by another program meanwhile
  writer.Add(std::move(writes));
  writer.Close();
  std::vector<FileWrite> done;
  bool dropped = false, was_new = false;
  ASSERT_TRUE(writer.Withdraw(3, &done, &dropped, &was_new));
  EXPECT_TRUE(dropped);
  EXPECT_FALSE(was_new);
  ASSERT_TRUE(writer.Withdraw(1, &done, &dropped, &was_new));
  EXPECT_TRUE(dropped);
  EXPECT_TRUE(was_new);
  EXPECT_FALSE(writer.Withdraw(7, &done, &dropped, &was_new)) << "no write for that note";
  EXPECT_TRUE(done.empty());
  go.set_value();
  std::string flush_err;
  done = TakeAll(&writer, &flush_err);
  ASSERT_EQ(done.size(), 2u) << "withdrawn writes come back no more";
  EXPECT_EQ(done[0].id, 2);
  EXPECT_TRUE(done[0].ok);
  EXPECT_EQ(done[1].id, 4);
  EXPECT_FALSE(done[1].ok);
  EXPECT_EQ(done[1].details.failed_step, ReplaceDetails::kChanged);
  EXPECT_FALSE(std::filesystem::exists(dir / "note1"));
  EXPECT_EQ(ReadFile(dir / "note2"), "two");
  EXPECT_EQ(ReadFile(dir / "note3"), "old 3");
  EXPECT_EQ(ReadFile(dir / "note4"), "old 4");
  EXPECT_TRUE(Temporaries(dir).empty());
  EXPECT_FALSE(writer.Withdraw(2, &done, &dropped, &was_new)) << "the batch is over";
}

}  // namespace
