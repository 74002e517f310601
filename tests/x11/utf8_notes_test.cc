// Notes in a UTF-8 locale: the text widget in international mode keeps
// Unicode; what is loaded, inserted, pasted, named and saved is UTF-8, and a
// file of Latin-1 bytes shows its characters and keeps its bytes until the
// note changes. These tests run only in a process started in UTF-8 mode
// (STIKKEL_X11_UTF8=1, the x11_utf8 test); elsewhere they are skipped.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/Xaw/Text.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/locale.h"
#include "app/one_line_field.h"
#include "model/note_list.h"
#include "model/utf8.h"
#include "notes/NoteSource.h"
#include "notes/name_dialog.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "temp_dir.h"
#include "tools/insert_text.h"
#include "x11_util.h"

namespace {

// Accents, a dash, Greek, Cyrillic, CJK and an emoji: 1 to 4 bytes a character.
const std::string kSample =
    "caf\xc3\xa9 \xe2\x80\x93 \xce\xb1\xce\xb2\xce\xb3 \xd0\x96\xd0\xb8 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x99\x82";
const std::string kEmoji = "\xf0\x9f\x99\x82";  // U+1F642, four bytes

std::string Header(std::size_t text_bytes) {
  return "%%!!<tackonnote> 40 60 169 227 " + std::to_string(text_bytes) + " 0 0 1080 1920 0 0 1 0 0 \n";
}

// Characters in UTF-8 text: the bytes that are no continuation bytes.
std::size_t CharCount(const std::string& utf8) {
  std::size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  return n;
}

bool International(Widget text) {
  Boolean international = False;
  Arg arg;
  XtSetArg(arg, XtNinternational, &international);
  XtGetValues(text, &arg, 1);
  return international;
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st;
}

// What the test's selection owner hands out, and in which types.
std::string owned_text;
std::vector<Atom> owned_types;

Boolean Convert(Widget, Atom*, Atom* target, Atom* type, XtPointer* value, unsigned long* length, int* format) {
  bool offered = false;
  for (Atom t : owned_types) offered = offered || t == *target;
  if (!offered) return False;
  return ReplyWithText(owned_text, target, type, value, length, format);
}

class Utf8Notes : public testing::Test {
 protected:
  void SetUp() override {
    if (!::Utf8Notes()) GTEST_SKIP() << "runs in UTF-8 mode only (STIKKEL_X11_UTF8=1)";
    UseNoteSettings(dir_.path(), 1024);
  }
  void TearDown() override {
    XtDisownSelection(program.toplevel, XA_PRIMARY, XtLastTimestampProcessed(program.display));
    DestroyPopupsNamed("ErrorShell");
  }
  Note* MakeNote(const std::string& text) {
    Note* note = Notes().NewNote(-1);
    note->width = 300;
    note->height = 200;
    note->text = text;
    CreateNoteWindow(note);
    return note;
  }
  // Loads the note directory as start-up does; returns the one note.
  Note* LoadOne() {
    LoadNotes();
    Pump();
    EXPECT_EQ(Notes().size(), 1u);
    return Notes().empty() ? nullptr : Notes()[0].get();
  }
  static void Own(const std::string& text, std::vector<Atom> types) {
    owned_text = text;
    owned_types = std::move(types);
    ASSERT_TRUE(XtOwnSelection(program.toplevel, XA_PRIMARY, XtLastTimestampProcessed(program.display), Convert,
                               nullptr, nullptr));
  }
  // Pastes PRIMARY; waits for the text to change, or a while when it must not.
  static void Paste(Note* note, bool changes) {
    std::string before = NoteText(note);
    String params[] = {const_cast<String>("PRIMARY")};
    XtCallActionProc(NoteWidget(note, "NoteText"), "paste-selection", nullptr, params, 1);
    EXPECT_EQ(PumpUntil([&] { return NoteText(note) != before; }, changes ? 3000 : 300), changes);
  }
  static Atom Utf8String() { return XInternAtom(program.display, "UTF8_STRING", False); }

  TempDir dir_;
  ProgramStateGuard program_state_;
};

TEST_F(Utf8Notes, TheTextWidgetKeepsUnicodeAndHandsItBackAsUtf8) {
  Note* note = MakeNote(kSample);
  NoteWindow* window = WindowOf(note);
  EXPECT_TRUE(International(NoteWidget(note, "NoteText")));
  EXPECT_EQ(window->Text(), kSample);
  EXPECT_EQ(window->Length(), kSample.size()) << "bytes, not characters";
  EXPECT_EQ(XawTextLastPosition(NoteWidget(note, "NoteText")), 18) << "positions count characters";
  // Inserted text goes in whole, and the caret ends after it.
  window->SetInsertionPoint(4);
  ASSERT_TRUE(window->InsertAtCaret(kSample));
  EXPECT_EQ(window->Text(), "caf\xc3\xa9" + kSample + kSample.substr(5));
  EXPECT_EQ(window->InsertionPoint(), 22);
  EXPECT_EQ(window->Length(), 2 * kSample.size());
  // Bytes that are not UTF-8 (a calendar's or a file's Latin-1) come in as
  // the characters they stand for, never dropped.
  note->MarkSaved();
  ASSERT_TRUE(window->SetText("K\xf6ln"));
  EXPECT_EQ(window->Text(), "K\xc3\xb6ln");
  EXPECT_EQ(XawTextLastPosition(NoteWidget(note, "NoteText")), 4) << "the widget shows the new text";
  EXPECT_EQ(window->Length(), 5u);
  EXPECT_FALSE(note->changed()) << "as a new string: no change callback";
  EXPECT_EQ(note->Text(), "K\xc3\xb6ln") << "what a save writes";
}

TEST_F(Utf8Notes, ALatin1FileShowsItsCharactersAndKeepsItsBytesUntilChanged) {
  const std::string path = dir_ / "note1";
  const std::string file = Header(8) + "Gr\xfc\xdf" "e\n" + "K\xf6ln \xe9t\xe9";
  WriteFile(path, file);
  Note* note = LoadOne();
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->name, "Gr\xc3\xbc\xc3\x9f" "e");
  EXPECT_EQ(NoteText(note), "K\xc3\xb6ln \xc3\xa9t\xc3\xa9");
  // Unchanged: Save writes nothing, and a save that must write (the note
  // moved) writes the very same bytes.
  const struct stat before = Stat(path);
  ASSERT_TRUE(SaveNote(note));
  const struct stat after = Stat(path);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  note->moved = true;
  ASSERT_TRUE(SaveNote(note));
  EXPECT_EQ(ReadFile(path), file);
  // Changed by a character Latin-1 lacks: the text UTF-8, the length in
  // bytes; the unchanged name keeps its bytes.
  WindowOf(note)->SetInsertionPoint(4);
  ASSERT_TRUE(WindowOf(note)->InsertAtCaret(kEmoji));
  note->MarkChanged();
  ASSERT_TRUE(SaveNote(note));
  const std::string text = "K\xc3\xb6ln" + kEmoji + " \xc3\xa9t\xc3\xa9";
  EXPECT_EQ(ReadFile(path), Header(text.size()) + "Gr\xfc\xdf" "e\n" + text);
}

// Text that is UTF-8 but for one stray byte shows as Latin-1 as a whole;
// after a rename and after an edit its bytes come back as they were (the
// edit's Latin-1 character added as one byte), never encoded twice.
TEST_F(Utf8Notes, AStrayByteIsNeverEncodedTwice) {
  const std::string path = dir_ / "note1";
  const std::string stored = "Gr\xc3\xbc\xc3\x9f" "e \xff";  // "Grüße" in UTF-8, then a stray byte
  WriteFile(path, Header(stored.size()) + "Mixed\n" + stored);
  Note* note = LoadOne();
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(NoteText(note), "Gr\xc3\x83\xc2\xbc\xc3\x83\xc2\x9f" "e \xc3\xbf");
  note->name = "Renamed \xc3\xa9";
  note->MarkChanged();
  ASSERT_TRUE(SaveNote(note));
  EXPECT_EQ(ReadFile(path), Header(stored.size()) + "Renamed \xc3\xa9\n" + stored) << "renamed";
  WindowOf(note)->SetInsertionPoint(static_cast<XawTextPosition>(Utf8CharCount(NoteText(note))));
  ASSERT_TRUE(WindowOf(note)->InsertAtCaret("\xc3\xa9"));
  ASSERT_TRUE(SaveNote(note));
  EXPECT_EQ(ReadFile(path), Header(stored.size() + 1) + "Renamed \xc3\xa9\n" + stored + "\xe9") << "edited";
  // Read back, it shows what it showed.
  const std::string shown = NoteText(note);
  ResetProgramState();
  note = LoadOne();
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(NoteText(note), shown);
}

TEST_F(Utf8Notes, AUtf8FileLoadsAsItIs) {
  const std::string path = dir_ / "note1";
  WriteFile(path, Header(kSample.size()) + "\xce\xb1 \xf0\x9f\x99\x82\n" + kSample);
  Note* note = LoadOne();
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->name, "\xce\xb1 \xf0\x9f\x99\x82");
  EXPECT_EQ(NoteText(note), kSample);
  note->MarkChanged();
  ASSERT_TRUE(SaveNote(note));
  EXPECT_EQ(ReadFile(path), Header(kSample.size()) + "\xce\xb1 \xf0\x9f\x99\x82\n" + kSample);
}

// The cap counts UTF-8 bytes: an insertion or paste that does not fit is
// refused as a whole, never cut inside a character.
TEST_F(Utf8Notes, InsertionsAndPastesAtTheCapGoInWholeOrNotAtAll) {
  struct Case {
    const char* what;
    std::size_t room;  // bytes left below the cap before the insertion
    bool fits;
  } cases[] = {
      {"one byte more room than needed", kSample.size() + 1, true},
      {"exactly the room left", kSample.size(), true},
      {"one byte short", kSample.size() - 1, false},
  };
  for (bool paste : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (paste ? ", pasted" : ", inserted"));
      const std::string start = "\xc3\xa9\xc3\xa9";
      Note* note = MakeNote(start);
      LimitNoteText(note, start.size() + c.room);
      WindowOf(note)->SetInsertionPoint(1);
      if (paste) {
        Own(kSample, {Utf8String()});
        Paste(note, c.fits);
      } else {
        EXPECT_EQ(WindowOf(note)->InsertAtCaret(kSample), c.fits);
      }
      Pump();
      EXPECT_EQ(NoteText(note), c.fits ? "\xc3\xa9" + kSample + "\xc3\xa9" : start);
      EXPECT_EQ(WindowOf(note)->InsertionPoint(), c.fits ? 19 : 1);
      EXPECT_EQ(WindowOf(note)->Length(), c.fits ? start.size() + kSample.size() : start.size());
      ResetProgramState();
      DestroyPopupsNamed("ErrorShell");
    }
  }
}

// The cap counts the UTF-8 a paste becomes, not the bytes it came in.
TEST_F(Utf8Notes, LargePastesAreMeasuredAsTheUtf8TheyBecome) {
  struct Case {
    const char* what;
    std::size_t latin1_bytes;  // of e-acute, two bytes each in UTF-8
    bool fits;
  } cases[] = {
      {"fits once converted", 25000, true},
      {"fits as bytes, not as UTF-8", 25001, false},
      {"far past the room", 200000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Note* note = MakeNote("x");
    LimitNoteText(note, 1 + 50000);
    Own(std::string(c.latin1_bytes, '\xe9'), {XA_STRING});
    Paste(note, c.fits);
    EXPECT_EQ(WindowOf(note)->Length(), c.fits ? 1 + 2 * c.latin1_bytes : 1);
    if (!c.fits) {
      EXPECT_TRUE(PumpUntil([] { return !PopupsNamed("ErrorShell").empty(); })) << "the user is told";
    }
    DestroyPopupsNamed("ErrorShell");
    ResetProgramState();
  }
}

TEST_F(Utf8Notes, PastesTakeEachSelectionTypeAsWhatItIs) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<Atom> types;
    std::string pasted;
  } cases[] = {
      {"UTF8_STRING first", kSample, {Utf8String(), XA_STRING}, kSample},
      {"STRING is Latin-1", "Gr\xfc\xdf" "e", {XA_STRING}, "Gr\xc3\xbc\xc3\x9f" "e"},
      {"a UTF8_STRING that is no UTF-8 is not dropped", "a\xff", {Utf8String()}, "a\xc3\xbf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Note* note = MakeNote("");
    Own(c.bytes, c.types);
    Paste(note, true);
    EXPECT_EQ(NoteText(note), c.pasted);
    ResetProgramState();
  }
}

TEST_F(Utf8Notes, OpenTakesLatin1AndUtf8Files) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"UTF-8", kSample, kSample},
      {"Latin-1", "K\xf6ln \xe9t\xe9", "K\xc3\xb6ln \xc3\xa9t\xc3\xa9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(dir_ / "in.txt", c.bytes);
    Note* note = MakeNote("\xe6\x97\xa5!");
    WindowOf(note)->SetInsertionPoint(1);
    InsertIntoNote(note, dir_ / "in.txt", false, true);
    Pump();
    EXPECT_EQ(NoteText(note), "\xe6\x97\xa5" + c.shown + "!");
    EXPECT_EQ(WindowOf(note)->InsertionPoint(), 1 + static_cast<XawTextPosition>(CharCount(c.shown)));
    ResetProgramState();
  }
}

// A Latin-1 file of fewer bytes than the room left, but more once its
// characters are UTF-8: refused whole, told once as a full note.
TEST_F(Utf8Notes, AFileThatOutgrowsTheRoomAsUtf8IsRefusedAsTooLong) {
  for (bool from_file : {true, false}) {
    SCOPED_TRACE(from_file ? "file" : "string");
    const std::string latin1 = "\xe9\xe9\xe9";  // 3 bytes, 6 in UTF-8
    WriteFile(dir_ / "in.txt", latin1);
    Note* note = MakeNote("ab");
    LimitNoteText(note, 2 + 5);
    InsertIntoNote(note, from_file ? dir_ / "in.txt" : latin1, false, from_file);
    PumpUntil([] { return !PopupsNamed("ErrorShell").empty(); });
    Pump();
    EXPECT_EQ(NoteText(note), "ab");
    std::vector<std::string> messages;
    for (Widget shell : PopupsNamed("ErrorShell")) messages.push_back(LabelOf(XtNameToWidget(shell, "errorDialog")));
    EXPECT_EQ(messages, std::vector<std::string>{TextTooLongMessage(note->name)});
    DestroyPopupsNamed("ErrorShell");
    ResetProgramState();
  }
}

TEST_F(Utf8Notes, TheNameDialogKeepsANameWholeAndCutsItOnACharacterBoundary) {
  struct Case {
    const char* what;
    std::string typed;
    std::string name;
  } cases[] = {
      {"accents, CJK and an emoji", "Caf\xc3\xa9 \xe6\x97\xa5 " + kEmoji, "Caf\xc3\xa9 \xe6\x97\xa5 " + kEmoji},
      // 1021 bytes of ASCII, then a character of three bytes that would end at
      // byte 1024: it goes whole.
      {"cut at 1022 bytes", std::string(1021, 'n') + "\xe6\x97\xa5", std::string(1021, 'n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Note* note = MakeNote("");
    NameNote(note);
    Widget dialog = XtNameToWidget(PopupNamed("Name"), "Dialog");
    ASSERT_NE(dialog, nullptr);
    Widget field = XtNameToWidget(dialog, "value");
    SetOneLineFieldText(field, c.typed);
    Press(XtNameToWidget(dialog, "Confirm"));
    Pump();
    EXPECT_EQ(note->name, c.name);
    // Opened again: the field shows the name whole, and the dialog is as
    // wide as its characters (not its bytes) and 10 more.
    NameNote(note);
    Pump();
    String shown = nullptr;
    Arg arg;
    XtSetArg(arg, XtNstring, &shown);
    XtGetValues(field, &arg, 1);
    EXPECT_EQ(std::string(shown ? shown : ""), c.name);
    Dimension width = 0;
    XtSetArg(arg, XtNwidth, &width);
    XtGetValues(PopupNamed("Name"), &arg, 1);
    EXPECT_EQ(width, std::min<std::size_t>((CharCount(c.name) + 10) * program.res.nameWidth, 32767));
    DismissNameDialog();
    note->MarkChanged();
    ASSERT_TRUE(SaveNote(note));
    std::string file = ReadFile(note->file_path);
    std::size_t start = file.find('\n') + 1;
    EXPECT_EQ(file.substr(start, file.find('\n', start) - start), c.name);
    ResetProgramState();
  }
}

// A note opens its input method only when it may be typed into (each costs
// a few milliseconds and half a megabyte). The key that opens it is already
// looked up through it: a typed é is é, not a stray character and é.
TEST_F(Utf8Notes, TheKeyThatOpensTheInputMethodIsTypedThroughIt) {
  Note* note = MakeNote("!");
  Pump();
  // A spare key gives é (keycodes from 150 on hold media keys).
  const KeyCode spare = 150;
  int per_code = 0;
  KeySym* old = XGetKeyboardMapping(program.display, spare, 1, &per_code);
  KeySym eacute = XK_eacute;
  XChangeKeyboardMapping(program.display, spare, 1, &eacute, 1);
  XSync(program.display, False);
  Pump();
  Widget text = NoteWidget(note, "NoteText");
  XEvent key = KeyPressOn(text, spare);
  XtDispatchEvent(&key);
  XtDispatchEvent(&key);
  EXPECT_EQ(WindowOf(note)->Text(), "\xc3\xa9\xc3\xa9!");
  XChangeKeyboardMapping(program.display, spare, per_code, old, 1);
  XFree(old);
  XSync(program.display, False);
}

}  // namespace
