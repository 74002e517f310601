#include "app/timer_fd.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

TimerFd::TimerFd(Kind kind)
    : fd_(timerfd_create(kind == kMonotonic ? CLOCK_MONOTONIC : CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {}

bool TimerFd::ArmAfter(unsigned long ms) {
  if (ms == 0) ms = 1;
  itimerspec expiry{};
  expiry.it_value.tv_sec = static_cast<time_t>(ms / 1000);
  expiry.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  return fd_.valid() && timerfd_settime(fd_.get(), 0, &expiry, nullptr) == 0;
}

bool TimerFd::Disarm() {
  itimerspec expiry{};
  return fd_.valid() && timerfd_settime(fd_.get(), 0, &expiry, nullptr) == 0;
}

bool TimerFd::WatchClockChanges() {
  if (!fd_.valid()) return false;
  // An absolute expiry far ahead that never comes: the timer is only there
  // to be cancelled when the clock is set.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  itimerspec expiry{};
  expiry.it_value.tv_sec = now.tv_sec + 10L * 366 * 24 * 3600;
  return timerfd_settime(fd_.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) == 0;
}

TimerFd::Event TimerFd::Consume() {
  std::uint64_t expirations = 0;
  ssize_t n = read(fd_.get(), &expirations, sizeof expirations);
  if (n == static_cast<ssize_t>(sizeof expirations)) return expirations > 0 ? kExpired : kNothing;
  if (n < 0 && errno == ECANCELED) return kClockSet;
  return kNothing;
}
