#include "app/input_method.h"

#include <X11/IntrinsicP.h>
#include <X11/Xaw/XawImP.h>

namespace {

void OpenNow(Widget shell, Widget text);

void OnFocus(Widget shell, XtPointer client_data, XEvent* event, Boolean*) {
  if (event->type == FocusIn) OpenNow(shell, static_cast<Widget>(client_data));
}

// Runs before the text widget's own translations, so the press that opens
// the input method is already looked up through it.
void OnPress(Widget text, XtPointer client_data, XEvent*, Boolean*) {
  OpenNow(static_cast<Widget>(client_data), text);
}

// The text widget's reconnect-im action opens the input method of its
// shell and gives the widget its input context. (The shell's openIm
// resource is read only when the shell is made.)
void OpenNow(Widget shell, Widget text) {
  XtRemoveEventHandler(shell, FocusChangeMask, False, OnFocus, text);
  XtRemoveEventHandler(text, KeyPressMask | ButtonPressMask, False, OnPress, shell);
  XtCallActionProc(text, "reconnect-im", nullptr, nullptr, 0);
}

}  // namespace

void DeferInputMethod(Arg* args, Cardinal* n) {
  XtSetArg(args[*n], XtNopenIm, False);
  ++*n;
}

void OpenInputMethodWhenUsed(Widget shell, Widget text) {
  XtAddEventHandler(shell, FocusChangeMask, False, OnFocus, text);
  XtInsertEventHandler(text, KeyPressMask | ButtonPressMask, False, OnPress, shell, XtListHead);
}
