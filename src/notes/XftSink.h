// XftSink: the text sink that draws a note's text with Xft in a UTF-8
// locale: anti-aliased outline fonts at a size in points that follows the
// display's resolution, and every script the installed fonts cover, found
// through fontconfig (a colour font first for emoji). A character no font
// has is drawn as one placeholder box; the text keeps it unchanged.
//
// A subclass of MultiSink, so that the text widget and its input method
// still find the font set they ask the sink for; the sink measures and draws
// with its face alone. One font is opened per face and pixel size and shared
// by every sink on the display.
#pragma once

#include <X11/Intrinsic.h>

/* Resources (besides those of MultiSink):

 Name                Class              RepType         Default Value
 ----                -----              -------         -------------
 faceName            FaceName           String          "DejaVu Sans Mono"
 faceSize            FaceSize           Float           11

 faceName is a fontconfig pattern ("DejaVu Sans", "Noto Sans Mono:bold");
 faceSize is in points, made pixels at DisplayDpi.
*/

#define XtNfaceName "faceName"
#define XtCFaceName "FaceName"
#define XtNfaceSize "faceSize"
#define XtCFaceSize "FaceSize"

typedef struct _XftSinkClassRec* XftSinkObjectClass;
typedef struct _XftSinkRec* XftSinkObject;

extern WidgetClass xftSinkObjectClass;

// Gives an international text widget an XftSink (the child "textSink", the
// sink the widget made destroyed) unless its resources ask for the core
// fonts: an empty faceName, or a fontSet other than the built-in one. Call
// before the widget gets its source. Returns whether the sink was put in.
bool XftSinkInstall(Widget text);

// XftSinkInstall for a text widget that shows one line: a field made
// without a height of its own gets the height of one line of the face.
bool XftSinkInstallOneLine(Widget text);

// The pixel height of a sink's lines (ascent plus descent of its face).
int XftSinkLineHeight(Widget sink);
