// The search of all notes: the rows as the query is typed, and a chosen
// row's note shown with its match selected and in view.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/List.h>
#include <X11/Xaw/Text.h>

#include <string>
#include <vector>

#include "frame/search_notes.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class SearchNotesTest : public testing::Test {
 protected:
  void TearDown() override { DestroyPopupsNamed("SearchShell"); }
  Widget Part(const char* name) { return XtNameToWidget(PopupNamed("SearchShell"), name); }
  // Types into the field as an edit does (the field's change callback runs).
  void Type(const std::string& text) {
    Widget field = Part("*SearchText");
    XawTextBlock block{0, static_cast<int>(text.size()), const_cast<char*>(text.data()), FMT8BIT};
    XawTextPosition end = XawTextSourceScan(XawTextGetSource(field), 0, XawstAll, XawsdRight, 1, True);
    XawTextReplace(field, end, end, &block);
    Pump();
  }
  void Clear() {
    Widget field = Part("*SearchText");
    XawTextBlock block{0, 0, const_cast<char*>(""), FMT8BIT};
    XawTextReplace(field, 0, XawTextSourceScan(XawTextGetSource(field), 0, XawstAll, XawsdRight, 1, True), &block);
    Pump();
  }
  std::vector<std::string> Rows() {
    String* items = nullptr;
    int count = 0;
    Arg args[2];
    XtSetArg(args[0], XtNlist, &items);
    XtSetArg(args[1], XtNnumberStrings, &count);
    XtGetValues(Part("*SearchList"), args, 2);
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i)
      if (items[i][0]) rows.push_back(items[i]);
    return rows;
  }
  void ChooseRow(int row) {
    XawListHighlight(Part("*SearchList"), row);
    XawListReturnStruct chosen{const_cast<char*>(""), row};
    XtCallCallbacks(Part("*SearchList"), XtNcallback, &chosen);
    Pump();
  }
  ProgramStateGuard program_state_;
};

TEST_F(SearchNotesTest, RowsFollowTheQueryAsItIsTyped) {
  ShowNoteAt(100, 100, "eggs\nMILK\nbread")->name = "Shopping";
  ShowNoteAt(300, 100, "call Bob about the milkman")->name = "Work";
  Note* hidden = ShowNoteAt(500, 100, "nothing here");
  hidden->name = "Milk run";
  WindowOf(hidden)->Hide();
  ShowNoteAt(700, 100, "other")->name = "Other";
  OpenNoteSearch();
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(PopupNamed("SearchShell")); }));
  EXPECT_EQ(Rows(), std::vector<std::string>{});
  EXPECT_EQ(LabelOf(Part("*SearchStatus")), "Type what to find");
  struct Step {
    const char* typed;
    std::vector<std::string> rows;
    const char* status;
  } steps[] = {
      // "Milk run" by its name (its first line shown); "Other" holds no m.
      {"m", {"Shopping: MILK", "Work: call Bob about the milkman", "Milk run: nothing here"}, "3 notes hold it"},
      {"i", {"Shopping: MILK", "Work: call Bob about the milkman", "Milk run: nothing here"}, "3 notes hold it"},
      {"lkm", {"Work: call Bob about the milkman"}, "1 note holds it"},
      {"x", {}, "No note holds it"},
  };
  for (const Step& step : steps) {
    Type(step.typed);
    EXPECT_EQ(Rows(), step.rows) << step.typed;
    EXPECT_EQ(LabelOf(Part("*SearchStatus")), step.status) << step.typed;
  }
  Clear();
  EXPECT_EQ(Rows(), std::vector<std::string>{});
}

TEST_F(SearchNotesTest, ChosenRowShowsTheNoteWithTheMatchSelectedInView) {
  std::string text;
  for (int i = 1; i < 300; ++i) text += "line " + std::to_string(i) + "\n";
  text += "here is the Needle\n";
  Note* far = ShowNoteAt(100, 100, text);
  far->name = "Far";
  Note* hidden = ShowNoteAt(400, 100, "a needle too");
  hidden->name = "Hidden";
  WindowOf(hidden)->Hide();
  Pump();
  for (Note* note : {far, hidden}) {
    OpenNoteSearch();
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(PopupNamed("SearchShell")); }));
    Type("NEEDLE");
    std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    ChooseRow(note == far ? 0 : 1);
    EXPECT_EQ(PopupNamed("SearchShell"), nullptr) << "the dialog closes";
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
    EXPECT_FALSE(note->hidden);
    Widget t = NoteWidget(note, "NoteText");
    XawTextPosition from = 0, to = 0;
    XawTextGetSelectionPos(t, &from, &to);
    std::string shown = NoteText(note);
    EXPECT_EQ(shown.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)),
              note == far ? "Needle" : "needle");
    if (note == far) {
      XawTextPosition top = 0;
      Arg arg;
      XtSetArg(arg, XtNdisplayPosition, &top);
      XtGetValues(t, &arg, 1);
      EXPECT_GT(top, 0) << "scrolled";
      EXPECT_LE(top, from) << "the match in view";
    }
  }
}

}  // namespace
