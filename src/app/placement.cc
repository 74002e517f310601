#include "app/placement.h"

#include <algorithm>

Decoration DecorationOf(int outer_width, int outer_height, int outer_border, int width, int height) {
  Decoration d;
  d.width = std::max(0, outer_width + 2 * outer_border - width);
  d.height = std::max(0, outer_height + 2 * outer_border - height);
  return d;
}

int KeepSpanInside(int start, int length, int screen) {
  if (start > screen - length) start = screen - length;
  return std::max(start, 0);
}

Point KeepInside(Point at, int width, int height, int screen_width, int screen_height) {
  return {KeepSpanInside(at.x, width, screen_width), KeepSpanInside(at.y, height, screen_height)};
}
