#include "app/window_title.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "model/utf8.h"

void SetUtf8WindowName(Widget shell, const std::string& utf8_title) {
  if (!XtIsRealized(shell)) return;
  Display* dpy = XtDisplay(shell);
  Atom net_wm_name = XInternAtom(dpy, "_NET_WM_NAME", False);
  if (!IsValidUtf8(utf8_title)) {
    XDeleteProperty(dpy, XtWindow(shell), net_wm_name);
    return;
  }
  Atom utf8_string = XInternAtom(dpy, "UTF8_STRING", False);
  XChangeProperty(dpy, XtWindow(shell), net_wm_name, utf8_string, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8_title.data()), static_cast<int>(utf8_title.size()));
}

namespace {

void PublishTitle(Widget shell) {
  String title = nullptr;
  Arg arg;
  XtSetArg(arg, XtNtitle, &title);
  XtGetValues(shell, &arg, 1);
  SetUtf8WindowName(shell, title ? title : "");
}

// PropertyNotify on the shell's window: the toolkit wrote WM_NAME anew.
void TitleWritten(Widget shell, XtPointer, XEvent* event, Boolean*) {
  if (event->type == PropertyNotify && event->xproperty.atom == XA_WM_NAME &&
      event->xproperty.state == PropertyNewValue)
    PublishTitle(shell);
}

}  // namespace

void FollowTitleWithUtf8Name(Widget shell) {
  XtAddEventHandler(shell, PropertyChangeMask, False, TitleWritten, nullptr);
  PublishTitle(shell);
}
