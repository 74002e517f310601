// When recovery files are written: within a second of any change, at most
// once a second per note while typing goes on, and nothing due once the
// writes have caught up.
#include <gtest/gtest.h>

#include <vector>

#include "storage/recovery_schedule.h"

namespace {

using Millis = RecoverySchedule::Millis;

// Types into note 1 every `every` ms from 0 to `until`, and writes whatever
// is due at every millisecond as a timer would; returns the write times.
std::vector<Millis> TypeAndWrite(Millis every, Millis until, Millis run_to) {
  RecoverySchedule s;
  std::vector<Millis> writes;
  for (Millis t = 0; t <= run_to; ++t) {
    if (t <= until && t % every == 0) s.Changed(1, t);
    for (int id : s.TakeDue(t)) {
      EXPECT_EQ(id, 1);
      s.Written(id, t, true);
      writes.push_back(t);
    }
  }
  EXPECT_EQ(s.NextDue(), -1) << "nothing left due";
  return writes;
}

TEST(RecoverySchedule, OneKeystrokeIsWrittenHalfASecondLater) {
  EXPECT_EQ(TypeAndWrite(1, 0, 5000), (std::vector<Millis>{500}));
}

TEST(RecoverySchedule, ContinuousTypingWritesOnceASecondAndTheLastChangeWithinASecond) {
  const Millis cases[] = {1, 40, 120, 999};  // ms between keys
  for (Millis every : cases) {
    SCOPED_TRACE(every);
    const Millis until = 10000 / every * every;  // the last key
    std::vector<Millis> writes = TypeAndWrite(every, until, 20000);
    ASSERT_FALSE(writes.empty());
    for (std::size_t i = 1; i < writes.size(); ++i) {
      EXPECT_GE(writes[i] - writes[i - 1], RecoverySchedule::kGapMs) << "at most one write a second";
      EXPECT_LE(writes[i] - writes[i - 1], 2000) << "a write at least every 2 s";
    }
    EXPECT_GE(writes.back(), until) << "the last change is written";
    EXPECT_LE(writes.back() - until, 1000) << "within a second of it";
  }
}

TEST(RecoverySchedule, AChangeAfterAWriteWaitsForTheGap) {
  RecoverySchedule s;
  EXPECT_EQ(s.Changed(1, 0), 500);
  EXPECT_EQ(s.Changed(1, 100), -1) << "already due: no more work";
  EXPECT_TRUE(s.TakeDue(499).empty());
  EXPECT_EQ(s.TakeDue(500), std::vector<int>{1});
  s.Written(1, 500, true);
  EXPECT_EQ(s.Changed(1, 600), 1500);
  EXPECT_EQ(s.Changed(2, 700), 1200) << "other notes keep their own pace";
  EXPECT_EQ(s.NextDue(), 1200);
  EXPECT_EQ(s.TakeDue(2000), (std::vector<int>{2, 1})) << "earliest first";
}

TEST(RecoverySchedule, ForgettingTellsWhetherAFileIsToRemove) {
  RecoverySchedule s;
  s.Changed(1, 0);
  EXPECT_FALSE(s.Forget(1)) << "due but never written";
  EXPECT_EQ(s.NextDue(), -1);
  s.Changed(2, 0);
  s.Written(2, 500, true);
  s.Changed(3, 0);
  s.Written(3, 500, false);
  s.Adopt(4);
  s.Leave(5);
  EXPECT_EQ(s.Changed(5, 0), -1) << "a note whose place holds a file kept for the user";
  EXPECT_FALSE(s.Forget(5));
  EXPECT_EQ(s.ForgetAll(), (std::vector<int>{2, 4}));
  EXPECT_EQ(s.Changed(5, 0), -1) << "still left alone";
  EXPECT_EQ(s.Changed(2, 0), 500) << "a fresh start";
}

}  // namespace
