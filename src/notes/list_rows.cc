#include "notes/list_rows.h"

#include <algorithm>

#include "model/text_scale.h"

std::size_t FullRows(int height, int pitch) {
  if (pitch <= 0 || height < pitch) return 1;
  return static_cast<std::size_t>(height / pitch);
}

std::size_t ClampFirst(long long first, std::size_t count, std::size_t full) {
  long long last = count > full ? static_cast<long long>(count - full) : 0;
  return static_cast<std::size_t>(std::clamp(first, 0LL, last));
}

std::size_t FirstAtFraction(double top, std::size_t count, std::size_t full) {
  if (!(top > 0)) return 0;  // also NaN
  return ClampFirst(RoundedHalfAway(std::min(top, 1.0) * static_cast<double>(count)), count, full);
}

std::size_t FirstAfterScroll(std::size_t first, int pixels, int pitch, std::size_t count, std::size_t full) {
  if (pixels == 0) return ClampFirst(static_cast<long long>(first), count, full);
  long long rows = pitch > 0 ? pixels / pitch : 0;
  if (rows == 0) rows = pixels > 0 ? 1 : -1;
  return ClampFirst(static_cast<long long>(first) + rows, count, full);
}

Thumb ThumbOf(std::size_t first, std::size_t count, std::size_t full) {
  if (count == 0 || full >= count) return {};
  return {static_cast<float>(static_cast<double>(first) / static_cast<double>(count)),
          static_cast<float>(static_cast<double>(full) / static_cast<double>(count))};
}
