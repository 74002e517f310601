// The shared popups: error messages, the Confirm popup and the shells of
// dialogs, placed at the pointer (PointerPosition, from place_window).
#pragma once

#include <X11/Intrinsic.h>

#include <string>

#include "app/place_window.h"

// Shows a message in a new "Stikkel Error" dialog at the pointer, no grab.
// Returns its shell, which is destroyed when the message is dismissed.
Widget ShowError(const std::string& message);

// The names and texts of a message popup: a transient shell holding a
// Dialog with the message and one button.
struct MessagePopup {
  const char* shell;
  const char* dialog;
  const char* button;
  const char* title;
  const char* button_label;
};

// Builds a message popup at the pointer and pops it up with the given grab;
// the button (and the window manager's close button) call dismiss with the
// shell as client data. Returns the shell.
Widget PopUpMessage(const MessagePopup& names, const std::string& message, XtCallbackProc dismiss,
                    XtGrabKind grab);

// A dismiss procedure for PopUpMessage that destroys the popup.
void DestroyMessagePopup(Widget w, XtPointer client_data, XtPointer call_data);

// Pops up the one Confirm popup at the pointer with an exclusive grab; the
// lists become the callbacks of its Confirm and Cancel buttons. Each
// procedure must call DismissConfirm. A message is shown above the buttons
// (the label ConfirmLabel); without one the popup holds only the buttons.
void AskConfirm(XtCallbackList confirm, XtCallbackList cancel, const std::string& message = "");
void DismissConfirm();

// Makes the window manager's close button on shell call proc(shell, data)
// instead of killing the program (WM_DELETE_WINDOW). Realizes the shell.
void OnWindowClose(Widget shell, XtCallbackProc proc, XtPointer data);

// Makes shell take the keyboard focus when the window manager offers it
// (WM_TAKE_FOCUS, beside the protocols already set). Realizes the shell.
void TakeFocusWhenOffered(Widget shell);

// The shell of a dialog: a transient shell named `name`, popup child of
// toplevel, wanted with its top-left corner at `at` and, unless title is
// null, with that title.
Widget CreateDialogShell(const char* name, const char* title, Point at);

// Pops a dialog shell up with the grab, moved from where it was wanted
// wholly onto the screen, window manager's frame included; the window
// manager's close button on it calls close(shell, data).
void PopUpDialog(Widget shell, XtCallbackProc close, XtPointer data, XtGrabKind grab);

// Pops a popup shell down and destroys it.
void DestroyPopup(Widget shell);
