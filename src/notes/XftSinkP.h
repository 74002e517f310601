// Private definitions of the XftSink class.
#pragma once

#include <X11/IntrinsicP.h>
#include <X11/Xaw/MultiSinkP.h>
#include <X11/Xft/Xft.h>

#include "notes/XftSink.h"

struct XftSinkFace;  // the fonts of one face at one pixel size, shared

typedef struct {
  XtPointer extension;
} XftSinkClassPart;

typedef struct _XftSinkClassRec {
  ObjectClassPart object_class;
  TextSinkClassPart text_sink_class;
  MultiSinkClassPart multi_sink_class;
  XftSinkClassPart xft_sink_class;
} XftSinkClassRec;

extern XftSinkClassRec xftSinkClassRec;

typedef struct {
  /* resources */
  String face_name;
  float face_size;
  /* private */
  XftSinkFace* face;  // shared by every sink of this face and size
  XftDraw* draw;      // on the text widget's window, made at the first drawing
  int cursor_top;     // top of the line the cursor was drawn on
} XftSinkPart;

typedef struct _XftSinkRec {
  ObjectPart object;
  TextSinkPart text_sink;
  MultiSinkPart multi_sink;
  XftSinkPart xft_sink;
} XftSinkRec;
