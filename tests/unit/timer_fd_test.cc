// Timers watched as file descriptors: a monotonic one fires once after its
// stretch; a clock watch stays quiet while the clock only ticks.
#include "app/timer_fd.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

bool Readable(int fd, int timeout_ms) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN);
}

TEST(TimerFd, MonotonicFiresOnceAfterItsStretch) {
  TimerFd timer(TimerFd::kMonotonic);
  ASSERT_GE(timer.fd(), 0);
  EXPECT_EQ(timer.Consume(), TimerFd::kNothing) << "unarmed";
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(timer.ArmAfter(30));
  EXPECT_FALSE(Readable(timer.fd(), 5));
  ASSERT_TRUE(Readable(timer.fd(), 2000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_EQ(timer.Consume(), TimerFd::kExpired);
  EXPECT_FALSE(Readable(timer.fd(), 60)) << "one shot";
  // Zero still fires (soon), never disarms.
  ASSERT_TRUE(timer.ArmAfter(0));
  EXPECT_TRUE(Readable(timer.fd(), 2000));
  EXPECT_EQ(timer.Consume(), TimerFd::kExpired);
  // Disarmed before its time, it stays quiet.
  ASSERT_TRUE(timer.ArmAfter(30));
  ASSERT_TRUE(timer.Disarm());
  EXPECT_FALSE(Readable(timer.fd(), 100));
  EXPECT_EQ(timer.Consume(), TimerFd::kNothing);
}

TEST(TimerFd, ClockWatchIsQuietWhileTheClockTicks) {
  TimerFd watch(TimerFd::kClockChanges);
  ASSERT_GE(watch.fd(), 0);
  ASSERT_TRUE(watch.WatchClockChanges());
  EXPECT_FALSE(Readable(watch.fd(), 50));
  EXPECT_EQ(watch.Consume(), TimerFd::kNothing);
}

}  // namespace
