// When each note's recovery file is written (X-free). A note's first change
// not yet in its recovery file makes it due kDelayMs later, but never
// sooner than kGapMs after its previous write. So every change is on disk
// within a second, continuous typing writes a note once a second, and
// nothing is due once the writes have caught up. Times are milliseconds on
// a monotonic clock.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

class RecoverySchedule {
 public:
  using Millis = std::int64_t;
  static constexpr Millis kDelayMs = 500;
  static constexpr Millis kGapMs = 1000;

  // Whether the note has a change that is due to be written.
  bool Pending(int id) const;
  // A change of the note at now; returns when it is due, or -1 when it was
  // due already (or the note is left alone, Leave).
  Millis Changed(int id, Millis now);
  // The notes due at now, earliest first; they are no longer pending.
  std::vector<int> TakeDue(Millis now);
  // The earliest time a note is due, or -1 when none is.
  Millis NextDue() const;

  // The note's recovery file was written at now, with every change so far
  // (or the write failed: the next change tries again).
  void Written(int id, Millis now, bool ok);
  // A recovery file exists for the note (found at start-up).
  void Adopt(int id);
  // The note was saved, destroyed or discarded: nothing is due for it any
  // more. True when it has a recovery file, which the caller removes.
  bool Forget(int id);
  // Forget for every note; the ids that have recovery files.
  std::vector<int> ForgetAll();
  // The note's recovery place holds a file that is not ours to replace or
  // remove: the note gets none.
  void Leave(int id);

 private:
  struct State {
    bool pending = false;
    bool has_file = false;
    bool left_alone = false;
    bool written = false;  // last_write holds a time
    Millis due = 0;
    Millis last_write = 0;
  };
  std::unordered_map<int, State> states_;
};
