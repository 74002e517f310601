#include "app/display_dpi.h"

#include <X11/Intrinsic.h>
#include <X11/Xresource.h>

#include <string>

#include "app/app.h"
#include "model/text_scale.h"

double DisplayDpi() {
  static double dpi = 0;
  if (dpi > 0) return dpi;
  std::string xft_dpi;
  char* type = nullptr;
  XrmValue value{};
  if (XrmGetResource(XtDatabase(program.display), "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
    xft_dpi.assign(value.addr);
  Screen* screen = DefaultScreenOfDisplay(program.display);
  dpi = FontDpi(xft_dpi, HeightOfScreen(screen), HeightMMOfScreen(screen));
  return dpi;
}
