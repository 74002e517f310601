#include "frame/control_window.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>

#include <string>

#include "frame/Plaid.h"
#include "frame/all_notes.h"
#include "app/app.h"
#include "app/embedded.h"
#include "app/locale.h"
#include "model/text_scale.h"
#include "frame/exit.h"
#include "app/popups.h"
#include "app/widget_state.h"

namespace {

constexpr Dimension kDefaultSide = 64;

void RaiseAllNotesCallback(Widget, XtPointer, XtPointer) { RaiseAllNotes(); }

void LowerAllNotesCallback(Widget, XtPointer, XtPointer) { LowerAllNotes(); }

void CloseControlWindow(Widget, XtPointer, XtPointer) { RequestExit(); }

// The main menu opens under the pointer, or where it fits on the screen,
// with an entry under the pointer near a corner. A release of button 3 on
// an entry chooses it only once the pointer has moved since the press:
// a click released at once closes the menu and runs nothing.
struct MenuGuard {
  int press_x = 0;
  int press_y = 0;
  bool moved = false;
};

constexpr int kMoveSlack = 3;  // pixels the hand may shake

void MenuMotion(Widget, XtPointer client_data, XEvent* event, Boolean*) {
  auto* guard = static_cast<MenuGuard*>(client_data);
  if (event->type != MotionNotify) return;
  int dx = event->xmotion.x_root - guard->press_x, dy = event->xmotion.y_root - guard->press_y;
  if (dx * dx + dy * dy > kMoveSlack * kMoveSlack) guard->moved = true;
}

void MenuRelease(Widget menu, XtPointer client_data, XEvent* event, Boolean* go_on) {
  auto* guard = static_cast<MenuGuard*>(client_data);
  if (event->type != ButtonRelease || guard->moved) return;
  XtPopdown(menu);
  *go_on = False;
}

void FreeGuard(Widget, XtPointer client_data, XtPointer) { delete static_cast<MenuGuard*>(client_data); }

// Marks the menu as guarded: the guard is the client data of this popup
// callback, which does nothing more.
void Guarded(Widget, XtPointer, XtPointer) {}

// Button 3 on the control window, before its translations pop the menu
// up: the guard of the menu starts anew.
void ControlWindowPress(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (event->type != ButtonPress || event->xbutton.button != Button3) return;
  Widget menu = XtNameToWidget(XtParent(w), "Menu");
  if (!menu) return;
  auto* guard = static_cast<MenuGuard*>(CallbackData(menu, const_cast<String>(XtNpopupCallback), Guarded));
  if (!guard) {
    guard = new MenuGuard;
    XtAddCallback(menu, XtNpopupCallback, Guarded, guard);
    XtAddCallback(menu, XtNdestroyCallback, FreeGuard, guard);
    XtAddEventHandler(menu, PointerMotionMask | ButtonMotionMask, False, MenuMotion, guard);
    XtInsertEventHandler(menu, ButtonReleaseMask, False, MenuRelease, guard, XtListHead);
  }
  *guard = MenuGuard{event->xbutton.x_root, event->xbutton.y_root, false};
}

}  // namespace

Widget MakeControlWindow(Widget parent) {
  Widget plaid = XtCreateWidget("Plaid", plaidWidgetClass, parent, nullptr, 0);
  XtAddCallback(plaid, XtNlowerCallback, LowerAllNotesCallback, nullptr);
  XtAddCallback(plaid, XtNraiseCallback, RaiseAllNotesCallback, nullptr);
  Dimension width = 0, height = 0;
  Arg args[2];
  XtSetArg(args[0], XtNwidth, &width);
  XtSetArg(args[1], XtNheight, &height);
  XtGetValues(plaid, args, 2);
  Cardinal n = 0;
  // On a screen of high resolution the square grows with the widgets' fonts.
  auto side = static_cast<Dimension>(Scaled(kDefaultSide, InternationalWidgetScale()));
  if (width == 0) {
    XtSetArg(args[n], XtNwidth, side);
    n++;
  }
  if (height == 0) {
    XtSetArg(args[n], XtNheight, side);
    n++;
  }
  if (n > 0) XtSetValues(plaid, args, n);
  XtInsertEventHandler(plaid, ButtonPressMask, False, ControlWindowPress, nullptr, XtListHead);
  XtManageChild(plaid);
  return plaid;
}

namespace {

// The built-in geometry of the application shell (the control window's
// size and corner), as the fallback lines give it.
std::string BuiltInGeometry() {
  const std::string prefix = "Kleebord.geometry:";
  for (const std::string& line : FallbackLines())
    if (line.compare(0, prefix.size(), prefix) == 0) {
      std::size_t start = line.find_first_not_of(" \t", prefix.size());
      return start == std::string::npos ? "" : line.substr(start);
    }
  return "";
}

// On a screen of high resolution the built-in size grows with the fonts;
// a geometry of the user's own is kept as given.
void ScaleBuiltInGeometry(Widget shell) {
  double scale = InternationalWidgetScale();
  if (scale == 1.0) return;
  String geometry = nullptr;
  Arg arg;
  XtSetArg(arg, XtNgeometry, &geometry);
  XtGetValues(shell, &arg, 1);
  if (!geometry || BuiltInGeometry() != geometry) return;
  // The shell keeps the pointer it is given while it lives.
  static std::string scaled;
  scaled = ScaleGeometry(geometry, scale);
  if (scaled.empty()) return;
  XtSetArg(arg, XtNgeometry, scaled.c_str());
  XtSetValues(shell, &arg, 1);
}

}  // namespace

void CreateControlWindow() {
  ScaleBuiltInGeometry(program.toplevel);
  MakeControlWindow(program.toplevel);
}

void ExitOnControlWindowClose() { OnWindowClose(program.toplevel, CloseControlWindow, nullptr); }
