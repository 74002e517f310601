// The Plaid widget and the control window built from it.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "frame/PlaidP.h"
#include "frame/control_window.h"
#include "model/note_list.h"
#include "x11_util.h"

namespace {

// A shell of its own for each widget under test: toplevel holds one child.
Widget NewHost(const char* name) {
  static bool menu_actions = false;  // button 3's binding names them
  if (!menu_actions) XawSimpleMenuAddGlobalActions(program.app_context);
  menu_actions = true;
  Arg args[2];
  XtSetArg(args[0], XtNx, 10);
  XtSetArg(args[1], XtNy, 10);
  return XtCreatePopupShell(name, overrideShellWidgetClass, program.toplevel, args, 2);
}

Dimension WidthOf(Widget w) { return w->core.width; }
Dimension HeightOf(Widget w) { return w->core.height; }

TEST(ControlWindow, SixtyFourPixelsForEachSideNotGiven) {
  XrmDatabase db = XtDatabase(program.display);
  XrmPutLineResource(&db, "stikkel.WidthOnly.Plaid.width: 100");
  XrmPutLineResource(&db, "stikkel.HeightOnly.Plaid.height: 30");
  XrmPutLineResource(&db, "stikkel.BothSides.Plaid.width: 80");
  XrmPutLineResource(&db, "stikkel.BothSides.Plaid.height: 90");
  struct Case {
    const char* host;
    Dimension width, height;
  } cases[] = {
      {"NoSize", 64, 64}, {"WidthOnly", 100, 64}, {"HeightOnly", 64, 30}, {"BothSides", 80, 90},
  };
  for (const Case& c : cases) {
    Widget host = NewHost(c.host);
    Widget plaid = MakeControlWindow(host);
    EXPECT_STREQ(XtName(plaid), "Plaid");
    EXPECT_TRUE(XtIsManaged(plaid));
    EXPECT_EQ(WidthOf(plaid), c.width) << c.host;
    EXPECT_EQ(HeightOf(plaid), c.height) << c.host;
    XtPopup(host, XtGrabNone);
    Pump();
    XWindowAttributes attrs;
    ASSERT_TRUE(XGetWindowAttributes(program.display, XtWindow(plaid), &attrs));
    EXPECT_EQ(attrs.width, c.width) << c.host;
    EXPECT_EQ(attrs.height, c.height) << c.host;
    XtDestroyWidget(host);
    Pump();
  }
}

struct Calls {
  std::vector<XtPointer> call_data;
};

void Record(Widget, XtPointer client_data, XtPointer call_data) {
  auto* calls = static_cast<Calls*>(client_data);
  calls->call_data.push_back(call_data);
}

class PlaidTest : public testing::Test {
 protected:
  Widget Make(const char* name) {
    host_ = NewHost("PlaidHost");
    Arg args[2];
    XtSetArg(args[0], XtNwidth, 44);
    XtSetArg(args[1], XtNheight, 44);
    Widget w = XtCreateManagedWidget(name, plaidWidgetClass, host_, args, 2);
    XtAddCallback(w, XtNraiseCallback, Record, &raised_);
    XtAddCallback(w, XtNlowerCallback, Record, &lowered_);
    XtPopup(host_, XtGrabNone);
    PumpUntil([&] { return IsMapped(w); });
    return w;
  }
  void TearDown() override {
    if (host_) XtDestroyWidget(host_);
    Pump();
  }
  // Sends a button press to the widget's window, as the server would.
  void SendButton(Widget w, unsigned int button) {
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.display = program.display;
    event.xbutton.window = XtWindow(w);
    event.xbutton.root = DefaultRootWindow(program.display);
    event.xbutton.button = button;
    event.xbutton.same_screen = True;
    event.xbutton.time = CurrentTime;
    XSendEvent(program.display, XtWindow(w), False, ButtonPressMask, &event);
    Pump();
  }
  Widget host_ = nullptr;
  Calls raised_;
  Calls lowered_;
};

TEST_F(PlaidTest, ActionsCallTheirCallbackListsWithTheEvent) {
  Widget w = Make("Plaid");
  XEvent event{};
  event.type = ButtonPress;
  XtCallActionProc(w, "raise", &event, nullptr, 0);
  ASSERT_EQ(raised_.call_data.size(), 1u);
  EXPECT_EQ(raised_.call_data[0], &event);
  EXPECT_TRUE(lowered_.call_data.empty());
  XtCallActionProc(w, "lower", &event, nullptr, 0);
  ASSERT_EQ(lowered_.call_data.size(), 1u);
  EXPECT_EQ(lowered_.call_data[0], &event);
  EXPECT_EQ(raised_.call_data.size(), 1u);
}

TEST_F(PlaidTest, ButtonOneRaisesButtonTwoLowers) {
  // "Plaid" takes the translations of the resources; any other name the
  // class's own. Both bind the same buttons.
  for (const char* name : {"Plaid", "Tartan"}) {
    raised_ = {};
    lowered_ = {};
    Widget w = Make(name);
    SendButton(w, Button1);
    EXPECT_EQ(raised_.call_data.size(), 1u) << name;
    EXPECT_EQ(lowered_.call_data.size(), 0u) << name;
    SendButton(w, Button2);
    EXPECT_EQ(raised_.call_data.size(), 1u) << name;
    EXPECT_EQ(lowered_.call_data.size(), 1u) << name;
    XtDestroyWidget(host_);
    host_ = nullptr;
    Pump();
  }
}

int pixmap_errors = 0;
int CountBadPixmap(Display*, XErrorEvent* error) {
  if (error->error_code == BadDrawable || error->error_code == BadPixmap) ++pixmap_errors;
  return 0;
}

bool PlaidBit(int x, int y) {
  static const unsigned char rows[22][3] = {
      {0x75, 0xfd, 0x3f}, {0xaa, 0xfa, 0x3e}, {0x75, 0xfd, 0x3f}, {0xaa, 0xfa, 0x3e}, {0x75, 0xfd, 0x3f},
      {0xff, 0x57, 0x15}, {0x75, 0xfd, 0x3f}, {0xaa, 0xfa, 0x3e}, {0x75, 0xfd, 0x3f}, {0xaa, 0xfa, 0x3e},
      {0x75, 0xfd, 0x3f}, {0x20, 0xa8, 0x2b}, {0x20, 0x50, 0x15}, {0x20, 0xa8, 0x2b}, {0x20, 0x50, 0x15},
      {0x20, 0xa8, 0x2b}, {0xff, 0xff, 0x3f}, {0x20, 0xa8, 0x2b}, {0x20, 0x50, 0x15}, {0x20, 0xa8, 0x2b},
      {0x20, 0x50, 0x15}, {0x20, 0xa8, 0x2b},
  };
  return rows[y][x / 8] >> (x % 8) & 1;
}

TEST_F(PlaidTest, TileIsThePlaidInTheWidgetsColoursAndIsFreedWithIt) {
  Widget w = Make("Plaid");
  auto* pw = reinterpret_cast<PlaidWidget>(w);
  Pixmap tile = pw->core.background_pixmap;
  ASSERT_NE(tile, XtUnspecifiedPixmap);
  ASSERT_NE(tile, None);
  Pixel fg = pw->plaid.foreground;
  Pixel bg = pw->core.background_pixel;
  ASSERT_NE(fg, bg);
  Window root;
  int x, y;
  unsigned int width, height, border, depth;
  ASSERT_TRUE(XGetGeometry(program.display, tile, &root, &x, &y, &width, &height, &border, &depth));
  EXPECT_EQ(width, 22u);
  EXPECT_EQ(height, 22u);
  EXPECT_EQ(depth, w->core.depth);
  // The window shows the tile repeated: compare two periods each way.
  XImage* image = XGetImage(program.display, XtWindow(w), 0, 0, 44, 44, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int wrong = 0;
  for (int py = 0; py < 44; ++py)
    for (int px = 0; px < 44; ++px)
      if (XGetPixel(image, px, py) != (PlaidBit(px % 22, py % 22) ? fg : bg)) ++wrong;
  XDestroyImage(image);
  EXPECT_EQ(wrong, 0);

  XtDestroyWidget(host_);
  host_ = nullptr;
  Pump();
  XSync(program.display, False);
  XErrorHandler previous = XSetErrorHandler(CountBadPixmap);
  pixmap_errors = 0;
  XGetGeometry(program.display, tile, &root, &x, &y, &width, &height, &border, &depth);
  XSync(program.display, False);
  XSetErrorHandler(previous);
  EXPECT_EQ(pixmap_errors, 1) << "the tile is gone with the widget";
}

TEST(ControlWindow, DestroyedBeforeRealizeFreesNothing) {
  Widget host = NewHost("NeverShown");
  MakeControlWindow(host);
  XErrorHandler previous = XSetErrorHandler(CountBadPixmap);
  pixmap_errors = 0;
  XtDestroyWidget(host);
  Pump();
  XSetErrorHandler(previous);
  EXPECT_EQ(pixmap_errors, 0);
}

}  // namespace
