// Test entry for the X tier: one toolkit initialisation per process.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "app/app.h"
#include "notes/note.h"
#include "x11_util.h"

void Pump() {
  XSync(display, False);
  while (XtAppPending(app_context)) XtAppProcessEvent(app_context, XtIMAll);
}

bool PumpUntil(const std::function<bool()>& cond, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    Pump();
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::vector<Widget> PopupsNamed(const std::string& name) {
  std::vector<Widget> out;
  // The popup list is not a resource; read the Core fields directly.
  WidgetList popups = toplevel->core.popup_list;
  Cardinal count = toplevel->core.num_popups;
  for (Cardinal i = 0; i < count; ++i)
    if (!popups[i]->core.being_destroyed && name == XtName(popups[i])) out.push_back(popups[i]);
  return out;
}

bool IsMapped(Widget w) {
  if (!XtIsRealized(w)) return false;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs)) return false;
  return attrs.map_state == IsViewable;
}

void DestroyPopupsNamed(const std::string& name) {
  for (Widget w : PopupsNamed(name)) XtDestroyWidget(w);
  Pump();
}

void WarpPointer(int x, int y) {
  XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
  Pump();
}

std::string LabelOf(Widget w) {
  String label = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNlabel, &label);
  XtGetValues(w, args, 1);
  return label ? label : "";
}

void Press(Widget command) { XtCallCallbacks(command, XtNcallback, nullptr); }

void ResetProgramState() {
  for (const auto& note : Notes())
    if (note->shell) XtDestroyWidget(note->shell);
  Notes().clear();
  Pump();
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  static char name[] = "stikkel";
  char* targv[] = {name, nullptr};
  int targc = 1;
  InitToolkit(&targc, targv);
  SanitizeResources();
  XtRealizeWidget(toplevel);
  Pump();
  return RUN_ALL_TESTS();
}
