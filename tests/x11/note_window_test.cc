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
#include "notes/note.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class NoteWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    saved_ = app_res;
    app_res.bufSize = 64;
  }
  void TearDown() override {
    ResetProgramState();
    app_res = saved_;
  }
  Note* Make(bool geometry = false) {
    Note* note = NewNote(-1);
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
  static std::string Shown(Note* note) {
    Widget src = XawTextGetSource(note->text_widget);
    XawTextPosition last = XawTextSourceScan(src, 0, XawstAll, XawsdRight, 1, True);
    std::string out;
    XawTextBlock block;
    for (XawTextPosition pos = 0; pos < last;) {
      pos = XawTextSourceRead(src, pos, &block, static_cast<int>(last - pos));
      if (block.length == 0) break;
      out.append(block.ptr, static_cast<std::size_t>(block.length));
    }
    return out;
  }
  // The entries of a menu, without the title entry the menu makes itself.
  static std::vector<std::string> EntryNames(Widget menu) {
    CompositeWidget composite = reinterpret_cast<CompositeWidget>(menu);
    std::vector<std::string> names;
    for (Cardinal i = 0; i < composite->composite.num_children; ++i)
      if (std::strcmp(XtName(composite->composite.children[i]), "menuLabel") != 0)
        names.push_back(XtName(composite->composite.children[i]));
    return names;
  }
  AppResources saved_;
};

TEST_F(NoteWindowTest, WidgetsEntriesAndFirstSensitivities) {
  Note* note = Make();
  CreateNoteWindow(note);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(note->shell); }));
  EXPECT_STREQ(XtName(note->shell), "TackOnNote");
  EXPECT_EQ(XtNameToWidget(note->shell, "Note.File"), note->file_button);
  EXPECT_EQ(XtNameToWidget(note->shell, "Note.Options"), note->options_button);
  EXPECT_EQ(XtNameToWidget(note->shell, "Note.AlarmIcon"), note->alarm_icon);
  EXPECT_EQ(XtNameToWidget(note->shell, "Note.NoteText"), note->text_widget);
  EXPECT_EQ(LabelOf(note->options_button), "Notes");
  EXPECT_EQ(LabelOf(note->file_button), "File");
  EXPECT_EQ(LabelOf(note->file_menu), "Menu");
  const char* file_entries[] = {"FileLine", "Save", "Open", "Export", "Print", "EmailNote"};
  const char* option_entries[] = {"OptionsLine", "Hide", "Erase", "Line", "Destroy", "Line", "Name",
                                  "Anchor", "UnAnchor", "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"};
  EXPECT_EQ(EntryNames(note->file_menu), std::vector<std::string>(std::begin(file_entries), std::end(file_entries)));
  EXPECT_EQ(EntryNames(note->options_menu),
            std::vector<std::string>(std::begin(option_entries), std::end(option_entries)));
  EXPECT_EQ(LabelOf(XtNameToWidget(note->file_menu, "EmailNote")), "Email...");
  EXPECT_EQ(LabelOf(XtNameToWidget(note->options_menu, "SetAlarm")), "Set Alarm...");
  EXPECT_EQ(LabelOf(XtNameToWidget(note->options_menu, "InsertDate")), "Insert Date...");

  EXPECT_FALSE(Sensitive(note->save_entry));
  EXPECT_TRUE(Sensitive(note->anchor_entry));
  EXPECT_FALSE(Sensitive(note->unanchor_entry));
  EXPECT_TRUE(Sensitive(note->set_alarm_entry));
  EXPECT_FALSE(Sensitive(note->unset_alarm_entry));

  // The Notes button is 15 pixels wider than the toolkit made it.
  Widget probe = XtCreateWidget("Options", XtClass(note->options_button), XtParent(note->options_button), nullptr, 0);
  Arg args[2];
  XtSetArg(args[0], XtNlabel, "Notes");
  XtSetArg(args[1], XtNborderWidth, 0);
  XtSetValues(probe, args, 2);
  EXPECT_EQ(note->options_button->core.width, probe->core.width + 15);
  XtDestroyWidget(probe);
}

TEST_F(NoteWindowTest, LoadedFlagsGiveTheirSensitivitiesAndBitmap) {
  Note* note = Make(true);
  note->anchored = true;
  note->alarm_set = true;
  note->hidden = true;
  CreateNoteWindow(note);
  Pump();
  EXPECT_TRUE(XtIsRealized(note->shell));
  EXPECT_FALSE(IsMapped(note->shell)) << "a hidden note is built but not shown";
  EXPECT_FALSE(Sensitive(note->anchor_entry));
  EXPECT_TRUE(Sensitive(note->unanchor_entry));
  EXPECT_FALSE(Sensitive(note->set_alarm_entry));
  EXPECT_TRUE(Sensitive(note->unset_alarm_entry));
  Pixmap bitmap = None;
  Arg args[1];
  XtSetArg(args[0], XtNbitmap, &bitmap);
  XtGetValues(note->alarm_icon, args, 1);
  EXPECT_EQ(bitmap, ClockBitmap());

  app_res.noAlarm = True;
  Note* quiet = Make();
  quiet->alarm_set = true;
  CreateNoteWindow(quiet);
  EXPECT_FALSE(Sensitive(quiet->set_alarm_entry));
  EXPECT_FALSE(Sensitive(quiet->unset_alarm_entry));
  XtGetValues(quiet->alarm_icon, args, 1);
  EXPECT_EQ(bitmap, ClockBitmap()) << "the icon still shows the alarm";
}

TEST_F(NoteWindowTest, StoredGeometryIsRequested) {
  Note* note = Make(true);
  CreateNoteWindow(note);
  String geometry = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNgeometry, &geometry);
  XtGetValues(note->shell, args, 1);
  ASSERT_NE(geometry, nullptr);
  EXPECT_STREQ(geometry, "300x200+10+20");
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(note->shell); }));
  XWindowAttributes attrs;
  XGetWindowAttributes(display, XtWindow(note->shell), &attrs);
  EXPECT_EQ(attrs.width, 300);
  EXPECT_EQ(attrs.height, 200);
  EXPECT_EQ(note->x, 10);
  EXPECT_EQ(note->y, 20);
}

TEST_F(NoteWindowTest, EditsMarkTheNoteChanged) {
  Note* note = Make();
  CreateNoteWindow(note);
  EXPECT_FALSE(note->changed);
  ASSERT_TRUE(InsertNoteText(note, 0, "abc", 3));
  EXPECT_TRUE(note->changed);
  EXPECT_TRUE(Sensitive(note->save_entry));
  EXPECT_STREQ(note->text.get(), "abc");
  MarkNoteSaved(note);
  EXPECT_FALSE(Sensitive(note->save_entry));
}

TEST_F(NoteWindowTest, TextNeverOutgrowsTheBuffer) {
  Note* note = Make();
  CreateNoteWindow(note);
  std::string fits(60, 'a');
  ASSERT_TRUE(InsertNoteText(note, 0, fits.data(), fits.size()));
  EXPECT_EQ(NoteTextRoom(note), 3u);
  MarkNoteSaved(note);

  // The program checks before it inserts.
  EXPECT_FALSE(InsertNoteText(note, 10, "12345", 5));
  EXPECT_EQ(std::string(note->text.get()), fits);
  EXPECT_FALSE(note->changed);

  // The widget itself takes a long replace; the edit is undone as a whole.
  std::string big(500, 'x');
  XawTextBlock block{0, static_cast<int>(big.size()), big.data(), XawFmt8Bit};
  XawTextReplace(note->text_widget, 5, 5, &block);
  Pump();
  EXPECT_EQ(std::string(note->text.get()), fits);
  EXPECT_EQ(note->text[note->buffer_size - 1], '\0');
  EXPECT_EQ(Shown(note), fits) << "the window shows what the buffer holds";
  EXPECT_FALSE(note->changed);
  EXPECT_EQ(note->buffer_size, 64);

  // An edit that fits exactly still goes in whole.
  XawTextBlock three{0, 3, const_cast<char*>("xyz"), XawFmt8Bit};
  XawTextReplace(note->text_widget, 0, 0, &three);
  Pump();
  EXPECT_EQ(std::string(note->text.get()), "xyz" + fits);
  EXPECT_EQ(Shown(note), "xyz" + fits);
  EXPECT_TRUE(note->changed);
}

}  // namespace
