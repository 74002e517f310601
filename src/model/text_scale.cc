#include "model/text_scale.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

constexpr double kDefaultDpi = 96;
constexpr double kLargeDpi = 120;

bool IsNumber(const std::string& field) {
  if (field.empty()) return false;
  for (char c : field)
    if (c < '0' || c > '9') return false;
  return true;
}

// Splits an XLFD name "-f1-f2-...-f14" into its 14 fields; false when it
// is not one.
bool SplitXlfd(const std::string& name, std::vector<std::string>* fields) {
  fields->clear();
  if (name.empty() || name[0] != '-') return false;
  std::size_t start = 1;
  while (true) {
    std::size_t dash = name.find('-', start);
    fields->push_back(name.substr(start, dash == std::string::npos ? std::string::npos : dash - start));
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  return fields->size() == 14;
}

// Fields 7 to 12 of an XLFD (from 1): pixel size, point size, x and y
// resolution, spacing, average width.
constexpr std::size_t kPixel = 6, kPoint = 7, kResX = 8, kResY = 9, kAverage = 11;

std::string ScaleXlfd(const std::string& name, double scale) {
  std::vector<std::string> f;
  if (!SplitXlfd(name, &f)) return name;
  if (IsNumber(f[kPixel]) && f[kPixel] != "0") {
    f[kPixel] = std::to_string(Scaled(std::atoi(f[kPixel].c_str()), scale));
    f[kPoint] = "*";
    f[kAverage] = "*";
  } else if (IsNumber(f[kPoint]) && f[kPoint] != "0") {
    f[kPixel] = "*";
    f[kResX] = f[kResY] = std::to_string(Scaled(static_cast<int>(kDefaultDpi), scale));
    f[kAverage] = "*";
  } else {
    return name;
  }
  std::string out;
  for (const std::string& field : f) out += "-" + field;
  return out;
}

bool EndsName(char c) { return c == ',' || c == '\n' || c == '\\' || c == '\t'; }

}  // namespace

double FontDpi(const std::string& xft_dpi, int height_px, int height_mm) {
  if (!xft_dpi.empty()) {
    errno = 0;
    char* end = nullptr;
    double dpi = std::strtod(xft_dpi.c_str(), &end);
    while (end && (*end == ' ' || *end == '\t')) end++;
    if (errno == 0 && end && *end == '\0' && dpi >= 1 && dpi <= 10000) return dpi;
  }
  if (height_px > 0 && height_mm > 0) return height_px * 25.4 / height_mm;
  return kDefaultDpi;
}

// Rounded halves away from zero, as lround, without the maths library (the
// program needs nothing else from it, and it costs every start).
long RoundedHalfAway(double v) { return v < 0 ? -static_cast<long>(-v + 0.5) : static_cast<long>(v + 0.5); }

int FacePixels(double points, double dpi) {
  double pixels = points * dpi / 72.0;
  if (!(pixels >= 1.5)) return 1;  // also NaN
  return pixels >= 4095.5 ? 4096 : static_cast<int>(RoundedHalfAway(pixels));
}

double WidgetScale(double dpi) {
  if (dpi < kLargeDpi) return 1.0;
  // Font sets of more than four times their size cost the server seconds.
  return dpi > 4 * kDefaultDpi ? 4.0 : dpi / kDefaultDpi;
}

int Scaled(int pixels, double scale) { return static_cast<int>(RoundedHalfAway(pixels * scale)); }

std::string ScaleFontNames(const std::string& lines, double scale) {
  if (scale == 1.0) return lines;
  std::string out;
  out.reserve(lines.size() + lines.size() / 8);
  std::size_t i = 0;
  while (i < lines.size()) {
    // A font name starts with a dash after a tab, a blank, a comma or the
    // start of a line, and runs to a comma, a line's end or a backslash.
    bool starts = lines[i] == '-' && (i == 0 || lines[i - 1] == '\t' || lines[i - 1] == ' ' ||
                                      lines[i - 1] == ',' || lines[i - 1] == '\n');
    if (!starts) {
      out += lines[i++];
      continue;
    }
    std::size_t end = i;
    while (end < lines.size() && !EndsName(lines[end])) end++;
    out += ScaleXlfd(lines.substr(i, end - i), scale);
    i = end;
  }
  return out;
}

std::string ScaleGeometry(const std::string& geometry, double scale) {
  std::size_t x = geometry.find('x');
  if (x == std::string::npos || x == 0) return "";
  std::size_t place = geometry.find_first_of("+-", x);
  std::string width = geometry.substr(0, x);
  std::string height = geometry.substr(x + 1, place == std::string::npos ? std::string::npos : place - x - 1);
  if (!IsNumber(width) || !IsNumber(height) || width.size() > 5 || height.size() > 5) return "";
  std::string out = std::to_string(Scaled(std::atoi(width.c_str()), scale)) + "x" +
                    std::to_string(Scaled(std::atoi(height.c_str()), scale));
  if (place != std::string::npos) out += geometry.substr(place);
  return out;
}
