#include "storage/recovery_writer.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

#include "storage/recovery.h"

int RecoveryWriter::fd() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!event_tried_) {
    event_tried_ = true;
    event_ = FileDescriptor(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  }
  return event_.get();
}

bool RecoveryWriter::StartLocked() {
  if (thread_.joinable()) return true;
  stop_ = false;
  // The thread takes no signal: they are the main loop's to handle, and a
  // write or flush of the thread is never interrupted by one.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  bool started = true;
  try {
    thread_ = std::thread(&RecoveryWriter::Run, this);
  } catch (const std::system_error&) {
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return started;
}

void RecoveryWriter::Queue(Job job, std::unique_lock<std::mutex>& lock) {
  if (StartLocked()) {
    jobs_.push_back(std::move(job));
    wake_.notify_one();
    return;
  }
  // No thread to be had: the job is done here and now.
  lock.unlock();
  Result result = Do(job);
  Post(std::move(result));
}

void RecoveryWriter::Write(const std::string& note_dir, int tag, const std::string& name, std::string bytes,
                           std::vector<std::string> then_remove, bool tell) {
  std::unique_lock<std::mutex> lock(mutex_);
  // The latest job for the file, when it is a write that has not begun,
  // takes the new bytes: the file is written once, with what is newest.
  for (auto it = jobs_.rbegin(); it != jobs_.rend(); ++it) {
    if (it->name != name || it->note_dir != note_dir) continue;
    if (it->removal) break;
    it->tag = tag;
    it->bytes = std::move(bytes);
    it->tell = tell;
    for (std::string& old : then_remove)
      if (std::find(it->then_remove.begin(), it->then_remove.end(), old) == it->then_remove.end())
        it->then_remove.push_back(std::move(old));
    return;
  }
  Job job;
  job.note_dir = note_dir;
  job.tag = tag;
  job.name = name;
  job.tell = tell;
  job.bytes = std::move(bytes);
  job.then_remove = std::move(then_remove);
  Queue(std::move(job), lock);
}

void RecoveryWriter::Remove(const std::string& note_dir, int tag, const std::string& name) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A write of the file that has not begun would only be removed again;
  // the former names it was to remove still go.
  std::vector<std::string> names(1, name);
  for (auto it = jobs_.begin(); it != jobs_.end();) {
    if (!it->removal && it->name == name && it->note_dir == note_dir) {
      for (std::string& old : it->then_remove) names.push_back(std::move(old));
      it = jobs_.erase(it);
    } else {
      ++it;
    }
  }
  for (std::string& gone : names) {
    Job job;
    job.note_dir = note_dir;
    job.tag = tag;
    job.name = std::move(gone);
    job.removal = true;
    Queue(std::move(job), lock);
    if (!lock.owns_lock()) lock.lock();
  }
}

void RecoveryWriter::Prepare(std::size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  Job job;
  job.prepare = size;
  Queue(std::move(job), lock);
}

void RecoveryWriter::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !working_; });
}

bool RecoveryWriter::Busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !jobs_.empty() || working_;
}

std::vector<RecoveryWriter::Result> RecoveryWriter::TakeResults() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (event_.valid()) {
    std::uint64_t count;
    (void)!read(event_.get(), &count, sizeof count);
  }
  std::vector<Result> taken;
  taken.swap(results_);
  return taken;
}

void RecoveryWriter::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return;
    idle_.wait(lock, [this] { return jobs_.empty() && !working_; });
    stop_ = true;
    wake_.notify_one();
  }
  thread_.join();
}

void RecoveryWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stop_, with nothing left to do
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    working_ = true;
    lock.unlock();
    Result result = Do(job);
    result.spare = std::move(job.bytes);
    result.spare.clear();
    job = Job();
    lock.lock();
    // Done as its result is told: who hears it finds the writer idle
    // unless more was asked for.
    working_ = false;
    PostLocked(std::move(result));
    idle_.notify_all();
  }
}

RecoveryWriter::Result RecoveryWriter::Do(Job& job) {
  Result result;
  result.tag = job.tag;
  result.name = job.name;
  result.removal = job.removal;
  result.tell = job.tell;
  if (job.prepare) {
    result.prepared = true;
    result.ok = true;
    job.bytes.resize(job.prepare);  // every page touched
    return result;
  }
  if (job.removal) {
    result.ok = RemoveRecoveryFile(job.note_dir, job.name, &result.error);
    result.path = RecoveryPath(job.note_dir, job.name);
    return result;
  }
  result.ok = WriteRecoveryFile(job.note_dir, job.name, job.bytes, &result.path, &result.error);
  if (!result.ok) return result;
  for (const std::string& old : job.then_remove) {
    std::string ignored;
    if (old != job.name && RemoveRecoveryFile(job.note_dir, old, &ignored)) result.removed.push_back(old);
  }
  return result;
}

void RecoveryWriter::Post(Result result) {
  std::lock_guard<std::mutex> lock(mutex_);
  PostLocked(std::move(result));
}

void RecoveryWriter::PostLocked(Result result) {
  results_.push_back(std::move(result));
  if (event_.valid()) {
    std::uint64_t one = 1;
    (void)!write(event_.get(), &one, sizeof one);
  }
}
