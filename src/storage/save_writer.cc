#include "storage/save_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "storage/file_identity.h"

void ReplaceNow(FileWrite* write) {
  write->ok = ReplaceFile(write->path, write->bytes, &write->system, write->options, &write->details);
  write->identity = StoredFile();
  struct stat st;
  if (write->ok && stat(write->path.c_str(), &st) == 0) write->identity = IdentityOf(st, write->bytes);
}

SaveWriter::SaveWriter() {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
    return;
  }
  // Signals stay with the main thread: the writer is started with every
  // signal blocked, and keeps them blocked.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

SaveWriter::~SaveWriter() {
  Wait();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (wake_[0] >= 0) {
    close(wake_[0]);
    close(wake_[1]);
  }
}

bool SaveWriter::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

void SaveWriter::Add(std::vector<FileWrite> writes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    for (FileWrite& write : writes) {
      jobs_.push_back(std::make_unique<Job>());
      jobs_.back()->write = std::move(write);
    }
  }
  changed_.notify_all();
}

void SaveWriter::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    closed_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable() || ended_) return;
  // No thread: the batch is written here and now.
  std::vector<Job*> all;
  for (auto& job : jobs_) all.push_back(job.get());
  next_ = jobs_.size();
  for (std::size_t start = 0; start < all.size(); start += kNotesWrittenAhead)
    RunStretch(std::vector<Job*>(all.begin() + start,
                                 all.begin() + std::min(all.size(), start + kNotesWrittenAhead)));
  std::string err;
  pass_.Finish(&err);
  std::lock_guard<std::mutex> lock(mutex_);
  flush_err_ = err;
  ended_ = true;
}

void SaveWriter::Wake() {
  // Under the lock: one byte stands for everything finished until Take.
  if (woken_ || wake_[1] < 0) return;
  woken_ = true;
  (void)!write(wake_[1], "", 1);
}

void SaveWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || next_ < jobs_.size() || (closed_ && !ended_); });
    if (next_ < jobs_.size()) {
      const std::size_t end = std::min(jobs_.size(), next_ + kNotesWrittenAhead);
      std::vector<Job*> stretch;
      for (; next_ < end; ++next_) stretch.push_back(jobs_[next_].get());
      lock.unlock();
      RunStretch(std::move(stretch));
      lock.lock();
    } else if (closed_ && !ended_) {
      lock.unlock();
      std::string err;
      pass_.Finish(&err);
      lock.lock();
      flush_err_ = err;
      ended_ = true;
      Wake();
      changed_.notify_all();
    } else if (stop_) {
      return;
    }
  }
}

void SaveWriter::RunStretch(std::vector<Job*> stretch) {
  // The paths and bytes of a job never change once added: they are read
  // without the lock; its state and withdrawal only under it.
  std::vector<Job*> ahead;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Job* job : stretch)
      if (!job->withdrawn) ahead.push_back(job);
  }
  for (Job* job : ahead) pass_.WriteAhead(job->write.path, job->write.bytes);
  pass_.StartWriteback();
  for (Job* job : stretch) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (job->withdrawn) {
        job->state = State::kDone;
        changed_.notify_all();
        continue;
      }
      job->state = State::kRunning;
    }
    FileWrite& write = job->write;
    const std::function<bool()> seen = write.options.still_as_seen;
    write.options.pass = &pass_;
    // Right before the rename: a withdrawn write renames nothing, and once
    // it renames, a withdrawal waits for it.
    write.options.still_as_seen = [this, job, seen] {
      if (seen && !seen()) return false;
      std::lock_guard<std::mutex> lock(mutex_);
      if (job->withdrawn) return false;
      job->state = State::kRenaming;
      return true;
    };
    ReplaceNow(&write);
    write.options = ReplaceOptions();  // holds nothing of this thread's any more
    std::lock_guard<std::mutex> lock(mutex_);
    job->state = State::kDone;
    // The main loop hears of the writes a few dozen at a time, and of the
    // last of each stretch at once.
    if (++unsent_ >= kWritesPerWake || job == stretch.back()) {
      unsent_ = 0;
      Wake();
    }
    changed_.notify_all();
  }
}

bool SaveWriter::Take(std::vector<FileWrite>* done, std::string* flush_err, bool renames) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (woken_) {
    char bytes[64];
    while (read(wake_[0], bytes, sizeof bytes) > 0) {
    }
    woken_ = false;
  }
  for (std::size_t i = taken_; renames && i < next_ && i < jobs_.size(); ++i) {
    Job* job = jobs_[i].get();
    changed_.wait(lock, [job] { return job->state != State::kRenaming; });
  }
  for (std::size_t i = taken_; i < jobs_.size(); ++i) {
    Job& job = *jobs_[i];
    if (job.taken) continue;
    if (job.state != State::kDone) break;  // the writer goes in order
    job.taken = true;
    if (!job.withdrawn) done->push_back(std::move(job.write));
  }
  while (taken_ < jobs_.size() && jobs_[taken_]->taken) ++taken_;
  if (!ended_ || taken_ < jobs_.size()) return false;
  *flush_err = flush_err_;
  jobs_.clear();
  next_ = taken_ = 0;
  open_ = closed_ = ended_ = false;
  flush_err_.clear();
  return true;
}

bool SaveWriter::Withdraw(int id, std::vector<FileWrite>* done, bool* dropped, bool* was_new) {
  *dropped = false;
  std::unique_lock<std::mutex> lock(mutex_);
  bool any = false;
  for (auto& job : jobs_) {
    if (job->taken || job->withdrawn || job->write.id != id) continue;
    any = true;
    changed_.wait(lock, [&job] { return job->state != State::kRenaming; });
    if (job->state == State::kDone) {
      job->taken = true;
      done->push_back(std::move(job->write));
    } else {
      job->withdrawn = true;
      *dropped = true;
      *was_new = job->write.new_file;
    }
  }
  return any;
}

void SaveWriter::Wait() {
  if (!thread_.joinable()) {
    if (Busy()) Close();  // written here, now
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_) return;
  if (!closed_) {
    closed_ = true;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return ended_; });
}
