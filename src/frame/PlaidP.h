// Private definitions of the Plaid widget.
#pragma once

#include <X11/IntrinsicP.h>
#include <X11/CoreP.h>

#include "frame/Plaid.h"

typedef struct {
  XtPointer extension;  // for later additions to the class; null
} PlaidClassPart;

typedef struct _PlaidClassRec {
  CoreClassPart core_class;
  PlaidClassPart plaid_class;
} PlaidClassRec;

extern PlaidClassRec plaidClassRec;

typedef struct {
  /* resources */
  Pixel foreground;               // colour of the pattern's 1 bits
  XtCallbackList lower_callback;  // called by the action lower
  XtCallbackList raise_callback;  // called by the action raise
} PlaidPart;

// Core's background_pixmap holds the plaid pixmap once the widget is realized.
typedef struct _PlaidRec {
  CorePart core;
  PlaidPart plaid;
} PlaidRec;
