// Pasting a selection into a note: the program's own paste action, bound
// where Athena binds insert-selection.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>
#include <X11/Xaw/Text.h>
#include <X11/keysym.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/text_keys.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

// What the test's selection owner hands out, by selection.
std::string primary_text;
std::string secondary_text;
std::string clipboard_text;

std::string& TextOfSelection(Atom selection) {
  if (selection == XA_PRIMARY) return primary_text;
  if (selection == XA_SECONDARY) return secondary_text;
  return clipboard_text;
}

// Converts to UTF8_STRING and STRING only, as many owners do: the paste
// has to fall back from the target it asks for first.
Boolean Convert(Widget, Atom* selection, Atom* target, Atom* type, XtPointer* value, unsigned long* length,
                int* format) {
  if (*target != XA_STRING && *target != XInternAtom(program.display, "UTF8_STRING", False)) return False;
  return ReplyWithText(TextOfSelection(*selection), target, type, value, length, format);
}

class NotePasteTest : public testing::Test {
 protected:
  void SetUp() override { XStoreBuffer(program.display, "", 0, 0); }
  void TearDown() override {
    XtDisownSelection(program.toplevel, XA_PRIMARY, XtLastTimestampProcessed(program.display));
    XtDisownSelection(program.toplevel, XA_SECONDARY, XtLastTimestampProcessed(program.display));
    XStoreBuffer(program.display, "", 0, 0);
    DestroyPopupsNamed("ErrorShell");
  }
  static void Own(Atom selection, const std::string& text) {
    TextOfSelection(selection) = text;
    ASSERT_TRUE(XtOwnSelection(program.toplevel, selection, XtLastTimestampProcessed(program.display), Convert, nullptr,
                               nullptr));
  }
  Note* MakeNote(const std::string& text) {
    Note* note = Notes().NewNote(-1);
    note->width = 300;
    note->height = 200;
    note->text = text;
    CreateNoteWindow(note);
    return note;
  }
  // Runs paste-selection with these selections and waits for the text to
  // change (or for a while, when it must not).
  static void Paste(Note* note, std::vector<const char*> selections, bool changes = true) {
    std::string before = NoteText(note);
    std::vector<String> params;
    for (const char* s : selections) params.push_back(const_cast<String>(s));
    XtCallActionProc(NoteWidget(note, "NoteText"), "paste-selection", nullptr, params.data(),
                     static_cast<Cardinal>(params.size()));
    bool changed = PumpUntil([&] { return NoteText(note) != before; }, changes ? 3000 : 300);
    EXPECT_EQ(changed, changes);
  }
  ProgramStateGuard program_state_;
};

TEST_F(NotePasteTest, PastesAtTheCaretAndPutsTheCaretAfterIt) {
  Note* note = MakeNote("0123456789");
  WindowOf(note)->SetInsertionPoint(4);
  Own(XA_PRIMARY, "ab");
  Paste(note, {"PRIMARY"});
  EXPECT_EQ(NoteText(note), "0123ab456789");
  EXPECT_EQ(WindowOf(note)->InsertionPoint(), 6);
  EXPECT_TRUE(note->changed());
  // Pasted again: after the first paste, not glued before it.
  Paste(note, {"PRIMARY"});
  EXPECT_EQ(NoteText(note), "0123abab456789");
  // A note that keeps bytes keeps UTF-8 text as it came; a NUL ends it.
  Own(XA_PRIMARY, std::string("\xc3\xa9\xe2\x9c\x93\0tail", 9));
  Paste(note, {"PRIMARY"});
  EXPECT_EQ(NoteText(note), "0123abab\xc3\xa9\xe2\x9c\x93" "456789");
}

TEST_F(NotePasteTest, ANoteDestroyedBeforeTheReplyTakesNothingAndLeavesNothing) {
  Note* note = MakeNote("text");
  Own(XA_PRIMARY, "ab");
  String primary = const_cast<String>("PRIMARY");
  XtCallActionProc(NoteWidget(note, "NoteText"), "paste-selection", nullptr, &primary, 1);
  ResetProgramState();  // the reply comes, if at all, after the window went
  Pump();
  Note* other = MakeNote("0123");
  WindowOf(other)->SetInsertionPoint(4);
  Paste(other, {"PRIMARY"});
  EXPECT_EQ(NoteText(other), "0123ab");
}

TEST_F(NotePasteTest, TakesTheFirstSelectionThatHoldsText) {
  struct Case {
    const char* what;
    bool own_primary;
    bool own_secondary;
    const char* cut_buffer;
    std::vector<const char*> selections;
    const char* pasted;
  } cases[] = {
      {"primary first", true, true, "cut", {"PRIMARY", "CUT_BUFFER0"}, "primary"},
      {"no primary: the cut buffer", false, true, "cut", {"PRIMARY", "CUT_BUFFER0"}, "cut"},
      {"empty cut buffer: the next selection", false, true, "", {"CUT_BUFFER0", "SECONDARY"}, "secondary"},
      {"no selection named: PRIMARY, then CUT_BUFFER0", false, false, "cut", {}, "cut"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Note* note = MakeNote("");
    if (c.own_primary) Own(XA_PRIMARY, "primary");
    if (c.own_secondary) Own(XA_SECONDARY, "secondary");
    XStoreBuffer(program.display, c.cut_buffer, static_cast<int>(std::strlen(c.cut_buffer)), 0);
    Paste(note, c.selections);
    EXPECT_EQ(NoteText(note), c.pasted);
    TearDown();
  }
  // Nothing anywhere: nothing changes.
  Note* note = MakeNote("kept");
  Paste(note, {"PRIMARY", "CUT_BUFFER0"}, false);
  EXPECT_EQ(NoteText(note), "kept");
  EXPECT_FALSE(note->changed());
}

TEST_F(NotePasteTest, PasteBeyondTheCapIsRefusedWholeAndTold) {
  Note* note = MakeNote("0123456789");
  LimitNoteText(note, 12);
  WindowOf(note)->SetInsertionPoint(3);
  Own(XA_PRIMARY, "abc");
  Paste(note, {"PRIMARY"}, false);
  EXPECT_EQ(NoteText(note), "0123456789");
  EXPECT_EQ(WindowOf(note)->InsertionPoint(), 3);
  EXPECT_FALSE(note->changed());
  EXPECT_TRUE(PumpUntil([] { return PopupsNamed("ErrorShell").size() == 1; }));
  // Exactly the room left goes in.
  Own(XA_PRIMARY, "ab");
  Paste(note, {"PRIMARY"});
  EXPECT_EQ(NoteText(note), "012ab3456789");
  EXPECT_EQ(WindowOf(note)->InsertionPoint(), 5);
}

TEST_F(NotePasteTest, PasteBindingsOfBothKeyMapsRunThePastesOfTheNote) {
  struct Case {
    KeyMap map;
    const char* what;
    int type;
    unsigned int detail;  // a button, or a keysym for key events
    unsigned int state;
    const char* after;
  } cases[] = {
      {KeyMap::kAthena, "middle button: PRIMARY", ButtonPress, Button2, 0, "P"},
      {KeyMap::kAthena, "Shift+Insert: CLIPBOARD", KeyPress, XK_Insert, ShiftMask, "PK"},
      {KeyMap::kAthena, "Ctrl+Y: SECONDARY", KeyPress, XK_y, ControlMask, "PKS"},
      {KeyMap::kAthena, "Ctrl+C: CUT_BUFFER0", KeyPress, XK_c, ControlMask, "PKSC"},
      {KeyMap::kAthena, "Ctrl+Shift+V: CLIPBOARD", KeyPress, XK_v, ControlMask | ShiftMask, "PKSCK"},
      {KeyMap::kDesktop, "middle button: PRIMARY", ButtonPress, Button2, 0, "P"},
      {KeyMap::kDesktop, "Shift+Insert: CLIPBOARD", KeyPress, XK_Insert, ShiftMask, "PK"},
      {KeyMap::kDesktop, "Ctrl+V: CLIPBOARD", KeyPress, XK_v, ControlMask, "PKK"},
      {KeyMap::kDesktop, "Ctrl+Shift+V: CLIPBOARD", KeyPress, XK_v, ControlMask | ShiftMask, "PKKK"},
  };
  Note* note = nullptr;
  Widget text = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!note || CurrentKeyMap() != c.map) {
      ChooseKeyMap(c.map);
      note = MakeNote("");
      text = NoteWidget(note, "NoteText");
      Pump();
      ASSERT_TRUE(XtIsRealized(text));
      Own(XA_PRIMARY, "P");
      Own(XA_SECONDARY, "S");
      Own(XInternAtom(program.display, "CLIPBOARD", False), "K");
      XStoreBuffer(program.display, "C", 1, 0);
    }
    XEvent event{};
    event.type = c.type;
    event.xany.display = program.display;
    event.xany.window = XtWindow(text);
    if (c.type == ButtonPress) {
      event.xbutton.button = c.detail;
      event.xbutton.state = c.state;
      event.xbutton.time = XtLastTimestampProcessed(program.display);
      event.xbutton.same_screen = True;
    } else {
      event.xkey.keycode = XKeysymToKeycode(program.display, c.detail);
      event.xkey.state = c.state;
      event.xkey.time = XtLastTimestampProcessed(program.display);
      event.xkey.same_screen = True;
    }
    XtDispatchEvent(&event);
    EXPECT_TRUE(PumpUntil([&] { return NoteText(note) == c.after; })) << NoteText(note);
  }
}

}  // namespace
