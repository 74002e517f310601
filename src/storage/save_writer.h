// Writing note files on a thread of its own, so that the main loop never
// waits on the disk while many notes are saved (X-free).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/note.h"
#include "storage/atomic_file.h"

// One note file to replace, prepared by the main thread (the bytes, and the
// check that the file is still as the program saw it), and what came of it.
// The writer touches no note record: the write finds its note again by id.
struct FileWrite {
  int id = 0;
  std::string path;
  std::string bytes;
  ReplaceOptions options;
  bool new_file = false;  // the note had no file when the write was prepared
  bool hidden = false;    // the hidden flag the bytes hold
  // Once done: as ReplaceFile's result, err and details, and what the file
  // is after the rename (identity.known false when it could not be read).
  bool ok = false;
  std::string system;
  ReplaceDetails details;
  StoredFile identity;
};

// Replaces the file of `write` now, on the calling thread: ReplaceFile, then
// the new file's identity.
void ReplaceNow(FileWrite* write);

// How many note files a pass writes ahead at a time (each holds a file
// descriptor open until its save).
constexpr std::size_t kNotesWrittenAhead = 128;

// A thread that replaces note files in batches. Each stretch of
// kNotesWrittenAhead files is written ahead and sent to the disk together,
// then each file is flushed and renamed; the directories renamed into are
// flushed once the batch is closed and every write is done. Results come
// back through Take, and fd() becomes readable when there are some.
class SaveWriter {
 public:
  SaveWriter();
  // Waits for the batch under way, then ends the thread.
  ~SaveWriter();
  SaveWriter(const SaveWriter&) = delete;
  SaveWriter& operator=(const SaveWriter&) = delete;

  // Readable while Take has something to hand back (-1 when no pipe could
  // be made: then every batch is written by the calling thread at Close).
  int fd() const { return wake_[0]; }
  // Whether a batch was opened (Add) and its end not yet taken.
  bool Busy() const;
  // Adds writes to the batch under way, opening one when none is.
  void Add(std::vector<FileWrite> writes);
  // No more writes come for this batch: once they are done, the directories
  // are flushed and the batch ends.
  void Close();
  // Moves the finished writes into *done (withdrawn ones are dropped); with
  // `renames`, a rename under way is waited for first, so that every file
  // renamed so far is handed back. True when the batch has ended too: every
  // write of it handed back, and *flush_err says whether the flush of a
  // directory failed (empty if not).
  bool Take(std::vector<FileWrite>* done, std::string* flush_err, bool renames = false);
  // After this, no write for note `id` renames anything any more. A write
  // not done yet is dropped (true in *dropped, with the write's new_file in
  // *was_new); one renaming now is waited for; a finished one not yet
  // taken is moved into *done. False when the batch holds no write for id.
  bool Withdraw(int id, std::vector<FileWrite>* done, bool* dropped, bool* was_new);
  // Blocks until the batch under way (if any) has ended.
  void Wait();

 private:
  enum class State { kQueued, kRunning, kRenaming, kDone };
  struct Job {
    FileWrite write;
    State state = State::kQueued;
    bool withdrawn = false;
    bool taken = false;
  };
  void Run();
  void RunStretch(std::vector<Job*> stretch);
  void Wake();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Job>> jobs_;  // the batch's writes, in order
  std::size_t next_ = 0;                   // the first not yet started
  std::size_t taken_ = 0;                  // the jobs before it are all taken
  bool open_ = false;                      // a batch was opened and not yet taken as ended
  bool closed_ = false;                    // no more writes come for it
  bool ended_ = false;                     // its directories are flushed
  bool woken_ = false;                     // a byte is in the pipe
  std::size_t unsent_ = 0;                 // writes done since the last wake
  static constexpr std::size_t kWritesPerWake = 32;
  bool stop_ = false;
  std::string flush_err_;
  ReplacePass pass_;  // the thread's alone
  int wake_[2] = {-1, -1};
  std::thread thread_;
};
