// The name dialog, opened from a real note's Notes menu.
#include <gtest/gtest.h>

#include <X11/StringDefs.h>
#include <X11/XKBlib.h>
#include <X11/Xaw/Dialog.h>
#include <X11/Xaw/Text.h>
#include <X11/keysym.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/one_line.h"
#include "notes/name_dialog.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/note_saving.h"
#include "temp_dir.h"
#include "x11_util.h"

namespace {

class NameDialogTest : public testing::Test {
 protected:
  void SetUp() override { program.res.nameWidth = 10; }
  void TearDown() override {
    DismissNameDialog();
    DestroyPopupsNamed("Name");
  }

  static Note* MakeNote(const char* text = "") {
    Note* note = Notes().NewNote(-1);
    note->text = text;
    note->width = 200;
    note->height = 120;
    CreateNoteWindow(note);
    Pump();
    return note;
  }
  static void OpenFor(const Note* note) {
    Press(XtNameToWidget(NoteWidget(note, "OptionsMenu"), "Name"));
    Pump();
  }
  static Widget Shell() {
    std::vector<Widget> shells = PopupsNamed("Name");
    return shells.size() == 1 ? shells[0] : nullptr;
  }
  static bool Up() { return Shell() && IsMapped(Shell()); }
  static Widget Part(const char* name) { return XtNameToWidget(Shell(), name); }
  static std::string Field() { return XawDialogGetValueString(Part("Dialog")); }
  // Replaces the field's text as typing or a paste would.
  static void SetField(const std::string& value) {
    Widget text = Part("Dialog.value");
    XawTextBlock block;
    block.firstPos = 0;
    block.length = static_cast<int>(value.size());
    block.ptr = const_cast<char*>(value.c_str());
    block.format = XawFmt8Bit;
    ASSERT_EQ(XawTextReplace(text, 0, static_cast<XawTextPosition>(Field().size()), &block), XawEditDone);
    Pump();
  }
  static void PressButton(const char* name) {
    Press(Part((std::string("Dialog.") + name).c_str()));
    Pump();
  }
  static std::string Title(const Note* note) {
    char* name = nullptr;
    std::string out;
    if (XFetchName(program.display, XtWindow(NoteShell(note)), &name) && name) out = name;
    XFree(name);
    return out;
  }
  static bool SaveSensitive(const Note* note) { return XtIsSensitive(NoteWidget(note, "Save")); }

  ProgramStateGuard program_state_;
};

TEST_F(NameDialogTest, OpensAtThePointerAsWideAsTheName) {
  struct Case {
    const char* name;
    int name_width;
    int x, y;
    int width;
  } cases[] = {
      {"Note 3", 10, 250, 180, 160},
      {"", 10, 400, 300, 300},  // no name: 30 characters
      {"Note 3", 7, 30, 40, 112},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Note* note = MakeNote();
    note->name = c.name;
    program.res.nameWidth = c.name_width;
    WarpPointer(c.x, c.y);
    OpenFor(note);
    ASSERT_TRUE(PumpUntil(Up));
    EXPECT_EQ(Field(), c.name);
    EXPECT_EQ(LabelOf(Part("Dialog")), "Title for Note");
    XWindowAttributes attrs;
    EXPECT_TRUE(PumpUntil([&] {
      XGetWindowAttributes(program.display, XtWindow(Shell()), &attrs);
      return attrs.width == c.width;
    })) << "width "
        << attrs.width;
    EXPECT_EQ(attrs.x, c.x);
    EXPECT_EQ(attrs.y, c.y);
    PressButton("Cancel");
    EXPECT_FALSE(Up());
    ResetProgramState();
  }
}

TEST_F(NameDialogTest, ConfirmTakesTheValueAsOneLine) {
  const std::string long_value = std::string(1000, 'a') + "\n" + std::string(100, 'b');
  struct Case {
    std::string value;
    std::string name;  // the name afterwards
    bool changed;
  } cases[] = {
      {"Groceries", "Groceries", true},
      {"", "Note 1", false},           // an emptied field changes nothing
      {"Note 1", "Note 1", true},      // the unchanged name still counts as a change
      // A pasted line break is taken out of the field at once.
      {"Line one\nLine two\r\n", "Line one Line two", true},
      {long_value, std::string(1000, 'a') + " " + std::string(21, 'b'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.substr(0, 20));
    Note* note = MakeNote("text stays");
    OpenFor(note);
    ASSERT_TRUE(Up());
    SetField(c.value);
    ASSERT_EQ(Field(), OneLine(c.value));
    PressButton("Confirm");
    EXPECT_FALSE(Up());
    EXPECT_EQ(note->name, c.name);
    EXPECT_EQ(Title(note), c.name);
    EXPECT_EQ(SaveSensitive(note), c.changed);
    EXPECT_EQ(NoteText(note), "text stays");
    ResetProgramState();
  }
}

TEST_F(NameDialogTest, CancelAndTheCloseButtonChangeNothing) {
  for (bool close_button : {false, true}) {
    SCOPED_TRACE(close_button ? "close button" : "Cancel");
    Note* note = MakeNote();
    OpenFor(note);
    SetField("Other");
    if (close_button) SendWindowManagerClose(Shell());
    else PressButton("Cancel");
    EXPECT_TRUE(PumpUntil([] { return !Up(); }));
    ASSERT_NE(Shell(), nullptr) << "the dialog is kept for the next time";
    EXPECT_EQ(note->name, "Note 1");
    EXPECT_EQ(Title(note), "Note 1");
    EXPECT_FALSE(SaveSensitive(note));
    ResetProgramState();
  }
}

TEST_F(NameDialogTest, OneDialogServesEachNoteInTurn) {
  Note* a = MakeNote();
  Note* b = MakeNote();
  a->name = "Alpha";
  b->name = "Beta";
  OpenFor(a);
  Widget first = Shell();
  EXPECT_EQ(Field(), "Alpha");
  PressButton("Cancel");
  OpenFor(b);
  EXPECT_EQ(Shell(), first);
  EXPECT_EQ(Field(), "Beta");
  XWindowAttributes attrs;
  XGetWindowAttributes(program.display, XtWindow(Shell()), &attrs);
  EXPECT_EQ(attrs.width, 140);
  SetField("Gamma");
  PressButton("Confirm");
  EXPECT_EQ(b->name, "Gamma");
  EXPECT_TRUE(SaveSensitive(b));
  EXPECT_EQ(a->name, "Alpha");
  EXPECT_EQ(Title(a), "Note 1") << "title untouched since creation";
  EXPECT_FALSE(SaveSensitive(a));
}

TEST_F(NameDialogTest, ConfirmForANoteGoneMeanwhileOnlyCloses) {
  Note* gone = MakeNote();
  Note* other = MakeNote();
  OpenFor(gone);
  SetField("Orphan");
  XtDestroyWidget(NoteShell(gone));
  Notes().RemoveNote(gone);
  PressButton("Confirm");
  EXPECT_FALSE(Up());
  EXPECT_EQ(other->name, "Note 2");
  EXPECT_FALSE(SaveSensitive(other));
}

TEST_F(NameDialogTest, APastedTwoLineNameSavesAndLoadsAsOneLine) {
  TempDir dir;
  UseNoteSettings(dir.path());
  Note* note = MakeNote("first line\nsecond line\n");
  OpenFor(note);
  SetField("Call Anna\r\nabout the flat\n");
  PressButton("Confirm");
  const std::string name = "Call Anna about the flat";
  ASSERT_EQ(note->name, name);
  Press(NoteWidget(note, "Save"));
  Pump();
  ASSERT_FALSE(SaveSensitive(note)) << "saved";
  std::string file = ReadFile(dir / "note1");
  EXPECT_NE(file.find("\n" + name + "\nfirst line\nsecond line\n"), std::string::npos) << file;

  ResetProgramState();
  LoadNotes();
  ASSERT_EQ(Notes().size(), 1u);
  EXPECT_EQ(Notes()[0]->name, name);
  EXPECT_EQ(NoteText(Notes()[0].get()), "first line\nsecond line\n");
  EXPECT_EQ(Title(Notes()[0].get()), name);
  ResetProgramState();
}

// Counts the bells rung on the display, seen from a connection of its own.
class BellWatch {
 public:
  BellWatch() : d_(XOpenDisplay(DisplayString(program.display))) {
    int opcode, error, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (d_ && XkbQueryExtension(d_, &opcode, &event_base_, &error, &major, &minor))
      XkbSelectEvents(d_, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    if (d_) XSync(d_, False);
  }
  ~BellWatch() {
    if (d_) XCloseDisplay(d_);
  }
  BellWatch(const BellWatch&) = delete;
  BellWatch& operator=(const BellWatch&) = delete;
  bool ok() const { return d_ && event_base_ >= 0; }
  int Rung() {
    XSync(d_, False);
    int count = 0;
    while (XPending(d_)) {
      XEvent ev;
      XNextEvent(d_, &ev);
      if (ev.type == event_base_ + XkbEventCode &&
          reinterpret_cast<XkbEvent*>(&ev)->any.xkb_type == XkbBellNotify)
        ++count;
    }
    return count;
  }

 private:
  Display* d_;
  int event_base_ = -1;
};

void SendKey(Widget w, KeySym sym, unsigned int state) {
  XEvent ev = KeyPressOn(w, XKeysymToKeycode(program.display, sym), state);
  XSendEvent(program.display, XtWindow(w), False, KeyPressMask, &ev);
  ev.xkey.type = KeyRelease;
  XSendEvent(program.display, XtWindow(w), False, KeyReleaseMask, &ev);
  Pump();
}

TEST_F(NameDialogTest, ReturnInTheFieldRingsTheBellAndDoesNotConfirm) {
  BellWatch bells;
  ASSERT_TRUE(bells.ok());
  Note* note = MakeNote();
  OpenFor(note);
  Widget field = Part("Dialog.value");
  SendKey(field, XK_x, 0);  // an ordinary key reaches the field
  ASSERT_EQ(Field(), "xNote 1");
  EXPECT_EQ(bells.Rung(), 0);
  struct Case {
    const char* what;
    KeySym sym;
    unsigned int state;
  } cases[] = {{"Return", XK_Return, 0},   {"Ctrl-M", XK_m, ControlMask}, {"Down", XK_Down, 0},
               {"Enter", XK_KP_Enter, 0}, {"Ctrl-J", XK_j, ControlMask}, {"Ctrl-O", XK_o, ControlMask},
               {"Shift-Return", XK_Return, ShiftMask}};
  for (const Case& c : cases) {
    SendKey(field, c.sym, c.state);
    EXPECT_TRUE(PumpUntil([&] { return bells.Rung() == 1; })) << c.what;
    EXPECT_TRUE(Up()) << c.what;
    EXPECT_EQ(Field(), "xNote 1") << c.what;
  }
  EXPECT_EQ(note->name, "Note 1");
  EXPECT_FALSE(SaveSensitive(note));
}

TEST_F(NameDialogTest, TheFieldNeverWraps) {
  // The fallback resources make every Text wrap at words; the name field
  // scrolls sideways instead, for the first dialog and the reused one.
  for (int round = 0; round < 2; ++round) {
    Note* note = MakeNote();
    OpenFor(note);
    ASSERT_TRUE(PumpUntil(Up));
    XawTextWrapMode wrap = XawtextWrapWord;
    Arg args[1];
    XtSetArg(args[0], XtNwrap, &wrap);
    XtGetValues(Part("Dialog.value"), args, 1);
    EXPECT_EQ(wrap, XawtextWrapNever) << round;
    PressButton("Cancel");
  }
}

}  // namespace
