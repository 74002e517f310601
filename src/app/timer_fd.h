// Timers the main loop watches as file descriptors (X-free). The toolkit's
// own timeouts follow the wall clock, so setting the clock back an hour
// delays them an hour; these do not.
#pragma once

#include "storage/file_io.h"

class TimerFd {
 public:
  enum Kind {
    kMonotonic,     // fires after a stretch of elapsed time
    kClockChanges,  // readable whenever the wall clock is set
  };
  enum Event { kNothing, kExpired, kClockSet };

  explicit TimerFd(Kind kind);
  TimerFd(const TimerFd&) = delete;
  TimerFd& operator=(const TimerFd&) = delete;

  // The descriptor to watch for reading; -1 when the system has no such
  // timers (the caller then falls back on the toolkit's timeouts).
  int fd() const { return fd_.get(); }

  // kMonotonic: fires once, `ms` milliseconds from now (at least 1).
  bool ArmAfter(unsigned long ms);
  // kMonotonic: will not fire (until armed again).
  bool Disarm();
  // kClockChanges: starts (again) to watch for the wall clock being set.
  bool WatchClockChanges();

  // Reads what made the descriptor readable. After kClockSet the watch
  // must be started again.
  Event Consume();

 private:
  FileDescriptor fd_;
};
