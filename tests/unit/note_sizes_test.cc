// Pixels per inch, the standard note sizes and the cascade plan.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "frame/note_sizes.h"

namespace {

TEST(NoteSizesTest, PixelsPerInchFromScreens) {
  struct Case {
    int px, py, mmx, mmy;
    int ppi_x, ppi_y;
  } cases[] = {
      {1920, 1080, 508, 286, 96, 96},    // Xvfb -dpi 96
      {1280, 1024, 325, 260, 100, 100},  // Xvfb default, 100 dpi
      {1024, 768, 347, 260, 75, 75},     // 74.95 rounds up
      {1920, 1080, 0, 286, 96, 96},      // no width in millimetres
      {1600, 1200, 406, 0, 100, 96},     // no height in millimetres
      {1, 1, 1000, 1000, 96, 96},        // would round to 0
  };
  for (const Case& c : cases) {
    PixelsPerInch ppi = ScreenPixelsPerInch(c.px, c.py, c.mmx, c.mmy);
    EXPECT_EQ(ppi.horizontal, c.ppi_x) << c.px << "x" << c.py << " at " << c.mmx << "x" << c.mmy;
    EXPECT_EQ(ppi.vertical, c.ppi_y) << c.px << "x" << c.py << " at " << c.mmx << "x" << c.mmy;
  }
}

TEST(NoteSizesTest, StandardSizesInPixels) {
  struct Case {
    PixelsPerInch ppi;
    int index;
    int width, height;
  } cases[] = {
      {{96, 96}, 0, 192, 144}, {{96, 96}, 1, 288, 192}, {{96, 96}, 2, 288, 288},
      {{96, 96}, 3, 384, 288}, {{96, 96}, 4, 480, 288}, {{96, 96}, 5, 576, 384},
      // 1.5 inches at 75 ppi is 112.5: truncated.
      {{100, 75}, 0, 200, 112}, {{100, 75}, 4, 500, 225},
      {{101, 77}, 0, 202, 115}, {{101, 77}, 5, 606, 308},
  };
  for (const Case& c : cases) {
    NoteSize size = StandardNoteSize(c.index, c.ppi);
    EXPECT_EQ(size.width, c.width) << "index " << c.index << " at " << c.ppi.horizontal;
    EXPECT_EQ(size.height, c.height) << "index " << c.index << " at " << c.ppi.vertical;
  }
}

TEST(NoteSizesTest, ScreenOf1920x1080At508x286Millimetres) {
  PixelsPerInch ppi = ScreenPixelsPerInch(1920, 1080, 508, 286);
  NoteSize five_by_three = StandardNoteSize(4, ppi);
  EXPECT_EQ(five_by_three.width, 480);
  EXPECT_EQ(five_by_three.height, 288);
  NoteSize smallest = StandardNoteSize(0, ppi);
  EXPECT_EQ(smallest.width, 192);
  EXPECT_EQ(smallest.height, 144);
}

struct Expected {
  std::size_t index;
  int x, y;
};

void ExpectMoves(const std::vector<CascadeMove>& moves, const std::vector<Expected>& expected) {
  ASSERT_EQ(moves.size(), expected.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    EXPECT_EQ(moves[i].index, expected[i].index) << "move " << i;
    EXPECT_EQ(moves[i].x, expected[i].x) << "move " << i;
    EXPECT_EQ(moves[i].y, expected[i].y) << "move " << i;
  }
}

TEST(CascadePlanTest, NotesAreDealtToTheAnchorsInTurn) {
  // List: P, A (anchor), Q, B (anchor), R, S. Anchors count in list order
  // whatever comes before them.
  CascadeNote P, Q, R, S;
  CascadeNote A{true, false, 100, 200};
  CascadeNote B{true, false, 700, 50};
  std::vector<CascadeNote> notes = {P, A, Q, B, R, S};
  ExpectMoves(PlanCascade(notes, 15), {
                                          {0, 115, 215},  // P: A + 1
                                          {2, 715, 65},   // Q: B + 1
                                          {4, 130, 230},  // R: A + 2
                                          {5, 730, 80},   // S: B + 2
                                      });
}

TEST(CascadePlanTest, HiddenAnchorsAnchorAndHiddenNotesStay) {
  CascadeNote A{true, true, 10, 20};  // hidden anchor
  CascadeNote B{true, false, 300, 400};
  CascadeNote P, R;
  CascadeNote Q{false, true, 5, 5};  // hidden, not anchored: not moved
  std::vector<CascadeNote> notes = {A, B, P, Q, R};
  ExpectMoves(PlanCascade(notes, 10), {{2, 20, 30}, {4, 310, 410}});
}

TEST(CascadePlanTest, NegativeOffsetGoesUpAndLeft) {
  CascadeNote A{true, false, 500, 500};
  std::vector<CascadeNote> notes = {A, {}, {}, {}};
  ExpectMoves(PlanCascade(notes, -20), {{1, 480, 480}, {2, 460, 460}, {3, 440, 440}});
}

TEST(CascadePlanTest, NothingToDo) {
  EXPECT_TRUE(PlanCascade({}, 15).empty());
  EXPECT_TRUE(PlanCascade({{}, {}, {false, true, 0, 0}}, 15).empty()) << "no anchor";
  EXPECT_TRUE(PlanCascade({{true, false, 1, 1}, {true, true, 2, 2}}, 15).empty()) << "only anchors";
}

TEST(CascadePlanTest, NotesStandingAtTheirPlaceOnlyStay) {
  // A second cascade finds every note where the first put it: nothing moves.
  CascadeNote A{true, false, 100, 200};
  std::vector<CascadeNote> notes = {A, {}, {}, {}};
  std::vector<CascadeMove> first = PlanCascade(notes, 15);
  ASSERT_EQ(first.size(), 3u);
  for (const CascadeMove& m : first) {
    EXPECT_FALSE(m.stays) << m.index;
    notes[m.index] = {false, false, m.x, m.y, true};
  }
  for (const CascadeMove& m : PlanCascade(notes, 15)) EXPECT_TRUE(m.stays) << m.index;

  // Only an exact match stays; a place that is not known never does, even
  // when it happens to hold the target.
  struct Case {
    CascadeNote note;
    bool stays;
  } cases[] = {
      {{false, false, 115, 215, true}, true},   {{false, false, 116, 215, true}, false},
      {{false, false, 115, 214, true}, false},  {{false, false, 115, 215, false}, false},
      {{false, false, 215, 115, true}, false},
  };
  for (const Case& c : cases) {
    std::vector<CascadeMove> moves = PlanCascade({A, c.note}, 15);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].stays, c.stays) << c.note.x << "," << c.note.y << " placed " << c.note.placed;
  }
}

TEST(CascadePlanTest, HugeOffsetsStayWithinWindowPositions) {
  CascadeNote A{true, false, 0, 0};
  std::vector<CascadeNote> notes = {A, {}, {}, {}};
  std::vector<CascadeMove> up = PlanCascade(notes, INT_MAX);
  ASSERT_EQ(up.size(), 3u);
  for (const CascadeMove& m : up) EXPECT_EQ(m.x, 32767);
  std::vector<CascadeMove> down = PlanCascade(notes, INT_MIN);
  ASSERT_EQ(down.size(), 3u);
  for (const CascadeMove& m : down) EXPECT_EQ(m.y, -32768);
}

TEST(NoteSizesTest, NoteSizesWrittenAsTheMenuNamesThem) {
  const PixelsPerInch ppi{96, 100};
  struct Case {
    const char* text;
    bool valid;
    int width;
    int height;
  } cases[] = {
      {"3x5", true, 480, 300},   {"1.5x2", true, 192, 150}, {"0.5x40", true, 3840, 50},
      {"4x6.25", true, 600, 400}, {"3X5", false, 0, 0},     {"3x", false, 0, 0},
      {"x5", false, 0, 0},        {"0.4x5", false, 0, 0},   {"3x41", false, 0, 0},
      {"-3x5", false, 0, 0},      {"3x5x2", false, 0, 0},   {" 3x5", false, 0, 0},
      {"1e1x5", false, 0, 0},     {"3..x5", false, 0, 0},   {".x5", false, 0, 0},
      {"", false, 0, 0},          {"99999999999x5", false, 0, 0},
  };
  for (const Case& c : cases) {
    NoteSize size{-1, -1};
    EXPECT_EQ(NoteSizeOf(c.text, ppi, &size), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(size.width, c.width) << c.text;
      EXPECT_EQ(size.height, c.height) << c.text;
    }
  }
}

}  // namespace
