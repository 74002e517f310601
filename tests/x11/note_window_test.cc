// The note window: its widgets, sensitivities, geometry and the text that
// never outgrows the note's buffer.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/locale.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class NoteWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    UseNoteSettings(Notes().settings().note_dir, 64);
  }
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }
  Note* Make(bool geometry = false) {
    Note* note = Notes().NewNote(-1);
    note->width = 300;
    note->height = 200;
    if (geometry) {
      note->has_geometry = true;
      note->x = 10;
      note->y = 20;
    }
    return note;
  }
  static bool Sensitive(Widget w) { return XtIsSensitive(w); }
  // The text as the text widget hands it out.
  static const char* Buffer(const Note* note) {
    String value = nullptr;
    Arg arg;
    XtSetArg(arg, XtNstring, &value);
    XtGetValues(NoteWidget(note, "NoteText"), &arg, 1);
    return value;
  }
  static std::string Shown(Note* note) { return SourceText(XawTextGetSource(NoteWidget(note, "NoteText"))); }
  // The entries of a menu, without the title entry the menu makes itself.
  static std::vector<std::string> EntryNames(Widget menu) {
    CompositeWidget composite = reinterpret_cast<CompositeWidget>(menu);
    std::vector<std::string> names;
    for (Cardinal i = 0; i < composite->composite.num_children; ++i)
      if (std::strcmp(XtName(composite->composite.children[i]), "menuLabel") != 0)
        names.push_back(XtName(composite->composite.children[i]));
    return names;
  }
  ProgramStateGuard program_state_;
};

TEST_F(NoteWindowTest, WidgetsEntriesAndFirstSensitivities) {
  Note* note = Make();
  CreateNoteWindow(note);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  EXPECT_STREQ(XtName(NoteShell(note)), "TackOnNote");
  EXPECT_EQ(XtNameToWidget(NoteShell(note), "Note.File"), NoteWidget(note, "File"));
  EXPECT_EQ(XtNameToWidget(NoteShell(note), "Note.Options"), NoteWidget(note, "Options"));
  EXPECT_EQ(XtNameToWidget(NoteShell(note), "Note.AlarmIcon"), NoteWidget(note, "AlarmIcon"));
  EXPECT_EQ(XtNameToWidget(NoteShell(note), "Note.NoteText"), NoteWidget(note, "NoteText"));
  EXPECT_EQ(LabelOf(NoteWidget(note, "Options")), "Notes");
  EXPECT_EQ(LabelOf(NoteWidget(note, "File")), "File");
  EXPECT_EQ(LabelOf(NoteWidget(note, "FileMenu")), "Menu");
  const char* file_entries[] = {"FileLine", "Save", "Open", "Export", "Print", "EmailNote"};
  const char* option_entries[] = {"OptionsLine", "Hide", "Erase", "Line", "Destroy", "Line", "Name",
                                  "Anchor", "UnAnchor", "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"};
  EXPECT_EQ(EntryNames(NoteWidget(note, "FileMenu")), std::vector<std::string>(std::begin(file_entries), std::end(file_entries)));
  EXPECT_EQ(EntryNames(NoteWidget(note, "OptionsMenu")),
            std::vector<std::string>(std::begin(option_entries), std::end(option_entries)));
  EXPECT_EQ(LabelOf(XtNameToWidget(NoteWidget(note, "FileMenu"), "EmailNote")), "Email...");
  EXPECT_EQ(LabelOf(XtNameToWidget(NoteWidget(note, "OptionsMenu"), "SetAlarm")), "Set Alarm...");
  EXPECT_EQ(LabelOf(XtNameToWidget(NoteWidget(note, "OptionsMenu"), "InsertDate")), "Insert Date...");

  EXPECT_FALSE(Sensitive(NoteWidget(note, "Save")));
  EXPECT_TRUE(Sensitive(NoteWidget(note, "Anchor")));
  EXPECT_FALSE(Sensitive(NoteWidget(note, "UnAnchor")));
  EXPECT_TRUE(Sensitive(NoteWidget(note, "SetAlarm")));
  EXPECT_FALSE(Sensitive(NoteWidget(note, "UnsetAlarm")));

  // The Notes button is 15 pixels wider than the toolkit made it.
  Widget probe = XtCreateWidget("Options", XtClass(NoteWidget(note, "Options")), XtParent(NoteWidget(note, "Options")), nullptr, 0);
  Arg args[2];
  XtSetArg(args[0], XtNlabel, "Notes");
  XtSetArg(args[1], XtNborderWidth, 0);
  XtSetValues(probe, args, 2);
  EXPECT_EQ(NoteWidget(note, "Options")->core.width, probe->core.width + 15);
  XtDestroyWidget(probe);
}

TEST_F(NoteWindowTest, LoadedFlagsGiveTheirSensitivitiesAndBitmap) {
  Note* note = Make(true);
  note->anchored = true;
  note->alarm.set = true;
  note->hidden = true;
  CreateNoteWindow(note);
  Pump();
  EXPECT_EQ(NoteShell(note), nullptr) << "a hidden note has no widgets until it is shown";
  WindowOf(note)->Show();
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  EXPECT_FALSE(note->hidden);
  EXPECT_FALSE(Sensitive(NoteWidget(note, "Anchor")));
  EXPECT_TRUE(Sensitive(NoteWidget(note, "UnAnchor")));
  EXPECT_FALSE(Sensitive(NoteWidget(note, "SetAlarm")));
  EXPECT_TRUE(Sensitive(NoteWidget(note, "UnsetAlarm")));
  Pixmap bitmap = None;
  Arg args[1];
  XtSetArg(args[0], XtNbitmap, &bitmap);
  XtGetValues(NoteWidget(note, "AlarmIcon"), args, 1);
  EXPECT_EQ(bitmap, ClockBitmap());

  program.res.noAlarm = True;
  Note* quiet = Make();
  quiet->alarm.set = true;
  CreateNoteWindow(quiet);
  EXPECT_FALSE(Sensitive(NoteWidget(quiet, "SetAlarm")));
  EXPECT_FALSE(Sensitive(NoteWidget(quiet, "UnsetAlarm")));
  XtGetValues(NoteWidget(quiet, "AlarmIcon"), args, 1);
  EXPECT_EQ(bitmap, ClockBitmap()) << "the icon still shows the alarm";
}

TEST_F(NoteWindowTest, StoredGeometryIsRequested) {
  Note* note = Make(true);
  CreateNoteWindow(note);
  String geometry = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNgeometry, &geometry);
  XtGetValues(NoteShell(note), args, 1);
  ASSERT_NE(geometry, nullptr);
  EXPECT_STREQ(geometry, "300x200+10+20");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  XWindowAttributes attrs;
  XGetWindowAttributes(program.display, XtWindow(NoteShell(note)), &attrs);
  EXPECT_EQ(attrs.width, 300);
  EXPECT_EQ(attrs.height, 200);
  EXPECT_EQ(note->x, 10);
  EXPECT_EQ(note->y, 20);
}

TEST_F(NoteWindowTest, EditsMarkTheNoteChanged) {
  Note* note = Make();
  CreateNoteWindow(note);
  EXPECT_FALSE(note->changed());
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view("abc", 3)));
  EXPECT_TRUE(note->changed());
  EXPECT_TRUE(Sensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(NoteText(note), "abc");
  EXPECT_STREQ(Buffer(note), "abc");
  note->MarkSaved();
  EXPECT_FALSE(Sensitive(NoteWidget(note, "Save")));
  // The program's own changes go through the note's flag too.
  note->MarkChanged();
  EXPECT_TRUE(Sensitive(NoteWidget(note, "Save")));
  // Once the display is gone the flag still changes, and no widget is
  // touched.
  WindowOf(note)->DisplayGone();
  note->MarkSaved();
  EXPECT_FALSE(note->changed());
  EXPECT_TRUE(Sensitive(NoteWidget(note, "Save")));
}

TEST_F(NoteWindowTest, TextGrowsInStepsOfTheBufferSize) {
  Note* note = Make();
  CreateNoteWindow(note);
  EXPECT_EQ(note->buffer_size, 64u);
  // Typed and pasted text comes in through the widget; the buffer grows in
  // steps of 64 as the text reaches its size, and never shrinks.
  struct Step {
    std::size_t added;
    std::size_t buffer_size;
  } steps[] = {{63, 64}, {1, 128}, {64, 192}, {1000, 1152}};
  std::size_t length = 0;
  for (const Step& s : steps) {
    std::string bytes(s.added, 'g');
    XawTextBlock block{0, static_cast<int>(bytes.size()), bytes.data(), XawFmt8Bit};
    ASSERT_EQ(XawTextReplace(NoteWidget(note, "NoteText"), 0, 0, &block), XawEditDone);
    length += s.added;
    EXPECT_EQ(WindowOf(note)->Length(), length);
    EXPECT_EQ(note->buffer_size, s.buffer_size) << length;
  }
  XawTextBlock none{0, 0, nullptr, XawFmt8Bit};
  XawTextReplace(NoteWidget(note, "NoteText"), 0, 500, &none);
  EXPECT_EQ(note->buffer_size, 1152u);
  EXPECT_EQ(NoteText(note), std::string(length - 500, 'g'));
  EXPECT_EQ(Shown(note), NoteText(note));
}

TEST_F(NoteWindowTest, EditPastTheCapIsRefusedWholeWithOnePopup) {
  Note* note = Make();
  CreateNoteWindow(note);
  EXPECT_EQ(WindowOf(note)->MaxLength(), kMaxTextLength);
  EXPECT_EQ(WindowOf(note)->Room(), kMaxTextLength);
  LimitNoteText(note, 63);
  std::string fits(60, 'a');
  ASSERT_TRUE(WindowOf(note)->Insert(0, std::string_view(fits.data(), fits.size())));
  EXPECT_EQ(WindowOf(note)->Room(), 3u);
  note->MarkSaved();

  // The program's own insertion and the widget's (a paste, a long key
  // repeat) are refused alike, as a whole; the window says why, once.
  EXPECT_FALSE(WindowOf(note)->Insert(10, std::string_view("1234", 4)));
  std::string big(500, 'x');
  XawTextBlock block{0, static_cast<int>(big.size()), big.data(), XawFmt8Bit};
  EXPECT_EQ(XawTextReplace(NoteWidget(note, "NoteText"), 5, 5, &block), XawEditError);
  EXPECT_TRUE(PumpUntil([] { return !PopupsNamed("ErrorShell").empty(); }));
  Pump();
  ASSERT_EQ(PopupsNamed("ErrorShell").size(), 1u);
  EXPECT_EQ(LabelOf(XtNameToWidget(PopupsNamed("ErrorShell")[0], "errorDialog")), TextTooLongMessage(note->name));
  EXPECT_EQ(NoteText(note), fits);
  EXPECT_EQ(Shown(note), fits);
  EXPECT_FALSE(note->changed());

  // Once the popup is dismissed, the next refusal shows it again.
  DestroyPopupsNamed("ErrorShell");
  EXPECT_FALSE(WindowOf(note)->Insert(0, std::string_view("1234", 4)));
  EXPECT_TRUE(PumpUntil([] { return PopupsNamed("ErrorShell").size() == 1; }));
  DestroyPopupsNamed("ErrorShell");

  // An edit that fits exactly still goes in whole.
  XawTextBlock three{0, 3, const_cast<char*>("xyz"), XawFmt8Bit};
  EXPECT_EQ(XawTextReplace(NoteWidget(note, "NoteText"), 0, 0, &three), XawEditDone);
  Pump();
  EXPECT_EQ(NoteText(note), "xyz" + fits);
  EXPECT_EQ(Shown(note), "xyz" + fits);
  EXPECT_TRUE(note->changed());
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

TEST_F(NoteWindowTest, RefusalOfADestroyedNoteShowsNothing) {
  // The popup comes after the edit; the note may be gone by then.
  Note* note = Make();
  CreateNoteWindow(note);
  LimitNoteText(note, 2);
  EXPECT_FALSE(WindowOf(note)->Insert(0, std::string_view("abc", 3)));
  XtDestroyWidget(NoteShell(note));
  Notes().RemoveNote(note);
  Pump();
  EXPECT_TRUE(PopupsNamed("ErrorShell").empty());
}

TEST_F(NoteWindowTest, TextInterface) {
  Note* note = Make();
  note->text = "loaded";
  CreateNoteWindow(note);
  NoteWindow* window = WindowOf(note);
  EXPECT_EQ(window->Text(), "loaded");
  EXPECT_EQ(Shown(note), "loaded");
  EXPECT_EQ(window->Length(), 6u);
  LimitNoteText(note, 63);
  EXPECT_EQ(window->Room(), 63u - 6u);

  // Replacing the whole text: as long as it is within the cap.
  struct Case {
    std::size_t length;
    bool fits;
  } cases[] = {{0, true}, {62, true}, {63, true}, {64, false}, {1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    window->SetText("before");
    std::string text(c.length, 't');
    EXPECT_EQ(window->SetText(text), c.fits);
    EXPECT_EQ(window->Text(), c.fits ? text : "before");
    EXPECT_EQ(Shown(note), window->Text());
    EXPECT_EQ(window->Length(), window->Text().size());
    EXPECT_FALSE(note->changed()) << "the program's own replacement is no edit";
  }

  // Inserting at the insertion point, up to exactly the room left.
  ASSERT_TRUE(window->SetText("0123456789"));
  window->SetInsertionPoint(4);
  EXPECT_EQ(window->InsertionPoint(), 4);
  ASSERT_TRUE(window->Insert(window->InsertionPoint(), "ab"));
  EXPECT_EQ(window->Text(), "0123ab456789");
  EXPECT_FALSE(window->Insert(0, std::string(window->Room() + 1, 'r')));
  EXPECT_EQ(window->Text(), "0123ab456789");
  EXPECT_TRUE(window->Insert(0, std::string(window->Room(), 'r')));
  EXPECT_EQ(window->Room(), 0u);
  EXPECT_EQ(window->Length(), 63u);
  EXPECT_TRUE(PumpUntil([] { return PopupsNamed("ErrorShell").size() == 1; })) << "the refusal was told";

  // The window holds the one copy of the text, the one a save writes: the
  // record handed its text over when the window was built.
  EXPECT_TRUE(note->text.empty());
  EXPECT_EQ(note->Text(), window->Text());
}

// In the C locale a note keeps bytes even when resources ask for the
// international mode (which would drop what the C locale cannot convert).
TEST_F(NoteWindowTest, TheCLocaleKeepsBytesWhateverResourcesSay) {
  if (Utf8Notes()) GTEST_SKIP() << "the C locale's behaviour";
  XrmDatabase database = XtDatabase(program.display);
  XrmPutLineResource(&database, "*NoteText.international: true");
  Note* note = Make();
  note->text = "K\xf6ln \xc3\xa9";
  CreateNoteWindow(note);
  XrmPutLineResource(&database, "*NoteText.international: false");
  Boolean international = True;
  Arg arg;
  XtSetArg(arg, XtNinternational, &international);
  XtGetValues(NoteWidget(note, "NoteText"), &arg, 1);
  EXPECT_FALSE(international);
  EXPECT_EQ(WindowOf(note)->Text(), "K\xf6ln \xc3\xa9");
}

}  // namespace
