// The shared popups: error messages, the Confirm popup, and the pointer
// position at which every popup is placed.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

struct Point {
  int x;
  int y;
};

// Shows a message in a new "Stikkel Error" dialog at the pointer, no grab.
void ShowError(const std::string& message);

// Pops up the one Confirm popup at the pointer with an exclusive grab; the
// lists become the callbacks of its Confirm and Cancel buttons. Each
// procedure must call DismissConfirm.
void AskConfirm(XtCallbackList confirm, XtCallbackList cancel);
void DismissConfirm();

// The pointer's position on the root window.
Point PointerPosition();

// Makes the window manager's close button on shell call proc(shell, data)
// instead of killing the program (WM_DELETE_WINDOW). Realizes the shell.
void OnWindowClose(Widget shell, XtCallbackProc proc, XtPointer data);

// The widgets of the Confirm popup once it exists (for tests); null before.
Widget ConfirmShell();
