#include "app/place_tracker.h"

void PlaceTracker::Notice(StructureNotice notice, bool shown) {
  may_have_moved_ = true;
  if (!shown) return;
  if (notice == StructureNotice::kReparentToRoot) {
    released_ = true;
    rebase_ = true;
  } else if (notice == StructureNotice::kReparentToFrame && released_) {
    released_ = false;
    rebase_ = true;
  }
}

void PlaceTracker::TakeLook(const OuterPlace& place) {
  place_ = place;
  if (!place.known) return;
  bool same = rebase_ || (seen_known_ && place.x == seen_x_ && place.y == seen_y_);
  rebase_ = false;
  seen_known_ = true;
  seen_x_ = place.x;
  seen_y_ = place.y;
  if (!same) moved_to_place_ = true;
}

bool PlaceTracker::TakeMove(Point* at) {
  if (!moved_to_place_) return false;
  moved_to_place_ = false;
  *at = {place_.x, place_.y};
  return true;
}

bool PlaceTracker::PlaceForMove(Point* at) const {
  if (may_have_moved_ || !place_.known) return false;
  // twm puts the inside of its frame's border where a window is asked to
  // go; without a window manager the window's outer corner goes there.
  int inside = place_.reparented ? place_.border : 0;
  *at = {place_.x + inside, place_.y + inside};
  return true;
}
