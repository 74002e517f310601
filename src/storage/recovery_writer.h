// The writer of recovery files (X-free): a thread of its own writes and
// removes them (storage/recovery.h), one job after another in the order they
// were asked for, so that writing a large note, flushing it to disk and
// renaming it never holds up the caller. A write asked for while an earlier
// write of the same file still waits its turn takes that write's place; a
// removal comes after every write of the file asked for before it. What each
// job came to is kept for the caller, and a descriptor becomes readable when
// there is some to take: the caller watches it and asks for nothing more
// while nothing is queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "storage/file_io.h"

class RecoveryWriter {
 public:
  // What a job came to.
  struct Result {
    int tag = 0;  // the caller's, as given with the job
    std::string name;
    bool removal = false;
    bool prepared = false;  // the job only made `spare` ready
    bool ok = false;
    bool tell = false;   // as given with the write
    std::string path;    // the file written
    std::string error;   // what failed ("<file>: <system's text>")
    // A write that went through removed these, as asked.
    std::vector<std::string> removed;
    // The memory the write's bytes were in, empty, for the next bytes: a
    // large buffer used again costs no new pages.
    std::string spare;
  };

  RecoveryWriter() = default;
  // Does what is queued and ends the thread.
  ~RecoveryWriter() { Finish(); }
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  // Readable while results wait to be taken; -1 when none could be made
  // (then results are only taken after Drain).
  int fd();

  // Queues writing bytes to the recovery file `name` of note_dir; once it
  // is written, the files `then_remove` go (the note's former names).
  void Write(const std::string& note_dir, int tag, const std::string& name, std::string bytes,
             std::vector<std::string> then_remove, bool tell);
  // Queues removing the recovery file `name` of note_dir, after the writes
  // queued before; a queued write of it that has not begun is dropped.
  void Remove(const std::string& note_dir, int tag, const std::string& name);

  // Has memory for `size` bytes made ready (its pages touched) and handed
  // back as the spare of a result: the caller then fills it without the
  // cost of new pages.
  void Prepare(std::size_t size);

  // Waits until every job queued so far is done.
  void Drain();
  // The results of the jobs done since the last call, in their order.
  std::vector<Result> TakeResults();
  // Whether jobs are queued or under way.
  bool Busy();
  // Does every job queued and ends the thread; a later job starts it anew.
  void Finish();

 private:
  struct Job {
    std::string note_dir;
    int tag = 0;
    std::string name;
    bool removal = false;
    bool tell = false;
    std::string bytes;
    std::vector<std::string> then_remove;
    std::size_t prepare = 0;  // a job that only makes memory ready
  };
  // With the lock held: starts the thread and the descriptor when needed;
  // false when no thread can be made (the caller does the job itself).
  bool StartLocked();
  void Run();
  static Result Do(Job& job);
  void Post(Result result);
  void PostLocked(Result result);  // with the lock held
  void Queue(Job job, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable wake_;  // a job was queued, or the end asked for
  std::condition_variable idle_;  // a job was done
  std::deque<Job> jobs_;
  bool working_ = false;  // a job is under way
  bool stop_ = false;
  std::vector<Result> results_;
  std::thread thread_;
  FileDescriptor event_;
  bool event_tried_ = false;
};
