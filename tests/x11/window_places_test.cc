// Where windows stand, asked for many windows at once.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <vector>

#include "app/app.h"
#include "app/window_places.h"
#include "x11_util.h"

namespace {

Window Root() { return DefaultRootWindow(program.display); }

Window MakeWindow(Window parent, int x, int y, unsigned int border) {
  return XCreateSimpleWindow(program.display, parent, x, y, 30, 20, border, 0, 0);
}

// Windows made for one test, destroyed with it.
class Windows {
 public:
  ~Windows() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) XDestroyWindow(program.display, *it);
    XSync(program.display, False);
  }
  Window Make(Window parent, int x, int y, unsigned int border) {
    made_.push_back(MakeWindow(parent, x, y, border));
    return made_.back();
  }

 private:
  std::vector<Window> made_;
};

TEST(OuterPlacesTest, FramesWindowsOfTheirOwnAndGoneWindows) {
  Windows w;
  Window frame = w.Make(Root(), 40, 50, 3);
  Window framed = w.Make(frame, 2, 25, 0);  // as a window manager reparents it
  Window alone = w.Make(Root(), 70, 80, 2);
  Window deep_frame = w.Make(Root(), -5, 900, 1);
  Window middle = w.Make(deep_frame, 1, 1, 0);
  Window deep = w.Make(middle, 3, 4, 1);
  Window gone = MakeWindow(Root(), 1, 1, 0);
  XDestroyWindow(program.display, gone);
  XSync(program.display, False);

  struct Case {
    Window window;
    OuterPlace want;
  } cases[] = {
      {framed, {true, true, 40, 50, 3}},    {alone, {true, false, 70, 80, 2}},
      {deep, {true, true, -5, 900, 1}},     {frame, {true, false, 40, 50, 3}},
      {gone, {false, false, 0, 0, 0}},      {None, {false, false, 0, 0, 0}},
  };
  std::vector<Window> windows;
  for (const Case& c : cases) windows.push_back(c.window);
  std::vector<OuterPlace> places = OuterPlaces(program.display, windows);
  ASSERT_EQ(places.size(), windows.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    const OuterPlace& got = places[i];
    const OuterPlace& want = cases[i].want;
    EXPECT_EQ(got.known, want.known) << "case " << i;
    EXPECT_EQ(got.reparented, want.reparented) << "case " << i;
    EXPECT_EQ(got.x, want.x) << "case " << i;
    EXPECT_EQ(got.y, want.y) << "case " << i;
    EXPECT_EQ(got.border, want.border) << "case " << i;
  }
  EXPECT_TRUE(OuterPlaces(program.display, {}).empty());
}

TEST(OuterPlacesTest, ManyWindowsKeepTheirOrderAndLeaveNoErrorBehind) {
  // Half of them framed, half on their own, every tenth gone: the answers
  // come back in the order asked, and the gone ones raise no X error (the
  // program would end on one).
  Windows w;
  std::vector<Window> windows;
  for (int i = 0; i < 600; ++i) {
    if (i % 10 == 9) {
      windows.push_back(MakeWindow(Root(), i, 2 * i, 0));
      XDestroyWindow(program.display, windows.back());
      continue;
    }
    Window top = w.Make(Root(), i, 2 * i, i % 3);
    windows.push_back(i % 2 ? w.Make(top, 1, 1, 0) : top);
  }
  XSync(program.display, False);
  std::vector<OuterPlace> places = OuterPlaces(program.display, windows);
  ASSERT_EQ(places.size(), windows.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    int n = static_cast<int>(i);
    if (i % 10 == 9) {
      EXPECT_FALSE(places[i].known) << i;
      continue;
    }
    EXPECT_TRUE(places[i].known) << i;
    EXPECT_EQ(places[i].reparented, i % 2 == 1) << i;
    EXPECT_EQ(places[i].x, n) << i;
    EXPECT_EQ(places[i].y, 2 * n) << i;
    EXPECT_EQ(places[i].border, n % 3) << i;
  }
  Pump();  // an X error would have ended the process here
}

}  // namespace
