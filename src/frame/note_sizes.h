// Sizes of the standard notes and the cascade plan: plain arithmetic over
// screen measurements and note positions, with no X in sight.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Pixels per inch in each direction of a screen.
struct PixelsPerInch {
  int horizontal = 0;
  int vertical = 0;
};

// Rounded pixels per inch of a screen dimension given in pixels and
// millimetres. A dimension of 0 millimetres (some servers report that) or
// a result below 1 gives 96, the common default.
int PixelsPerInchOf(int pixels, int millimetres);

PixelsPerInch ScreenPixelsPerInch(int width_px, int height_px, int width_mm, int height_mm);

struct NoteSize {
  int width = 0;
  int height = 0;
};

// Number of standard sizes: "1.5x2", "2x3", "3x3", "3x4", "3x5" and "4x6"
// (height by width, in inches), in the order of the main menu's rows.
constexpr int kStandardSizeCount = 6;

// The pixel size of standard size `index` (0 to kStandardSizeCount - 1).
// Fractional pixel counts are truncated toward zero.
NoteSize StandardNoteSize(int index, PixelsPerInch ppi);

// A note size written as the main menu names them, height by width in
// inches ("3x5", "1.5x2"; each from 0.5 to 40 inches), in pixels: false
// for anything else. Fractional pixel counts are truncated toward zero.
bool NoteSizeOf(const std::string& text, PixelsPerInch ppi, NoteSize* size);

// A note as the cascade sees it: its flags and where it stands. An anchor's
// x, y are the place its cascade starts from; an unanchored note's x, y are
// where it stands now, in the same terms, when `placed` says it is known.
struct CascadeNote {
  bool anchored = false;
  bool hidden = false;
  int x = 0;
  int y = 0;
  bool placed = false;
};

// One step of the cascade: note `index` of the input goes to x, y and is
// raised. `stays` when the note stands there already: it is only raised.
// Steps come in the order they are made.
struct CascadeMove {
  std::size_t index = 0;
  int x = 0;
  int y = 0;
  bool stays = false;
};

// Deals the visible, unanchored notes out to the anchored ones (hidden or
// not) in turn, in list order: the k-th note an anchor receives lands k
// offsets right of and below it (up and left for a negative offset).
// Positions are kept within the range of a window position. Empty when no
// note is anchored.
std::vector<CascadeMove> PlanCascade(const std::vector<CascadeNote>& notes, int offset);
