#include "app/popups.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Dialog.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "app/place_window.h"

namespace {

struct ConfirmPopup {
  Widget shell = nullptr;
  Widget form = nullptr;
  Widget label = nullptr;
  Widget confirm = nullptr;
  Widget cancel = nullptr;
} confirm_popup;

const MessagePopup kError = {"ErrorShell", "errorDialog", "errconfirm", "Stikkel Error", "Continue"};

// Error popups take no grab, yet must take the pointer while a dialog
// holds one, which keeps the toolkit from passing input to any other
// window: pointer events for an error popup go straight to its widgets.
// The toolkit's own dispatchers of those events stand here once an error
// popup was shown.
const int kPointerEvents[] = {ButtonPress, ButtonRelease, MotionNotify, EnterNotify, LeaveNotify};
XtEventDispatchProc toolkit_dispatcher[LASTEvent] = {};

// The error popups are the dialog shells ShowError makes: no other shell
// has their name.
bool InErrorPopup(Widget w) {
  while (w && !XtIsShell(w)) w = XtParent(w);
  return w && XtIsTransientShell(w) && std::strcmp(XtName(w), kError.shell) == 0;
}

Boolean DispatchPointerEvent(XEvent* event) {
  Widget w = XtWindowToWidget(event->xany.display, event->xany.window);
  if (w && InErrorPopup(w)) return XtDispatchEventToWidget(w, event);
  return toolkit_dispatcher[event->type](event);
}

void KeepErrorPopupsReachable() {
  if (toolkit_dispatcher[kPointerEvents[0]]) return;
  for (int type : kPointerEvents)
    toolkit_dispatcher[type] = XtSetEventDispatcher(program.display, type, DispatchPointerEvent);
}

struct CloseHandler {
  XtCallbackProc proc;
  XtPointer data;
};

void WindowManagerMessage(Widget w, XtPointer client_data, XEvent* event, Boolean*) {
  if (event->type != ClientMessage) return;
  static Atom wm_protocols = XInternAtom(XtDisplay(w), "WM_PROTOCOLS", False);
  static Atom wm_delete = XInternAtom(XtDisplay(w), "WM_DELETE_WINDOW", False);
  if (event->xclient.message_type != wm_protocols ||
      static_cast<Atom>(event->xclient.data.l[0]) != wm_delete)
    return;
  auto* handler = static_cast<CloseHandler*>(client_data);
  handler->proc(w, handler->data, nullptr);
}

void FreeCloseHandler(Widget, XtPointer client_data, XtPointer) {
  delete static_cast<CloseHandler*>(client_data);
}

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// WM_TAKE_FOCUS: the window manager hands the focus over; the shell takes
// it at the message's time (the toolkit passes the keys on to the shell's
// keyboard focus widget). A window unmapped meanwhile makes the request
// fail: that failure is no error of the program's.
void TakeFocusMessage(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (event->type != ClientMessage) return;
  Display* d = XtDisplay(w);
  static Atom wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  static Atom wm_take_focus = XInternAtom(d, "WM_TAKE_FOCUS", False);
  if (event->xclient.message_type != wm_protocols ||
      static_cast<Atom>(event->xclient.data.l[0]) != wm_take_focus || !XtIsRealized(w))
    return;
  XSync(d, False);
  XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  XSetInputFocus(d, XtWindow(w), RevertToParent, static_cast<Time>(event->xclient.data.l[1]));
  XSync(d, False);
  XSetErrorHandler(previous);
}

}  // namespace

void DestroyMessagePopup(Widget, XtPointer client_data, XtPointer) {
  if (client_data) XtDestroyWidget(static_cast<Widget>(client_data));
}

void OnWindowClose(Widget shell, XtCallbackProc proc, XtPointer data) {
  XtRealizeWidget(shell);
  Atom wm_delete = XInternAtom(XtDisplay(shell), "WM_DELETE_WINDOW", False);
  XSetWMProtocols(XtDisplay(shell), XtWindow(shell), &wm_delete, 1);
  auto* handler = new CloseHandler{proc, data};
  XtAddEventHandler(shell, NoEventMask, True, WindowManagerMessage, handler);
  XtAddCallback(shell, XtNdestroyCallback, FreeCloseHandler, handler);
}

void TakeFocusWhenOffered(Widget shell) {
  XtRealizeWidget(shell);
  Display* d = XtDisplay(shell);
  Atom* old = nullptr;
  int count = 0;
  std::vector<Atom> protocols;
  if (XGetWMProtocols(d, XtWindow(shell), &old, &count) && old) {
    protocols.assign(old, old + count);
    XFree(old);
  }
  Atom take_focus = XInternAtom(d, "WM_TAKE_FOCUS", False);
  if (std::find(protocols.begin(), protocols.end(), take_focus) == protocols.end()) protocols.push_back(take_focus);
  XSetWMProtocols(d, XtWindow(shell), protocols.data(), static_cast<int>(protocols.size()));
  XtAddEventHandler(shell, NoEventMask, True, TakeFocusMessage, nullptr);
}

Widget CreateDialogShell(const char* name, const char* title, Point at) {
  Arg args[3];
  Cardinal n = 0;
  if (title) {
    XtSetArg(args[n], XtNtitle, title); n++;
  }
  XtSetArg(args[n], XtNx, at.x); n++;
  XtSetArg(args[n], XtNy, at.y); n++;
  return XtCreatePopupShell(name, transientShellWidgetClass, program.toplevel, args, n);
}

void PopUpDialog(Widget shell, XtCallbackProc close, XtPointer data, XtGrabKind grab) {
  OnWindowClose(shell, close, data);
  PlaceOnScreen(shell, {shell->core.x, shell->core.y});
  XtPopup(shell, grab);
}

void DestroyPopup(Widget shell) {
  XtPopdown(shell);
  XtDestroyWidget(shell);
}

Widget PopUpMessage(const MessagePopup& names, const std::string& message, XtCallbackProc dismiss,
                    XtGrabKind grab) {
  Widget shell = CreateDialogShell(names.shell, names.title, PointerPosition());
  Arg args[2];
  XtSetArg(args[0], XtNlabel, message.c_str());
  Widget dialog = XtCreateManagedWidget(names.dialog, dialogWidgetClass, shell, args, 1);
  XtCallbackRec callbacks[] = {{dismiss, shell}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNcallback, callbacks);
  XtSetArg(args[1], XtNlabel, names.button_label);
  XtCreateManagedWidget(names.button, commandWidgetClass, dialog, args, 2);
  PopUpDialog(shell, dismiss, shell, grab);
  return shell;
}

Widget ShowError(const std::string& message) {
  Widget shell = PopUpMessage(kError, message, DestroyMessagePopup, XtGrabNone);
  KeepErrorPopupsReachable();
  return shell;
}

void AskConfirm(XtCallbackList confirm, XtCallbackList cancel, const std::string& message) {
  Arg args[3];
  if (!confirm_popup.shell) {
    // The popup grows and shrinks with its question.
    XtSetArg(args[0], XtNallowShellResize, True);
    confirm_popup.shell = XtCreatePopupShell("Confirm", overrideShellWidgetClass, program.toplevel, args, 1);
  }
  // The Form is laid out whole only when its children come together: it is
  // made anew for each question, in the one shell.
  if (confirm_popup.form) {
    XtUnmanageChild(confirm_popup.form);
    XtDestroyWidget(confirm_popup.form);
  }
  confirm_popup.form = XtCreateWidget("Buttons", formWidgetClass, confirm_popup.shell, nullptr, 0);
  confirm_popup.label = nullptr;
  if (!message.empty()) {
    XtSetArg(args[0], XtNborderWidth, 0);
    XtSetArg(args[1], XtNlabel, message.c_str());
    confirm_popup.label = XtCreateWidget("ConfirmLabel", labelWidgetClass, confirm_popup.form, args, 2);
  }
  XtSetArg(args[0], XtNcallback, confirm);
  XtSetArg(args[1], XtNfromVert, confirm_popup.label);
  confirm_popup.confirm = XtCreateWidget("Confirm", commandWidgetClass, confirm_popup.form, args, 2);
  XtSetArg(args[0], XtNcallback, cancel);
  XtSetArg(args[2], XtNfromHoriz, confirm_popup.confirm);
  confirm_popup.cancel = XtCreateWidget("Cancel", commandWidgetClass, confirm_popup.form, args, 3);
  Widget parts[] = {confirm_popup.label, confirm_popup.confirm, confirm_popup.cancel};
  if (confirm_popup.label) XtManageChildren(parts, 3);
  else XtManageChildren(parts + 1, 2);
  XtManageChild(confirm_popup.form);
  XtRealizeWidget(confirm_popup.shell);
  PlaceAtPointer(confirm_popup.shell);
  XtPopup(confirm_popup.shell, XtGrabExclusive);
}

void DismissConfirm() {
  if (confirm_popup.shell) XtPopdown(confirm_popup.shell);
}
