// Helpers for tests that run the toolkit against a real X server.
#pragma once

#include <X11/Intrinsic.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"

// Processes every pending event after a round trip to the server.
void Pump();

// Pumps until cond holds or timeout_ms passes; returns cond's last value.
bool PumpUntil(const std::function<bool()>& cond, int timeout_ms = 3000);

// Popup shells that are children of toplevel with this name, mapped or not.
std::vector<Widget> PopupsNamed(const std::string& name);

// Whether the widget's window is mapped (viewable).
bool IsMapped(Widget w);

// Destroys every popup child of toplevel with this name and pumps.
void DestroyPopupsNamed(const std::string& name);

// Moves the pointer to root coordinates (XWarpPointer) and pumps.
void WarpPointer(int x, int y);

// The label resource of a widget.
std::string LabelOf(Widget w);

// Simulates a button press and release on a widget's window by calling its
// callbacks through XtCallCallbacks (for Command widgets).
void Press(Widget command);

// Resets the note list and application resources between tests.
void ResetProgramState();
