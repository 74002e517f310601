#include "app/take_focus.h"

namespace {

void FocusOnVisible(Widget shell, XtPointer client_data, XEvent* event, Boolean*) {
  if (event->type != VisibilityNotify) return;
  XtRemoveEventHandler(shell, VisibilityChangeMask, False, FocusOnVisible, client_data);
  XWindowAttributes attributes;
  // Focus on a window that is not viewable would be a protocol error.
  if (!XGetWindowAttributes(XtDisplay(shell), XtWindow(shell), &attributes) || attributes.map_state != IsViewable)
    return;
  XSetInputFocus(XtDisplay(shell), XtWindow(shell), RevertToParent, CurrentTime);
  XtSetKeyboardFocus(shell, static_cast<Widget>(client_data));
}

}  // namespace

void FocusWhenShown(Widget shell, Widget target) {
  XtAddEventHandler(shell, VisibilityChangeMask, False, FocusOnVisible, target);
}
