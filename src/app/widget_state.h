// State a unit keeps for one widget, without a table keyed by the widget:
// the client data of the widget's callbacks, freed by its destroy callback.
// A translation action gets only the widget; it finds the state as the
// client data of one of those callbacks.
#pragma once

#include <X11/Intrinsic.h>

// The client data proc was added with to w's callback list `list` (not the
// destroy callbacks, which the toolkit does not hand out), or null.
XtPointer CallbackData(Widget w, String list, XtCallbackProc proc);

// A translation table parsed once for the whole program: the toolkit keeps
// each table it converts from a string, as it does for the translations of
// the resource files, and hands the same one out for the same text.
XtTranslations SharedTranslations(Widget w, const char* table);
