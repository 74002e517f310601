// The Insert Date dialog.
#include "tools_fixture.h"

#include <X11/Shell.h>
#include <X11/Xaw/Label.h>

#include <ctime>

#include "tools/date_format.h"
#include "tools/insert_date.h"

namespace {

class InsertDate : public ToolsTest {
 protected:
  void TearDown() override {
    DestroyPopupsNamed("InsertShell");
    ToolsTest::TearDown();
  }

  // The arrow of a row of the open dialog.
  static Widget Arrow(int row) { return Named(PopupNamed("InsertShell"), "InsertArrow").at(static_cast<std::size_t>(row)); }

  Widget Button(const char* label) {
    for (Widget w : Named(PopupNamed("InsertShell"), "InsertButtons"))
      if (LabelOf(w) == label) return w;
    return nullptr;
  }

  // The row's text at some moment between before and after.
  static bool FormattedWithin(const std::string& text, int row, std::time_t before, std::time_t after) {
    for (std::time_t t = before; t <= after; ++t) {
      std::tm local{};
      localtime_r(&t, &local);
      if (text == FormatDate(row, local)) return true;
    }
    return false;
  }
};

TEST_F(InsertDate, OpensWithElevenRowsAllDashes) {
  Note* note = MakeNote();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  Widget shell = PopupNamed("InsertShell");
  ASSERT_NE(shell, nullptr);
  EXPECT_TRUE(PumpUntil([shell] { return IsMapped(shell); }));
  EXPECT_EQ(PopupsNamed("InsertShell").size(), 1u);
  String title = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNtitle, &title);
  XtGetValues(shell, args, 1);
  EXPECT_STREQ(title, "Insert Date");

  std::vector<Widget> arrows = Named(shell, "InsertArrow");
  std::vector<Widget> labels = Named(shell, "InsertLabel");
  ASSERT_EQ(arrows.size(), 11u);
  ASSERT_EQ(labels.size(), 11u);
  EXPECT_EQ(Named(shell, "InsertBox").size(), 12u);
  Dimension row9 = 0;
  XtSetArg(args[0], XtNwidth, &row9);
  XtGetValues(labels[9], args, 1);
  for (int row = 0; row < 11; ++row) {
    EXPECT_EQ(LabelOf(arrows[static_cast<std::size_t>(row)]), "-");
    EXPECT_EQ(LabelOf(labels[static_cast<std::size_t>(row)]), DateLayoutLabel(row));
    Dimension width = 0;
    XtJustify justify = XtJustifyCenter;
    Arg get[2];
    XtSetArg(get[0], XtNwidth, &width);
    XtSetArg(get[1], XtNjustify, &justify);
    XtGetValues(labels[static_cast<std::size_t>(row)], get, 2);
    EXPECT_EQ(width, row9) << row;
    EXPECT_EQ(justify, XtJustifyLeft) << row;
  }
  EXPECT_NE(Button("Accept"), nullptr);
  EXPECT_NE(Button("Cancel"), nullptr);
}

TEST_F(InsertDate, AcceptWithoutAClickInsertsRowZero) {
  Note* note = MakeNote("Due: ");
  XawTextSetInsertionPoint(NoteWidget(note, "NoteText"), 5);
  note->MarkSaved();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  std::time_t before = std::time(nullptr);
  Press(Button("Accept"));
  std::time_t after = std::time(nullptr);
  Pump();
  std::string text = TextOf(note);
  ASSERT_EQ(text.rfind("Due: ", 0), 0u) << text;
  EXPECT_TRUE(FormattedWithin(text.substr(5), 0, before, after)) << text;
  EXPECT_EQ(text.size(), 5u + 8u) << "MM/DD/YY and nothing more";
  EXPECT_TRUE(Changed(note));
  EXPECT_EQ(PopupNamed("InsertShell"), nullptr);
  EXPECT_TRUE(PopupsNamed("InsertShell").empty());
}

TEST_F(InsertDate, LastClickedRowCountsAndEarlierArrowsKeepTheirMark) {
  Note* note = MakeNote();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  Press(Arrow(3));
  Press(Arrow(6));
  Pump();
  for (int row = 0; row < 11; ++row)
    EXPECT_EQ(LabelOf(Arrow(row)), row == 3 || row == 6 ? ">" : "-") << row;
  std::time_t before = std::time(nullptr);
  Press(Button("Accept"));
  std::time_t after = std::time(nullptr);
  EXPECT_TRUE(FormattedWithin(TextOf(note), 6, before, after)) << TextOf(note);

  // The next opening starts afresh: row 0 is chosen again.
  ASSERT_TRUE(WindowOf(note)->SetText(""));
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  EXPECT_EQ(LabelOf(Arrow(3)), "-");
  EXPECT_EQ(LabelOf(Arrow(6)), "-");
  before = std::time(nullptr);
  Press(Button("Accept"));
  after = std::time(nullptr);
  EXPECT_TRUE(FormattedWithin(TextOf(note), 0, before, after)) << TextOf(note);
}

TEST_F(InsertDate, CancelAndWindowCloseInsertNothing) {
  Note* note = MakeNote("unchanged");
  note->MarkSaved();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  Press(Arrow(2));
  Press(Button("Cancel"));
  Pump();
  EXPECT_TRUE(PopupsNamed("InsertShell").empty());

  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  Widget shell = PopupNamed("InsertShell");
  ASSERT_TRUE(PumpUntil([shell] { return IsMapped(shell); }));
  SendWindowManagerClose(shell);
  EXPECT_TRUE(PumpUntil([] { return PopupsNamed("InsertShell").empty(); }));
  EXPECT_EQ(PopupNamed("InsertShell"), nullptr);
  EXPECT_EQ(TextOf(note), "unchanged");
  EXPECT_FALSE(Changed(note));
}

TEST_F(InsertDate, FullNoteReportsAndStillClosesAndMarksChanged) {
  Note* note = MakeNote("12345");
  LimitNoteText(note, 7);  // room for 2 bytes
  note->MarkSaved();
  PickEntry(NoteWidget(note, "OptionsMenu"), "InsertDate");
  Press(Button("Accept"));
  PumpUntil([] { return !ErrorMessages().empty(); });
  EXPECT_EQ(ErrorMessages(), std::vector<std::string>{TextTooLongMessage(note->name)});
  EXPECT_EQ(TextOf(note), "12345");
  EXPECT_TRUE(Changed(note));
  EXPECT_TRUE(PopupsNamed("InsertShell").empty());
}

TEST_F(InsertDate, EntryOfADestroyedNoteDoesNothing) {
  Note* note = MakeNote();
  Widget entry = XtNameToWidget(NoteWidget(note, "OptionsMenu"), "InsertDate");
  note->id += 1000;  // the entry's id now names no note
  XtCallCallbacks(entry, XtNcallback, nullptr);
  Pump();
  EXPECT_TRUE(PopupsNamed("InsertShell").empty());
}

}  // namespace
