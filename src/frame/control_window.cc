#include "frame/control_window.h"

#include <X11/StringDefs.h>

#include "frame/Plaid.h"
#include "frame/all_notes.h"
#include "app/app.h"
#include "frame/exit.h"
#include "app/popups.h"

namespace {

constexpr Dimension kDefaultSide = 64;

void RaiseAllNotesCallback(Widget, XtPointer, XtPointer) { RaiseAllNotes(); }

void LowerAllNotesCallback(Widget, XtPointer, XtPointer) { LowerAllNotes(); }

void CloseControlWindow(Widget, XtPointer, XtPointer) { RequestExit(); }

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
  if (width == 0) {
    XtSetArg(args[n], XtNwidth, kDefaultSide);
    n++;
  }
  if (height == 0) {
    XtSetArg(args[n], XtNheight, kDefaultSide);
    n++;
  }
  if (n > 0) XtSetValues(plaid, args, n);
  XtManageChild(plaid);
  return plaid;
}

void CreateControlWindow() { MakeControlWindow(program.toplevel); }

void ExitOnControlWindowClose() { OnWindowClose(program.toplevel, CloseControlWindow, nullptr); }
