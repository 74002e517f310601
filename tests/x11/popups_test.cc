// The shared popups: error messages and the Confirm popup.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>

#include "app/popups.h"
#include "x11_util.h"

namespace {

Widget ChildNamed(Widget parent, const char* name) { return XtNameToWidget(parent, name); }

TEST(ErrorPopup, TwoMessagesTwoPopupsEachRemovedByItsOwnContinue) {
  WarpPointer(300, 200);
  ShowError("first");
  ShowError("second");
  std::vector<Widget> shells = PopupsNamed("ErrorShell");
  ASSERT_EQ(shells.size(), 2u);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shells[0]) && IsMapped(shells[1]); }));
  Widget dialog0 = ChildNamed(shells[0], "errorDialog");
  EXPECT_EQ(LabelOf(dialog0), "first");
  EXPECT_EQ(LabelOf(ChildNamed(dialog0, "errconfirm")), "Continue");
  String title = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNtitle, &title);
  XtGetValues(shells[0], args, 1);
  EXPECT_STREQ(title, "Stikkel Error");
  EXPECT_EQ(shells[0]->core.x, 300);
  EXPECT_EQ(shells[0]->core.y, 200);

  Press(ChildNamed(ChildNamed(shells[1], "errorDialog"), "errconfirm"));
  Pump();
  std::vector<Widget> left = PopupsNamed("ErrorShell");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(LabelOf(ChildNamed(left[0], "errorDialog")), "first");
  Press(ChildNamed(ChildNamed(left[0], "errorDialog"), "errconfirm"));
  Pump();
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

// A click on a widget's window as the server delivers it.
void Click(Widget w) {
  for (int type : {ButtonPress, ButtonRelease}) {
    XEvent event{};
    event.xbutton.type = type;
    event.xbutton.display = program.display;
    event.xbutton.window = XtWindow(w);
    event.xbutton.root = DefaultRootWindow(program.display);
    event.xbutton.x = event.xbutton.y = 2;
    event.xbutton.button = Button1;
    event.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
    event.xbutton.same_screen = True;
    event.xbutton.time = CurrentTime;
    XSendEvent(program.display, XtWindow(w), False, NoEventMask, &event);
  }
  Pump();
}

int clicks = 0;
void CountClick(Widget, XtPointer, XtPointer) { ++clicks; }

TEST(ErrorPopup, TakesClicksWhileADialogHoldsAGrab) {
  WarpPointer(300, 200);
  // A dialog with a grab of each kind, and a plain window beside it.
  for (XtGrabKind grab : {XtGrabNonexclusive, XtGrabExclusive}) {
    Widget dialog = XtCreatePopupShell("SomeDialog", transientShellWidgetClass, program.toplevel, nullptr, 0);
    Widget dialog_button = XtCreateManagedWidget("b", commandWidgetClass, dialog, nullptr, 0);
    XtAddCallback(dialog_button, XtNcallback, CountClick, nullptr);
    Widget other = XtCreatePopupShell("Other", transientShellWidgetClass, program.toplevel, nullptr, 0);
    Widget other_button = XtCreateManagedWidget("b", commandWidgetClass, other, nullptr, 0);
    XtAddCallback(other_button, XtNcallback, CountClick, nullptr);
    XtPopup(other, XtGrabNone);
    XtPopup(dialog, grab);
    ShowError("over the dialog");
    std::vector<Widget> shells = PopupsNamed("ErrorShell");
    ASSERT_EQ(shells.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(shells[0]) && IsMapped(dialog) && IsMapped(other); }));

    clicks = 0;
    Click(other_button);
    EXPECT_EQ(clicks, 0) << "the grab keeps other windows from input";
    Click(dialog_button);
    EXPECT_EQ(clicks, 1) << "the dialog itself takes input";
    Click(ChildNamed(ChildNamed(shells[0], "errorDialog"), "errconfirm"));
    EXPECT_TRUE(PopupsNamed("ErrorShell").empty()) << grab;
    Click(dialog_button);
    EXPECT_EQ(clicks, 2) << "the dialog still takes input";
    XtDestroyWidget(dialog);
    XtDestroyWidget(other);
    DestroyPopupsNamed("ErrorShell");
  }
}

int confirmed = 0;
int cancelled = 0;
void OnConfirm(Widget, XtPointer data, XtPointer) {
  DismissConfirm();
  confirmed += static_cast<int>(reinterpret_cast<long>(data));
}
void OnCancel(Widget, XtPointer data, XtPointer) {
  DismissConfirm();
  cancelled += static_cast<int>(reinterpret_cast<long>(data));
}

TEST(ConfirmPopup, ReusedAtTheNewPointerWithOnlyTheNewCallbacks) {
  WarpPointer(100, 120);
  XtCallbackRec yes1[] = {{OnConfirm, reinterpret_cast<XtPointer>(1)}, {nullptr, nullptr}};
  XtCallbackRec no1[] = {{OnCancel, reinterpret_cast<XtPointer>(1)}, {nullptr, nullptr}};
  AskConfirm(yes1, no1);
  Widget shell = PopupNamed("Confirm");
  ASSERT_NE(shell, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  EXPECT_EQ(shell->core.x, 100);
  EXPECT_EQ(shell->core.y, 120);
  Widget confirm = XtNameToWidget(shell, "Buttons.Confirm");
  Widget cancel = XtNameToWidget(shell, "Buttons.Cancel");
  ASSERT_TRUE(confirm && cancel);
  EXPECT_EQ(LabelOf(confirm), "Confirm");
  EXPECT_EQ(LabelOf(cancel), "Cancel");
  EXPECT_LT(confirm->core.x, cancel->core.x) << "Confirm on the left";
  Press(cancel);
  Pump();
  EXPECT_EQ(cancelled, 1);
  EXPECT_FALSE(IsMapped(shell));

  WarpPointer(500, 400);
  XtCallbackRec yes2[] = {{OnConfirm, reinterpret_cast<XtPointer>(10)}, {nullptr, nullptr}};
  XtCallbackRec no2[] = {{OnCancel, reinterpret_cast<XtPointer>(10)}, {nullptr, nullptr}};
  AskConfirm(yes2, no2);
  EXPECT_EQ(PopupNamed("Confirm"), shell) << "the same popup is reused";
  EXPECT_EQ(XtNameToWidget(shell, "Buttons.ConfirmLabel"), nullptr) << "no question, no text";
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  EXPECT_EQ(shell->core.x, 500);
  EXPECT_EQ(shell->core.y, 400);
  confirm = XtNameToWidget(shell, "Buttons.Confirm");  // laid out anew for each question
  Press(confirm);
  Pump();
  EXPECT_EQ(confirmed, 10) << "only the new procedure runs";
  EXPECT_EQ(cancelled, 1);
  EXPECT_FALSE(IsMapped(shell));
}

}  // namespace
