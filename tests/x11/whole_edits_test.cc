// Athena's Replace All makes one replacement after another: for a note it
// is one edit, which goes in whole or, when it would take the text past the
// cap, not at all.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>

#include <string>

#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class WholeEditsTest : public testing::Test {
 protected:
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }

  // Opens the note's search popup as Ctrl+S does and returns it.
  static Widget OpenSearch(Note* note) {
    Widget text = NoteWidget(note, "NoteText");
    XEvent event = KeyPressOn(text, 0);
    String forward = const_cast<String>("forward");
    XtCallActionProc(text, "search", &event, &forward, 1);
    Pump();
    for (Cardinal i = 0; i < text->core.num_popups; ++i)
      if (std::string(XtName(text->core.popup_list[i])) == "search") return text->core.popup_list[i];
    return nullptr;
  }
  static void SetField(Widget popup, const char* name, const std::string& value) {
    Widget field = XtNameToWidget(popup, name);
    ASSERT_NE(field, nullptr) << name;
    Arg arg;
    XtSetArg(arg, XtNstring, value.c_str());
    XtSetValues(field, &arg, 1);
  }
  ProgramStateGuard program_state_;
};

TEST_F(WholeEditsTest, ReplaceAllGoesInWholeOrNotAtAll) {
  // Ten matches; each replacement of a "b" by an e-acute adds a byte (two
  // bytes of UTF-8, two characters in the C locale).
  std::string text;
  std::string replaced;
  for (int i = 0; i < 10; ++i) {
    text += "ab ";
    replaced += "a\xc3\xa9 ";
  }
  struct Case {
    const char* what;
    std::size_t cap;
    bool goes_in;
  } cases[] = {
      {"room for all", text.size() + 10, true},
      {"one byte short", text.size() + 9, false},
      {"four bytes short: six would fit", text.size() + 6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Note* note = ShowNoteAt(100, 100, text);
    LimitNoteText(note, c.cap);
    WindowOf(note)->SetInsertionPoint(0);
    Widget popup = OpenSearch(note);
    ASSERT_NE(popup, nullptr);
    SetField(popup, "*searchText", "b");
    SetField(popup, "*replaceText", "\xc3\xa9");
    // Search finds (selects) the first match; Replace All goes from there.
    Widget search = XtNameToWidget(popup, "*search");
    Widget replace_all = XtNameToWidget(popup, "*replaceAll");
    ASSERT_NE(search, nullptr);
    ASSERT_NE(replace_all, nullptr);
    Press(search);
    Pump();
    Press(replace_all);
    Pump();
    EXPECT_EQ(NoteText(note), c.goes_in ? replaced : text);
    EXPECT_EQ(note->changed(), c.goes_in);
    EXPECT_EQ(PumpUntil([] { return PopupNamed("ErrorShell") != nullptr; }, c.goes_in ? 200 : 3000), !c.goes_in)
        << "the popup that says the note is full";
    DestroyPopupsNamed("ErrorShell");
    // The note takes edits as before.
    LimitNoteText(note, kMaxTextLength);
    WindowOf(note)->SetInsertionPoint(0);
    EXPECT_TRUE(WindowOf(note)->InsertAtCaret("z"));
    EXPECT_EQ(NoteText(note), "z" + (c.goes_in ? replaced : text));
    ResetProgramState();
  }
}

}  // namespace
