// Which entries of a long list a window of a few rows shows: plain
// arithmetic over row counts, pixels and scroll bar fractions, with no X.
#pragma once

#include <cstddef>

// Rows of `pitch` pixels that fit wholly in `height` pixels; at least one.
std::size_t FullRows(int height, int pitch);

// The first entry to show of `count`, kept so that the view stays filled:
// from 0 to count - full (0 when everything fits).
std::size_t ClampFirst(long long first, std::size_t count, std::size_t full);

// The first entry for a scroll bar's thumb whose top stands at `top`
// (0 to 1) of the bar.
std::size_t FirstAtFraction(double top, std::size_t count, std::size_t full);

// The first entry after scrolling by `pixels` (forward when positive, back
// when negative) with rows of `pitch` pixels; any scroll moves at least one
// row.
std::size_t FirstAfterScroll(std::size_t first, int pixels, int pitch, std::size_t count, std::size_t full);

// The scroll bar's thumb for a view of `full` rows from `first` on: where
// its top stands and how much of the bar it covers, both 0 to 1.
struct Thumb {
  float top = 0;
  float shown = 1;
};
Thumb ThumbOf(std::size_t first, std::size_t count, std::size_t full);
