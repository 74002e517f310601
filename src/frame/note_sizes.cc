#include "frame/note_sizes.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kFallbackPixelsPerInch = 96;

// Height and width of each standard size, in inches.
struct Inches {
  double height;
  int width;
};
constexpr Inches kStandardSizes[kStandardSizeCount] = {
    {1.5, 2}, {2, 3}, {3, 3}, {3, 4}, {3, 5}, {4, 6},
};

// Window positions are 16-bit signed on the wire.
constexpr std::int64_t kMinPosition = -32768;
constexpr std::int64_t kMaxPosition = 32767;

int ClampPosition(std::int64_t v) { return static_cast<int>(std::clamp(v, kMinPosition, kMaxPosition)); }

}  // namespace

int PixelsPerInchOf(int pixels, int millimetres) {
  if (millimetres <= 0) return kFallbackPixelsPerInch;
  int ppi = static_cast<int>(pixels * 25.4 / millimetres + 0.5);
  return ppi >= 1 ? ppi : kFallbackPixelsPerInch;
}

PixelsPerInch ScreenPixelsPerInch(int width_px, int height_px, int width_mm, int height_mm) {
  return {PixelsPerInchOf(width_px, width_mm), PixelsPerInchOf(height_px, height_mm)};
}

NoteSize StandardNoteSize(int index, PixelsPerInch ppi) {
  const Inches& size = kStandardSizes[std::clamp(index, 0, kStandardSizeCount - 1)];
  return {size.width * ppi.horizontal, static_cast<int>(ppi.vertical * size.height)};
}

bool NoteSizeOf(const std::string& text, PixelsPerInch ppi, NoteSize* size) {
  // Digits, at most one point, nothing else: no sign, exponent or space.
  auto inches = [](const std::string& s, double* value) {
    if (s.empty() || s.size() > 8 || s.find_first_not_of("0123456789.") != std::string::npos ||
        s.find('.') != s.rfind('.') || s == ".")
      return false;
    *value = std::strtod(s.c_str(), nullptr);
    return *value >= 0.5 && *value <= 40;
  };
  std::size_t x = text.find('x');
  double height = 0, width = 0;
  if (x == std::string::npos || !inches(text.substr(0, x), &height) || !inches(text.substr(x + 1), &width))
    return false;
  *size = {static_cast<int>(ppi.horizontal * width), static_cast<int>(ppi.vertical * height)};
  return true;
}

std::vector<CascadeMove> PlanCascade(const std::vector<CascadeNote>& notes, int offset) {
  struct Anchor {
    std::int64_t x;
    std::int64_t y;
  };
  std::vector<Anchor> anchors;
  for (const CascadeNote& note : notes)
    if (note.anchored) anchors.push_back({note.x, note.y});
  std::vector<CascadeMove> moves;
  if (anchors.empty()) return moves;
  std::size_t current = 0;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (notes[i].anchored || notes[i].hidden) continue;
    Anchor& anchor = anchors[current];
    anchor.x += offset;
    anchor.y += offset;
    CascadeMove move{i, ClampPosition(anchor.x), ClampPosition(anchor.y)};
    move.stays = notes[i].placed && notes[i].x == move.x && notes[i].y == move.y;
    moves.push_back(move);
    current = (current + 1) % anchors.size();
  }
  return moves;
}
