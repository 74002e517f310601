#include "storage/recovery_schedule.h"

#include <algorithm>

bool RecoverySchedule::Pending(int id) const {
  auto it = states_.find(id);
  return it != states_.end() && it->second.pending;
}

RecoverySchedule::Millis RecoverySchedule::Changed(int id, Millis now) {
  State& s = states_[id];
  if (s.pending || s.left_alone) return -1;
  s.pending = true;
  s.due = now + kDelayMs;
  if (s.written) s.due = std::max(s.due, s.last_write + kGapMs);
  return s.due;
}

std::vector<int> RecoverySchedule::TakeDue(Millis now) {
  std::vector<std::pair<Millis, int>> due;
  for (auto& [id, s] : states_)
    if (s.pending && s.due <= now) due.emplace_back(s.due, id);
  std::sort(due.begin(), due.end());
  std::vector<int> ids;
  ids.reserve(due.size());
  for (const auto& [when, id] : due) {
    states_[id].pending = false;
    ids.push_back(id);
  }
  return ids;
}

RecoverySchedule::Millis RecoverySchedule::NextDue() const {
  Millis next = -1;
  for (const auto& [id, s] : states_)
    if (s.pending && (next < 0 || s.due < next)) next = s.due;
  return next;
}

void RecoverySchedule::Written(int id, Millis now, bool ok) {
  State& s = states_[id];
  s.pending = false;
  s.written = true;
  s.last_write = now;
  if (ok) s.has_file = true;
}

void RecoverySchedule::Adopt(int id) { states_[id].has_file = true; }

bool RecoverySchedule::Forget(int id) {
  auto it = states_.find(id);
  if (it == states_.end() || it->second.left_alone) return false;
  bool had = it->second.has_file;
  states_.erase(it);
  return had;
}

std::vector<int> RecoverySchedule::ForgetAll() {
  std::vector<int> ids;
  for (auto it = states_.begin(); it != states_.end();) {
    if (it->second.left_alone) {
      ++it;
      continue;
    }
    if (it->second.has_file) ids.push_back(it->first);
    it = states_.erase(it);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

void RecoverySchedule::Leave(int id) {
  State& s = states_[id];
  s = State();
  s.left_alone = true;
}
