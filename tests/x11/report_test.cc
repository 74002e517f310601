// The one place a failure is told: a popup while the program has its
// windows, standard error when there is none, and a failed call on a file
// in the system's words on standard error besides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/report.h"
#include "stderr_capture.h"
#include "x11_util.h"

namespace {

std::string ErrorText(Widget shell) { return LabelOf(XtNameToWidget(shell, "errorDialog")); }

TEST(Report, EachFailureIsToldOnceWhereTheUserSeesIt) {
  struct Case {
    const char* what;
    bool windows;        // the toolkit is up
    std::string message;
    std::string detail;  // a failed call, or ""
    std::string popup;   // the popup's text, or "" for none
    std::string err;     // standard error
  } cases[] = {
      {"a failure with windows", true, "Couldn't do it.", "", "Couldn't do it.", ""},
      {"a failed call on a file", true, "Couldn't delete /n/note1.", "/n/note1: Is a directory",
       "Couldn't delete /n/note1.", "stikkel: /n/note1: Is a directory\n"},
      {"a failed rename names both paths", true, "Couldn't rename.", "/tmp/a-/tmp/b: No such file or directory",
       "Couldn't rename.", "stikkel: /tmp/a-/tmp/b: No such file or directory\n"},
      {"no windows yet", false, "Couldn't do it.", "", "", "stikkel: Couldn't do it.\n"},
      {"no windows, a message of two lines", false, "one\ntwo", "", "", "stikkel: one\nstikkel: two\n"},
      {"no windows, a failed call", false, "Couldn't write.", "/n/x: Input/output error", "",
       "stikkel: /n/x: Input/output error\nstikkel: Couldn't write.\n"},
  };
  const Widget shell = program.toplevel;
  for (const Case& c : cases) {
    DestroyPopupsNamed("ErrorShell");
    if (!c.windows) program.toplevel = nullptr;
    StderrCapture err;
    if (c.detail.empty()) ReportError(c.message);
    else ReportFileFailure(c.message, c.detail);
    EXPECT_EQ(err.Text(), c.err) << c.what;
    program.toplevel = shell;
    std::vector<Widget> popups = PopupsNamed("ErrorShell");
    ASSERT_EQ(popups.size(), c.popup.empty() ? 0u : 1u) << c.what;
    if (!c.popup.empty()) {
      EXPECT_EQ(ErrorText(popups[0]), c.popup) << c.what;
    }
  }
  DestroyPopupsNamed("ErrorShell");
}

TEST(Report, StandardErrorGetsOneLineForEachLine) {
  StderrCapture err;
  ReportOnStandardError("note 1 could not be saved; its text is in /n/.recovery/note1");
  ReportOnStandardError("first\nsecond");
  EXPECT_EQ(err.Text(),
            "stikkel: note 1 could not be saved; its text is in /n/.recovery/note1\n"
            "stikkel: first\nstikkel: second\n");
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

}  // namespace
