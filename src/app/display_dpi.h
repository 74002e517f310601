// The resolution text is drawn at on the program's display.
#pragma once

// Dots per inch for fonts: `Xft.dpi` from the resource database (the
// server's RESOURCE_MANAGER, ~/.Xresources, -xrm) when it is set, else the
// screen's own. Read once, after InitToolkit.
double DisplayDpi();
