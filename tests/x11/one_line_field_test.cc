// One-line fields: what Return does, and line breaks that a paste brings.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>

#include <string>

#include "app/app.h"
#include "app/one_line_field.h"
#include "x11_util.h"

namespace {

int returns = 0;
void CountReturn(Widget, XtPointer data, XtPointer) { returns += static_cast<int>(reinterpret_cast<long>(data)); }

class OneLineFieldTest : public testing::Test {
 protected:
  void SetUp() override {
    shell_ = XtCreatePopupShell("FieldShell", transientShellWidgetClass, program.toplevel, nullptr, 0);
    Arg args[3];
    XtSetArg(args[0], XtNeditType, XawtextEdit);
    XtSetArg(args[1], XtNstring, "xy");
    XtSetArg(args[2], XtNwidth, 200);
    text_ = XtCreateManagedWidget("Field", asciiTextWidgetClass, shell_, args, 3);
    MakeOneLineField(text_, CountReturn, reinterpret_cast<XtPointer>(1));
    XtPopup(shell_, XtGrabNone);
    PumpUntil([this] { return IsMapped(shell_); });
  }
  void TearDown() override { XtDestroyWidget(shell_); Pump(); }

  std::string Text() const {
    String value = nullptr;
    Arg args[1];
    XtSetArg(args[0], XtNstring, &value);
    XtGetValues(text_, args, 1);
    return value ? value : "";
  }
  // Inserts bytes at pos and puts the insertion point after them, as a
  // paste does.
  void Paste(XawTextPosition pos, const std::string& bytes) {
    XawTextBlock block{0, static_cast<int>(bytes.size()), const_cast<char*>(bytes.data()), XawFmt8Bit};
    ASSERT_EQ(XawTextReplace(text_, pos, pos, &block), XawEditDone);
    XawTextSetInsertionPoint(text_, pos + static_cast<XawTextPosition>(bytes.size()));
    Pump();
  }

  Widget shell_ = nullptr;
  Widget text_ = nullptr;
};

TEST_F(OneLineFieldTest, PastedLineBreaksAreTakenOutAtOnce) {
  struct Case {
    const char* field;
    XawTextPosition at;
    const char* paste;
    const char* result;
    XawTextPosition caret;
  } cases[] = {
      {"xy", 1, "a\nb", "xa by", 4},
      {"", 0, "bob@example.org\n", "bob@example.org", 15},
      {"/home/u/", 8, "notes.txt\r\n", "/home/u/notes.txt", 17},
      {"ab", 1, "\n\n", "a b", 2},
      {"plain", 5, " text", "plain text", 10},
  };
  for (const auto& c : cases) {
    Arg args[1];
    XtSetArg(args[0], XtNstring, c.field);
    XtSetValues(text_, args, 1);
    Paste(c.at, c.paste);
    EXPECT_TRUE(PumpUntil([&] { return Text() == c.result; })) << c.paste << " gave " << Text();
    EXPECT_EQ(XawTextGetInsertionPoint(text_), c.caret) << c.paste;
    EXPECT_EQ(OneLineFieldText(text_), c.result);
  }
}

TEST_F(OneLineFieldTest, NeverWrapsAndReturnIsTheFieldsOwn) {
  XawTextWrapMode wrap = XawtextWrapWord;
  Arg args[1];
  XtSetArg(args[0], XtNwrap, &wrap);
  XtGetValues(text_, args, 1);
  EXPECT_EQ(wrap, XawtextWrapNever) << "whatever the resources say";
  returns = 0;
  XtCallActionProc(text_, "one-line-return", nullptr, nullptr, 0);
  EXPECT_EQ(returns, 1);
  EXPECT_EQ(Text(), "xy");
  // Made a field again, the new procedure counts.
  MakeOneLineField(text_, CountReturn, reinterpret_cast<XtPointer>(10));
  XtCallActionProc(text_, "one-line-return", nullptr, nullptr, 0);
  EXPECT_EQ(returns, 11);
  // Bound in a text widget that is no field (as a resource line could),
  // the action only rings the bell.
  Widget plain = XtCreateManagedWidget("Plain", asciiTextWidgetClass, shell_, nullptr, 0);
  XtCallActionProc(plain, "one-line-return", nullptr, nullptr, 0);
  EXPECT_EQ(returns, 11);
}

TEST_F(OneLineFieldTest, AFieldGoesWithItsWidgetEvenWithARemovalWaiting) {
  // A paste with a line break leaves the removal waiting for the main loop;
  // the field's widget goes first. Another field made at once works.
  std::string bytes = "a\nb";
  XawTextBlock block{0, static_cast<int>(bytes.size()), bytes.data(), XawFmt8Bit};
  ASSERT_EQ(XawTextReplace(text_, 2, 2, &block), XawEditDone);
  XtDestroyWidget(shell_);
  SetUp();
  Paste(2, "c\nd");
  EXPECT_TRUE(PumpUntil([&] { return Text() == "xyc d"; })) << Text();
  returns = 0;
  XtCallActionProc(text_, "one-line-return", nullptr, nullptr, 0);
  EXPECT_EQ(returns, 1);
}

}  // namespace
