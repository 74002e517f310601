// The desktop key map in a note, driven through its actions: the CLIPBOARD
// copy the program keeps, undo and redo where the program or the cap had a
// say, and the keyboard focus of a note window.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Xatom.h>
#include <X11/Xaw/Text.h>

#include <algorithm>
#include <string>

#include "app/app.h"
#include "app/text_keys.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class KeyMapX : public testing::Test {
 protected:
  void SetUp() override { ChooseKeyMap(KeyMap::kDesktop); }
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }

  Note* MakeNote(const std::string& text) {
    Note* note = Notes().NewNote(-1);
    note->width = 300;
    note->height = 200;
    note->text = text;
    CreateNoteWindow(note);
    Pump();
    return note;
  }
  static void Act(Widget text, const char* action, const char* param = nullptr) {
    String params[] = {const_cast<String>(param)};
    XtCallActionProc(text, action, nullptr, param ? params : nullptr, param ? 1 : 0);
    Pump();
  }
  // The CLIPBOARD as UTF8_STRING, asked of whoever owns it.
  static std::string Clipboard() {
    struct Reply {
      bool done = false;
      std::string text;
    } reply;
    auto received = [](Widget, XtPointer data, Atom*, Atom*, XtPointer value, unsigned long* length, int*) {
      auto* r = static_cast<Reply*>(data);
      if (value) r->text.assign(static_cast<char*>(value), *length);
      XtFree(static_cast<char*>(value));
      r->done = true;
    };
    XtGetSelectionValue(program.toplevel, XInternAtom(program.display, "CLIPBOARD", False),
                        XInternAtom(program.display, "UTF8_STRING", False), received, &reply,
                        XtLastTimestampProcessed(program.display));
    PumpUntil([&] { return reply.done; });
    return reply.text;
  }

  ProgramStateGuard program_state_;
};

TEST_F(KeyMapX, CopyAndCutKeepACopyInTheClipboard) {
  Note* note = MakeNote("hello world");
  Widget text = NoteWidget(note, "NoteText");
  XawTextSetSelection(text, 0, 5);
  Act(text, "copy-clipboard");
  EXPECT_EQ(NoteText(note), "hello world");
  // The selection goes, the text changes: the copy stays.
  XawTextUnsetSelection(text);
  ASSERT_TRUE(WindowOf(note)->SetText("other"));
  Pump();
  EXPECT_EQ(Clipboard(), "hello");
  // Cut: the copy, and the selected text out of the note, in one edit.
  XawTextSetSelection(text, 1, 4);
  Act(text, "cut-clipboard");
  EXPECT_EQ(NoteText(note), "or");
  EXPECT_EQ(Clipboard(), "the");
  // Nothing selected: Ctrl+C and Ctrl+X leave the CLIPBOARD alone.
  Act(text, "copy-clipboard");
  Act(text, "cut-clipboard");
  EXPECT_EQ(Clipboard(), "the");
}

TEST_F(KeyMapX, UndoStepsOverNeitherAReloadNorARefusedEdit) {
  Note* note = MakeNote("abc");
  Widget text = NoteWidget(note, "NoteText");
  LimitNoteText(note, 5);
  XawTextSetInsertionPoint(text, 3);
  Act(text, "insert-string", "xy");
  ASSERT_EQ(NoteText(note), "abcxy");
  Act(text, "insert-string", "z");  // past the cap: refused
  ASSERT_EQ(NoteText(note), "abcxy");
  DestroyPopupsNamed("ErrorShell");
  Act(text, "undo");
  EXPECT_EQ(NoteText(note), "abc");
  Act(text, "redo");
  EXPECT_EQ(NoteText(note), "abcxy");
  // The program puts a text in whole (Erase, say): the edits before it
  // are no longer there to undo, and undo changes nothing.
  ASSERT_TRUE(WindowOf(note)->SetText("new"));
  for (const char* action : {"undo", "undo", "redo"}) {
    Act(text, action);
    EXPECT_EQ(NoteText(note), "new") << action;
  }
  XawTextSetInsertionPoint(text, 3);
  Act(text, "insert-string", "!");
  Act(text, "undo");
  EXPECT_EQ(NoteText(note), "new");
}

TEST_F(KeyMapX, NoteWindowTakesTheFocusForItsText) {
  Note* note = MakeNote("focus");
  Widget shell = NoteShell(note);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  EXPECT_EQ(XtGetKeyboardFocusWidget(shell), NoteWidget(note, "NoteText"));
  XWMHints* hints = XGetWMHints(program.display, XtWindow(shell));
  ASSERT_NE(hints, nullptr);
  EXPECT_TRUE((hints->flags & InputHint) && hints->input);
  XFree(hints);
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(program.display, XtWindow(shell), &protocols, &count));
  Atom take_focus = XInternAtom(program.display, "WM_TAKE_FOCUS", False);
  Atom delete_window = XInternAtom(program.display, "WM_DELETE_WINDOW", False);
  EXPECT_NE(std::find(protocols, protocols + count, take_focus), protocols + count);
  EXPECT_NE(std::find(protocols, protocols + count, delete_window), protocols + count);
  XFree(protocols);
  // A window manager hands the focus over.
  XSetInputFocus(program.display, PointerRoot, RevertToPointerRoot, CurrentTime);
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = XtWindow(shell);
  message.xclient.message_type = XInternAtom(program.display, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(take_focus);
  message.xclient.data.l[1] = CurrentTime;
  XSendEvent(program.display, XtWindow(shell), False, NoEventMask, &message);
  EXPECT_TRUE(PumpUntil([&] {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(program.display, &focus, &revert);
    return focus == XtWindow(shell);
  }));
}

}  // namespace
