// How big text is drawn: the dots per inch the fonts follow, the pixel size
// of a face given in points, and the font names of the widgets' font sets
// made larger on a screen of high resolution. Plain arithmetic and text,
// with no X in sight.
#pragma once

#include <string>

// Dots per inch for fonts: the value of the `Xft.dpi` resource when it is a
// number from 1 to 10000 (as desktops set it), else the screen's own
// resolution from its height in pixels and millimetres, else 96.
double FontDpi(const std::string& xft_dpi, int height_px, int height_mm);

// The pixel size of a face of `points` points at `dpi`, rounded, at least 1.
int FacePixels(double points, double dpi);

// How much larger than at 96 dpi the widgets draw: 1 below 120 dpi (screens
// of 75 to 110 dpi keep the look they always had), dpi / 96 from there on,
// at most 4.
double WidgetScale(double dpi);

// v rounded to the nearest whole number, halves away from zero (v within
// the range of long).
long RoundedHalfAway(double v);

// `pixels` times `scale`, rounded (what the control window's side becomes).
int Scaled(int pixels, double scale);

// The resource lines `lines` with every font name (XLFD) in them asking for
// `scale` times its size: a pixel size P becomes P * scale with any average
// width, and a point size with no pixel size is asked for at 96 * scale
// dots per inch. A scale of 1 gives the lines back unchanged.
std::string ScaleFontNames(const std::string& lines, double scale);

// A geometry "WxH+X+Y" (X, Y and their signs optional) with its width and
// height times `scale`, its place kept; "" when it gives no size.
std::string ScaleGeometry(const std::string& geometry, double scale);
