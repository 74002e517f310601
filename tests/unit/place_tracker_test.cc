// Where a window stands as the program follows it: structure notices,
// reparents by the window manager, the looks taken at the server, and the
// moves they find.
#include <gtest/gtest.h>

#include <vector>

#include "app/place_tracker.h"

namespace {

enum class Op {
  kLook,           // the server says the outer corner is at x, y, unframed
  kLookFramed,     // ... in a frame whose border is `border` wide
  kLookUnknown,    // the server could not tell
  kConfigure,      // a notice that is no reparent (move, resize, map, ...)
  kToRoot,         // the window manager let the window go
  kToFrame,        // a window manager put it in a frame
  kToRootHidden,   // the same while the note is hidden
  kToFrameHidden,
  kMoveAsked,      // the program asked for a move
  kTake,           // a save takes the move the looks found: expect `moved` and x, y
  kPlaceForMove,   // expect PlaceForMove to give `moved` and x, y
};

struct Step {
  Op op;
  int x = 0;
  int y = 0;
  bool moved = false;
  int border = 0;
};

void Apply(PlaceTracker* t, const Step& s) {
  switch (s.op) {
    case Op::kLook:
    case Op::kLookFramed:
    case Op::kLookUnknown: {
      OuterPlace place;
      place.known = s.op != Op::kLookUnknown;
      place.reparented = s.op == Op::kLookFramed;
      place.x = s.x;
      place.y = s.y;
      place.border = s.border;
      t->StartLook();
      EXPECT_FALSE(t->MayHaveMoved());
      t->TakeLook(place);
      break;
    }
    case Op::kConfigure: t->Notice(StructureNotice::kOther, true); break;
    case Op::kToRoot: t->Notice(StructureNotice::kReparentToRoot, true); break;
    case Op::kToFrame: t->Notice(StructureNotice::kReparentToFrame, true); break;
    case Op::kToRootHidden: t->Notice(StructureNotice::kReparentToRoot, false); break;
    case Op::kToFrameHidden: t->Notice(StructureNotice::kReparentToFrame, false); break;
    case Op::kMoveAsked: t->Unsettle(); break;
    case Op::kTake: {
      Point at{-1, -1};
      EXPECT_EQ(t->TakeMove(&at), s.moved);
      if (s.moved) {
        EXPECT_EQ(at.x, s.x);
        EXPECT_EQ(at.y, s.y);
      }
      break;
    }
    case Op::kPlaceForMove: {
      Point at{-1, -1};
      EXPECT_EQ(t->PlaceForMove(&at), s.moved);
      if (s.moved) {
        EXPECT_EQ(at.x, s.x);
        EXPECT_EQ(at.y, s.y);
      }
      break;
    }
  }
  bool notice = s.op != Op::kLook && s.op != Op::kLookFramed && s.op != Op::kLookUnknown && s.op != Op::kTake &&
                s.op != Op::kPlaceForMove;
  if (notice) {
    EXPECT_TRUE(t->MayHaveMoved()) << "every notice and every asked move calls for a look";
  }
}

Step Look(int x, int y) { return {Op::kLook, x, y}; }
Step Framed(int x, int y, int border) { return {Op::kLookFramed, x, y, false, border}; }
Step Take(int x, int y) { return {Op::kTake, x, y, true}; }
Step NoMove() { return {Op::kTake}; }
Step ForMove(int x, int y) { return {Op::kPlaceForMove, x, y, true}; }
Step NotForMove() { return {Op::kPlaceForMove}; }
const Step kConfigure{Op::kConfigure};
const Step kToRoot{Op::kToRoot};
const Step kToFrame{Op::kToFrame};

TEST(PlaceTrackerTest, OnlyAChangeOfTheOuterPlaceLastSeenIsAMove) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"nothing looked at yet", {NoMove(), NotForMove()}},
      {"the first look finds the window's place", {Look(10, 20), Take(10, 20), NoMove()}},
      {"the same place again is no move", {Look(10, 20), Take(10, 20), kConfigure, Look(10, 20), NoMove()}},
      {"a new place is a move, taken once",
       {Look(10, 20), Take(10, 20), kConfigure, Look(30, 40), Take(30, 40), NoMove(), Look(30, 40), NoMove()}},
      {"a move stays until taken, at the last place seen",
       {Look(10, 20), Take(10, 20), Look(30, 40), Look(50, 60), Take(50, 60)}},
      {"a move and back between two takes: the last look found the old place again",
       {Look(10, 20), Take(10, 20), Look(30, 40), Look(10, 20), Take(10, 20)}},
      {"an unknown place changes nothing",
       {Look(10, 20), Take(10, 20), {Op::kLookUnknown}, NoMove(), Look(10, 20), NoMove()}},
      {"an unknown place before any other: the next known one is a move",
       {{Op::kLookUnknown}, NoMove(), Look(5, 6), Take(5, 6)}},
      // The window manager ends: the window goes back on the root at the
      // same spot on screen, without its frame; nobody moved the note.
      {"let go by the window manager",
       {Look(10, 20), Take(10, 20), kToRoot, Look(12, 41), NoMove(), kConfigure, Look(12, 41), NoMove(),
        Look(70, 80), Take(70, 80)}},
      // A new window manager takes it into a frame of its own.
      {"let go and taken anew",
       {Look(10, 20), Take(10, 20), kToRoot, Look(12, 41), NoMove(), kToFrame, Look(10, 20), NoMove(),
        Look(11, 21), Take(11, 21)}},
      {"let go and taken anew before any look",
       {Look(10, 20), Take(10, 20), kToRoot, kToFrame, Look(0, 0), NoMove()}},
      {"a frame without a release first is no rebase",
       {Look(10, 20), Take(10, 20), kToFrame, Look(8, 0), Take(8, 0)}},
      {"a second frame after a release that was taken is no rebase",
       {Look(10, 20), Take(10, 20), kToRoot, kToFrame, kToFrame, Look(3, 3), NoMove(), kToFrame, Look(4, 4), Take(4, 4)}},
      {"the reparents of a hidden window tell nothing",
       {Look(10, 20), Take(10, 20), {Op::kToRootHidden}, Look(30, 40), Take(30, 40), {Op::kToFrameHidden},
        Look(31, 41), Take(31, 41)}},
      {"a rebase waits for a known place",
       {Look(10, 20), Take(10, 20), kToRoot, {Op::kLookUnknown}, Look(12, 41), NoMove()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlaceTracker t;
    EXPECT_TRUE(t.MayHaveMoved()) << "a new window is looked at";
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      Apply(&t, c.steps[i]);
    }
  }
}

TEST(PlaceTrackerTest, PlaceForMoveIsWhereAMoveWouldNotMoveTheWindow) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"unframed: its outer corner", {Look(10, 20), ForMove(10, 20)}},
      {"framed: the inside of the frame's border", {Framed(10, 20, 3), ForMove(13, 23)}},
      {"framed without a border", {Framed(-4, 7, 0), ForMove(-4, 7)}},
      {"taking the move leaves it", {Framed(10, 20, 2), Take(10, 20), ForMove(12, 22)}},
      {"unknown once a notice came", {Look(10, 20), kConfigure, NotForMove(), Look(10, 20), ForMove(10, 20)}},
      {"unknown once a move was asked", {Look(10, 20), {Op::kMoveAsked}, NotForMove()}},
      {"unknown when the server could not tell", {Look(10, 20), {Op::kLookUnknown}, NotForMove()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlaceTracker t;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      Apply(&t, c.steps[i]);
    }
  }
}

TEST(PlaceTrackerTest, ANoticeDuringALookCallsForTheNextOne) {
  PlaceTracker t;
  t.StartLook();
  EXPECT_FALSE(t.MayHaveMoved());
  t.Notice(StructureNotice::kOther, true);  // came in while the reply was awaited
  t.TakeLook({true, false, 10, 20, 0});
  EXPECT_TRUE(t.MayHaveMoved());
  Point at{};
  EXPECT_FALSE(t.PlaceForMove(&at));
  for (bool shown : {true, false}) {
    t.StartLook();
    t.Notice(StructureNotice::kReparentToRoot, shown);
    EXPECT_TRUE(t.MayHaveMoved()) << shown;
  }
}

}  // namespace
