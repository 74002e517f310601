// The resolution fonts follow, point sizes made pixels, and the widgets'
// font names made larger on a screen of high resolution.
#include <gtest/gtest.h>

#include <string>

#include "model/text_scale.h"

namespace {

TEST(TextScale, DpiFromTheResourceElseTheScreen) {
  const struct {
    const char* xft_dpi;
    int height_px, height_mm;
    double dpi;
  } cases[] = {
      {"192", 1080, 286, 192},   {"  144.5", 0, 0, 144.5}, {"", 2160, 286, 2160 * 25.4 / 286},
      {"", 1080, 286, 1080 * 25.4 / 286}, {"big", 1080, 286, 1080 * 25.4 / 286},
      {"0", 2160, 286, 2160 * 25.4 / 286}, {"-96", 0, 0, 96}, {"96x", 0, 0, 96},
      {"1e9", 0, 0, 96},         {"", 1080, 0, 96},        {"", 0, 0, 96},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(FontDpi(c.xft_dpi, c.height_px, c.height_mm), c.dpi) << '"' << c.xft_dpi << '"';
}

TEST(TextScale, RoundsHalvesAwayFromZero) {
  const struct {
    double v;
    long rounded;
  } cases[] = {{0, 0}, {0.49, 0}, {0.5, 1}, {1.49, 1}, {2.5, 3}, {-0.5, -1}, {-2.5, -3}, {-2.49, -2}, {4095.5, 4096}};
  for (const auto& c : cases) EXPECT_EQ(RoundedHalfAway(c.v), c.rounded) << c.v;
  // A face whose size rounds below one pixel, or is no number, is one pixel.
  EXPECT_EQ(FacePixels(0.7, 72), 1);
  EXPECT_EQ(FacePixels(1.5, 72), 2);
  EXPECT_EQ(FacePixels(-3, 96), 1);
  EXPECT_EQ(FacePixels(0.0 / 0.0, 96), 1);
}

TEST(TextScale, PointsToPixelsAndWidgetScale) {
  EXPECT_EQ(FacePixels(11, 96), 15);
  EXPECT_EQ(FacePixels(11, 192), 29);
  EXPECT_EQ(FacePixels(12, 72), 12);
  EXPECT_EQ(FacePixels(0.1, 96), 1);
  EXPECT_EQ(FacePixels(1e9, 96), 4096);
  EXPECT_EQ(WidgetScale(75), 1.0);
  EXPECT_EQ(WidgetScale(96), 1.0);
  EXPECT_EQ(WidgetScale(119.9), 1.0);
  EXPECT_EQ(WidgetScale(192), 2.0);
  EXPECT_EQ(WidgetScale(144), 1.5);
  EXPECT_EQ(WidgetScale(384), 4.0);
  EXPECT_EQ(WidgetScale(10000), 4.0);
  EXPECT_EQ(Scaled(64, 2.0), 128);
  EXPECT_EQ(Scaled(64, 1.0), 64);
}

TEST(TextScale, FontNamesGrowWithTheScale) {
  const struct {
    const char* in;
    double scale;
    const char* out;
  } cases[] = {
      // Pixel sizes double; the average width no longer binds.
      {"*fontSet:\t-jis-fixed-medium-r-normal--16-*-*-*-c-160-jisx0208.1983-0,\\\n"
       "\t-isas-song ti-medium-r-normal--16-*-*-*-c-160-gb2312.1980-0",
       2.0,
       "*fontSet:\t-jis-fixed-medium-r-normal--32-*-*-*-c-*-jisx0208.1983-0,\\\n"
       "\t-isas-song ti-medium-r-normal--32-*-*-*-c-*-gb2312.1980-0"},
      // A point size is asked for at the scaled resolution.
      {"*Menu*fontSet:\t-adobe-helvetica-medium-r-normal--*-120-*-*-*-*-*-*", 2.0,
       "*Menu*fontSet:\t-adobe-helvetica-medium-r-normal--*-120-192-192-*-*-*-*"},
      {"*font: -misc-fixed-medium-r-semicondensed--13-*-*-*-c-60-*-*", 1.5,
       "*font: -misc-fixed-medium-r-semicondensed--20-*-*-*-c-*-*-*"},
      // Names that are no XLFD, or give no size, stay as they are.
      {"*List*font:\t10x20\n*x: -a-b-c\n*y:\t-*-*-*-*-*-*-*-*-*-*-*-*-*-*", 2.0,
       "*List*font:\t10x20\n*x: -a-b-c\n*y:\t-*-*-*-*-*-*-*-*-*-*-*-*-*-*"},
      // At scale 1 nothing changes.
      {"*fontSet:\t-jis-fixed-medium-r-normal--16-*-*-*-c-160-jisx0208.1983-0", 1.0,
       "*fontSet:\t-jis-fixed-medium-r-normal--16-*-*-*-c-160-jisx0208.1983-0"},
      {"! -comment-with-dashes\n-", 2.0, "! -comment-with-dashes\n-"},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleFontNames(c.in, c.scale), c.out) << c.in;
}

TEST(TextScale, GeometryGrowsInSizeNotInPlace) {
  const struct {
    const char* in;
    double scale;
    const char* out;
  } cases[] = {
      {"70x70-0+0", 2.0, "140x140-0+0"}, {"70x70", 1.5, "105x105"}, {"64x32+10-20", 2.0, "128x64+10-20"},
      {"70x70-0+0", 1.0, "70x70-0+0"},   {"-0+0", 2.0, ""},          {"x70", 2.0, ""},
      {"70x", 2.0, ""},                  {"7ax70", 2.0, ""},         {"999999x1", 2.0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleGeometry(c.in, c.scale), c.out) << c.in;
}

}  // namespace
