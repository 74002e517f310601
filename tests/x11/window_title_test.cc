// _NET_WM_NAME: a window's UTF-8 name, read back from the server.
#include <gtest/gtest.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>

#include <string>

#include "app/app.h"
#include "app/window_title.h"
#include "x11_util.h"

namespace {

// The property as the server holds it: its type's name and its bytes.
std::pair<std::string, std::string> NetWmName(Widget shell) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(program.display, XtWindow(shell), XInternAtom(program.display, "_NET_WM_NAME", False), 0, 1 << 20,
                     False, AnyPropertyType, &type, &format, &count, &after, &data);
  std::pair<std::string, std::string> out;
  if (type != None) {
    char* name = XGetAtomName(program.display, type);
    out.first = name;
    XFree(name);
    out.second.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  return out;
}

TEST(WindowTitle, Utf8NameIsPublishedAsItIsAndInvalidBytesRemoveIt) {
  Arg args[2];
  XtSetArg(args[0], XtNwidth, 50);
  XtSetArg(args[1], XtNheight, 50);
  Widget shell = XtCreatePopupShell("TitleTest", wmShellWidgetClass, program.toplevel, args, 2);
  const std::string name = "Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x99\x82";
  SetUtf8WindowName(shell, name);  // no window yet: nothing happens
  XtRealizeWidget(shell);
  SetUtf8WindowName(shell, name);
  Pump();
  EXPECT_EQ(NetWmName(shell), std::make_pair(std::string("UTF8_STRING"), name));
  SetUtf8WindowName(shell, "Gr\xfc\xdf" "e");
  Pump();
  EXPECT_EQ(NetWmName(shell).first, "");
  XtDestroyWidget(shell);
  Pump();
}

TEST(WindowTitle, FollowedTitleReachesUtf8NameOnEveryChange) {
  const std::string first = "Caf\xc3\xa9 \xce\x95\xce\xbb \xd0\x9a\xd0\xb8 \xe6\x97\xa5 \xf0\x9f\x99\x82";
  const std::string second = "\xe6\x9c\xac \xd0\xaf";
  Arg args[3];
  XtSetArg(args[0], XtNwidth, 50);
  XtSetArg(args[1], XtNheight, 50);
  XtSetArg(args[2], XtNtitle, first.c_str());
  Widget shell = XtCreatePopupShell("TitleTest", wmShellWidgetClass, program.toplevel, args, 3);
  XtRealizeWidget(shell);
  FollowTitleWithUtf8Name(shell);
  Pump();
  EXPECT_EQ(NetWmName(shell), std::make_pair(std::string("UTF8_STRING"), first));
  XtSetArg(args[0], XtNtitle, second.c_str());
  XtSetValues(shell, args, 1);
  EXPECT_TRUE(PumpUntil([&] { return NetWmName(shell).second == second; }));
  // A title that is not UTF-8 leaves no stale name behind.
  XtSetArg(args[0], XtNtitle, "Gr\xfc\xdf" "e");
  XtSetValues(shell, args, 1);
  EXPECT_TRUE(PumpUntil([&] { return NetWmName(shell).first.empty(); }));
  XtDestroyWidget(shell);
  Pump();
}

}  // namespace
