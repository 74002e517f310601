// Keeping windows on the screen: the arithmetic of Athena's menuOnScreen
// applied to a window with its border or its window manager's frame.
#include <gtest/gtest.h>

#include "app/placement.h"

namespace {

TEST(PlacementTest, SpanMovedInsideTheScreen) {
  struct Case {
    int start, length, screen;
    int expected;
  } cases[] = {
      {100, 214, 1920, 100},    // fits: stays where it was wanted
      {1706, 214, 1920, 1706},  // ends exactly at the edge
      {1707, 214, 1920, 1706},  // one pixel past it
      {1832, 214, 1920, 1706},  // the note list opened from the control window
      {1919, 214, 1920, 1706},
      {5000, 214, 1920, 1706},
      {0, 214, 1920, 0},
      {-1, 214, 1920, 0},       // before the near edge
      {-500, 214, 1920, 0},
      {10, 1920, 1920, 0},      // exactly the screen's size
      {10, 1921, 1920, 0},      // longer than the screen: begins at 0
      {10, 40000, 1920, 0},
      {1920, 0, 1920, 1920},    // nothing to show
  };
  for (const Case& c : cases)
    EXPECT_EQ(KeepSpanInside(c.start, c.length, c.screen), c.expected)
        << c.length << " pixels at " << c.start << " on " << c.screen;
}

TEST(PlacementTest, WindowMovedWhollyOntoTheScreen) {
  struct Case {
    Point at;
    int width, height;
    Point expected;
  } cases[] = {
      {{300, 200}, 214, 144, {300, 200}},
      {{1832, 90}, 214, 144, {1706, 90}},     // past the right edge only
      {{300, 1000}, 214, 144, {300, 936}},    // past the bottom only
      {{1919, 1079}, 231, 198, {1689, 882}},  // the bottom right corner
      {{1919, 1079}, 2000, 2000, {0, 0}},     // larger than the screen
  };
  for (const Case& c : cases) {
    Point p = KeepInside(c.at, c.width, c.height, 1920, 1080);
    EXPECT_EQ(p.x, c.expected.x) << c.at.x << "," << c.at.y;
    EXPECT_EQ(p.y, c.expected.y) << c.at.x << "," << c.at.y;
  }
}

TEST(PlacementTest, DecorationFromWhatTheScreenShows) {
  struct Case {
    const char* what;
    int outer_width, outer_height, outer_border, width, height;
    Decoration expected;
  } cases[] = {
      {"no window manager, 1-pixel border", 210, 140, 1, 210, 140, {2, 2}},
      {"no window manager, no border", 210, 140, 0, 210, 140, {0, 0}},
      {"twm frame of a dialog", 210, 140, 2, 210, 140, {4, 4}},
      {"twm frame with a title bar", 227, 194, 2, 227, 169, {4, 29}},
      {"a frame smaller than its window", 100, 100, 0, 210, 140, {0, 0}},
  };
  for (const Case& c : cases) {
    Decoration d = DecorationOf(c.outer_width, c.outer_height, c.outer_border, c.width, c.height);
    EXPECT_EQ(d.width, c.expected.width) << c.what;
    EXPECT_EQ(d.height, c.expected.height) << c.what;
  }
}

}  // namespace
