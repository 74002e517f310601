#include "notes/list_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ListRowsTest, FullRows) {
  struct Case {
    int height, pitch;
    std::size_t rows;
  } cases[] = {
      {100, 26, 3}, {104, 26, 4}, {103, 26, 3}, {26, 26, 1}, {25, 26, 1}, {0, 26, 1}, {100, 0, 1}, {-5, 26, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(FullRows(c.height, c.pitch), c.rows) << c.height << "/" << c.pitch;
}

TEST(ListRowsTest, TheViewStaysFilled) {
  struct Case {
    long long first;
    std::size_t count, full, want;
  } cases[] = {
      {0, 5000, 3, 0},    {4997, 5000, 3, 4997}, {4998, 5000, 3, 4997}, {-1, 5000, 3, 0},
      {7, 2, 3, 0},       {1, 3, 3, 0},          {0, 0, 3, 0},          {1LL << 40, 5000, 3, 4997},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClampFirst(c.first, c.count, c.full), c.want) << c.first << " of " << c.count;
}

TEST(ListRowsTest, ThumbFractionsAndBack) {
  // Dragging the thumb to the bottom and past it shows the end; to the top
  // and above it, the start; a thumb set from a view leads back to it.
  struct Case {
    double top;
    std::size_t want;
  } cases[] = {
      {0.0, 0}, {-0.5, 0}, {1.0, 4997}, {2.0, 4997}, {0.5, 2500}, {0.99999, 4997},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstAtFraction(c.top, 5000, 3), c.want) << c.top;
  for (std::size_t first : {0u, 1u, 1234u, 4996u, 4997u}) {
    Thumb t = ThumbOf(first, 5000, 3);
    EXPECT_EQ(FirstAtFraction(t.top, 5000, 3), first);
    EXPECT_FLOAT_EQ(t.shown, 3.0f / 5000);
  }
  Thumb all = ThumbOf(0, 3, 3);
  EXPECT_EQ(all.top, 0);
  EXPECT_EQ(all.shown, 1);
  EXPECT_EQ(ThumbOf(0, 0, 3).shown, 1);
}

TEST(ListRowsTest, ScrollingMovesWholeRowsAndAtLeastOne) {
  struct Case {
    std::size_t first;
    int pixels;
    std::size_t want;
  } cases[] = {
      {10, 52, 12}, {10, 1, 11}, {10, -1, 9}, {10, -80, 7}, {10, 0, 10}, {0, -30, 0}, {4997, 26, 4997}, {4990, 1000, 4997},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FirstAfterScroll(c.first, c.pixels, 26, 5000, 3), c.want) << c.first << " by " << c.pixels;
  EXPECT_EQ(FirstAfterScroll(10, 5, 0, 5000, 3), 11u) << "no pitch known yet";
}

}  // namespace
