// Alarms against a real X server: the Alarms Setup dialog, arming and
// disarming a note, and the "Stikkel Alarm" reminders of a check.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/CompositeP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "local_time.h"
#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"
#include "tools/alarms.h"
#include "x11_util.h"

namespace {

void Collect(Widget w, const std::string& name, std::vector<Widget>* out) {
  if (name == XtName(w)) out->push_back(w);
  if (!XtIsComposite(w)) return;
  auto composite = reinterpret_cast<CompositeWidget>(w);
  for (Cardinal i = 0; i < composite->composite.num_children; ++i)
    Collect(composite->composite.children[i], name, out);
}

// Every descendant of w (w included) with this name, in creation order.
std::vector<Widget> Named(Widget w, const std::string& name) {
  std::vector<Widget> out;
  Collect(w, name, &out);
  return out;
}

std::vector<std::string> Labels(const std::vector<Widget>& widgets) {
  std::vector<std::string> out;
  for (Widget w : widgets) out.push_back(LabelOf(w));
  return out;
}

template <typename T>
T Get(Widget w, String resource) {
  T value{};
  Arg arg;
  XtSetArg(arg, resource, &value);
  XtGetValues(w, &arg, 1);
  return value;
}

std::string TitleOf(Widget shell) {
  String title = Get<String>(shell, XtNtitle);
  return title ? title : "";
}



class AlarmsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetAlarmChecks();
    program.res.noAlarm = False;
    WarpPointer(300, 200);
  }
  void TearDown() override {
    DestroyPopupsNamed("TimerShell");
    DestroyPopupsNamed("AlarmShell");
    ResetAlarmChecks();
  }

  // A note with a window, created at `created` (its alarm fields hold it).
  Note* MakeNote(std::time_t created, const std::string& name = "", bool hidden = false) {
    Note* note = Notes().NewNote(-1, created);
    if (!name.empty()) note->name = name;
    note->width = 227;
    note->height = 169;
    note->hidden = hidden;
    CreateNoteWindow(note);
    Pump();
    return note;
  }

  static Widget Shell() {
    std::vector<Widget> shells = PopupsNamed("TimerShell");
    return shells.size() == 1 ? shells[0] : nullptr;
  }
  static std::vector<std::string> Values() { return Labels(Named(Shell(), "TimerText")); }
  // The "<" (up false) or ">" arrow of a row.
  static Widget Arrow(int row, bool up) { return Named(Shell(), "TimerArrow")[row * 2 + (up ? 1 : 0)]; }
  static Widget Button(const std::string& label) {
    for (Widget w : Named(Shell(), "TimerButtons"))
      if (LabelOf(w) == label) return w;
    return nullptr;
  }

 private:
  ProgramStateGuard program_state_;
};

TEST_F(AlarmsTest, DialogShowsTheNextWholeMinuteInEvenRowsAtThePointer) {
  Note* note = MakeNote(LocalTime(2024, 6, 14, 9, 5));
  std::time_t before = std::time(nullptr);
  XtCallCallbacks(NoteWidget(note, "SetAlarm"), XtNcallback, nullptr);
  std::time_t after = std::time(nullptr);
  Widget shell = Shell();
  ASSERT_NE(shell, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  EXPECT_EQ(TitleOf(shell), "Alarms Setup");
  EXPECT_EQ(Get<Position>(shell, XtNx), 300);
  EXPECT_EQ(Get<Position>(shell, XtNy), 200);

  EXPECT_EQ(Named(shell, "TimerForm").size(), 5u);
  EXPECT_EQ(Named(shell, "TimerBox").size(), 5u);
  EXPECT_EQ(Labels(Named(shell, "TimerLabel")), (std::vector<std::string>{"Month", "Day", "Hour", "Minute"}));
  EXPECT_EQ(Labels(Named(shell, "TimerArrow")),
            (std::vector<std::string>{"<", ">", "<", ">", "<", ">", "<", ">"}));
  // Not the note's creation time: the next whole minute from now.
  std::vector<std::vector<std::string>> next;
  for (std::time_t t : {before, after}) {
    std::tm local{};
    std::time_t minute = t - t % 60 + 60;
    localtime_r(&minute, &local);
    next.push_back({std::to_string(local.tm_mon + 1), std::to_string(local.tm_mday), std::to_string(local.tm_hour),
                    std::to_string(local.tm_min)});
  }
  EXPECT_TRUE(Values() == next[0] || Values() == next[1]);
  EXPECT_EQ(Labels(Named(shell, "TimerButtons")), (std::vector<std::string>{"Accept", "Cancel"}));

  // One height for every part of every row, one width for the labels and
  // one for the values.
  std::set<Dimension> heights, label_widths, value_widths;
  for (const char* name : {"TimerLabel", "TimerArrow", "TimerText"})
    for (Widget w : Named(shell, name)) heights.insert(Get<Dimension>(w, XtNheight));
  for (Widget w : Named(shell, "TimerLabel")) label_widths.insert(Get<Dimension>(w, XtNwidth));
  for (Widget w : Named(shell, "TimerText")) value_widths.insert(Get<Dimension>(w, XtNwidth));
  EXPECT_EQ(heights.size(), 1u);
  EXPECT_EQ(label_widths.size(), 1u);
  EXPECT_EQ(value_widths.size(), 1u);
  // Two digits fit, whatever the values shown at first.
  OpenAlarmSetupAt(note, LocalTime(2024, 1, 1, 0, 0, 30));
  EXPECT_EQ(Values(), (std::vector<std::string>{"1", "1", "0", "1"}));
  Widget minute = Named(Shell(), "TimerText")[3];
  Press(Arrow(0, false));  // 12
  Press(Arrow(3, false));
  Press(Arrow(3, false));  // 59
  EXPECT_EQ(Values(), (std::vector<std::string>{"12", "1", "0", "59"}));
  // The width the label asks for to show "59" whole.
  XtWidgetGeometry wanted{};
  XtQueryGeometry(minute, nullptr, &wanted);
  for (Widget value : Named(Shell(), "TimerText")) EXPECT_GE(Get<Dimension>(value, XtNwidth), wanted.width);
}

TEST_F(AlarmsTest, ArrowsStepAndDayKeepsItsValueWhenTheMonthChanges) {
  Note* note = MakeNote(LocalTime(2024, 1, 31, 23, 0));
  OpenAlarmSetupAt(note, LocalTime(2024, 1, 31, 22, 59, 30));
  ASSERT_NE(Shell(), nullptr);
  Press(Arrow(0, true));  // January -> February
  EXPECT_EQ(Values(), (std::vector<std::string>{"2", "31", "23", "0"}));
  Press(Arrow(1, false));  // 31 is past February: "<" gives 30
  EXPECT_EQ(Values()[1], "30");
  Press(Arrow(1, true));  // at or past 29: ">" wraps to 1
  EXPECT_EQ(Values()[1], "1");
  Press(Arrow(1, false));
  EXPECT_EQ(Values()[1], "29");
  Press(Arrow(2, true));
  Press(Arrow(3, false));
  Press(Arrow(0, false));
  Press(Arrow(0, false));
  Press(Arrow(0, false));
  EXPECT_EQ(Values(), (std::vector<std::string>{"11", "29", "0", "59"}));
  // Cancel changes nothing.
  Press(Button("Cancel"));
  Pump();
  EXPECT_EQ(Shell(), nullptr);
  EXPECT_EQ(PopupNamed("TimerShell"), nullptr);
  EXPECT_FALSE(note->alarm.set);
  EXPECT_EQ(note->alarm.month, 0);
  EXPECT_EQ(note->alarm.day, 31);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
}

TEST_F(AlarmsTest, AcceptArmsDisarmKeepsTheValues) {
  Note* note = MakeNote(LocalTime(2024, 12, 3, 8, 15));
  EXPECT_EQ(Get<Pixmap>(NoteWidget(note, "AlarmIcon"), XtNbitmap), BlankBitmap());
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "SetAlarm")));
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "UnsetAlarm")));

  OpenAlarmSetupAt(note, LocalTime(2024, 12, 3, 8, 14));
  Press(Arrow(0, true));  // December -> January
  Press(Arrow(2, true));
  EXPECT_EQ(Values(), (std::vector<std::string>{"1", "3", "9", "15"}));
  Press(Button("Accept"));
  Pump();
  EXPECT_EQ(Shell(), nullptr);
  EXPECT_TRUE(note->alarm.set);
  EXPECT_EQ(note->alarm.month, 0);
  EXPECT_EQ(note->alarm.day, 3);
  EXPECT_EQ(note->alarm.hour, 9);
  EXPECT_EQ(note->alarm.minute, 15);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "SetAlarm")));
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "UnsetAlarm")));
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(Get<Pixmap>(NoteWidget(note, "AlarmIcon"), XtNbitmap), ClockBitmap());
  EXPECT_EQ(LabelOf(NoteWidget(note, "AlarmIcon")), " ");

  note->MarkSaved();
  XtCallCallbacks(NoteWidget(note, "UnsetAlarm"), XtNcallback, nullptr);
  EXPECT_FALSE(note->alarm.set);
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "SetAlarm")));
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "UnsetAlarm")));
  EXPECT_TRUE(XtIsSensitive(NoteWidget(note, "Save")));
  EXPECT_EQ(Get<Pixmap>(NoteWidget(note, "AlarmIcon"), XtNbitmap), BlankBitmap());

  // The values stay in the note; the dialog starts at the next minute.
  EXPECT_EQ(std::vector<int>({note->alarm.month, note->alarm.day, note->alarm.hour, note->alarm.minute}),
            std::vector<int>({0, 3, 9, 15}));
  OpenAlarmSetupAt(note, LocalTime(2024, 12, 3, 8, 20));
  EXPECT_EQ(Values(), (std::vector<std::string>{"12", "3", "8", "21"}));
}

TEST_F(AlarmsTest, AcceptStoresWhatIsShownUnchecked) {
  // 31 January stepped to February: the day is not adjusted.
  Note* note = MakeNote(LocalTime(2024, 1, 31, 12, 0));
  OpenAlarmSetupAt(note, LocalTime(2024, 1, 31, 11, 59));
  Press(Arrow(0, true));
  Press(Button("Accept"));
  EXPECT_EQ(note->alarm.month, 1);
  EXPECT_EQ(note->alarm.day, 31);
}

TEST_F(AlarmsTest, MenuEntriesLookTheNoteUp) {
  Note* note = MakeNote(LocalTime(2024, 6, 14, 9, 5));
  auto pick = [note](const char* entry) { XtCallCallbacks(NoteWidget(note, entry), XtNcallback, nullptr); };
  WindowOf(note)->BuildMenusOnce();  // the entries are made with the id the note has now
  note->id += 1000;  // the entries' id now names no note
  pick("SetAlarm");
  pick("UnsetAlarm");
  note->id -= 1000;
  Pump();
  EXPECT_EQ(Shell(), nullptr);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(note, "Save")));
  pick("SetAlarm");
  EXPECT_NE(Shell(), nullptr);
  // A second dialog replaces the first: only one exists at a time.
  pick("SetAlarm");
  Pump();
  EXPECT_EQ(PopupsNamed("TimerShell").size(), 1u);
}

TEST_F(AlarmsTest, WindowCloseCancelsTheDialogAndDismissesAReminder) {
  std::time_t now = LocalTime(2024, 6, 14, 9, 5, 30);
  Note* note = MakeNote(now);
  OpenAlarmSetup(note);
  Press(Arrow(3, true));
  ASSERT_TRUE(PumpUntil([&] { return Shell() && IsMapped(Shell()); }));
  SendWindowManagerClose(Shell());
  ASSERT_TRUE(PumpUntil([&] { return Shell() == nullptr; }));
  EXPECT_FALSE(note->alarm.set);
  EXPECT_EQ(note->alarm.minute, 5);

  note->alarm.set = true;
  CheckAlarmsAt(now);
  ASSERT_EQ(PopupsNamed("AlarmShell").size(), 1u);
  Widget reminder = PopupsNamed("AlarmShell")[0];
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(reminder); }));
  SendWindowManagerClose(reminder);
  EXPECT_TRUE(PumpUntil([&] { return PopupsNamed("AlarmShell").empty(); }));
}

TEST_F(AlarmsTest, DialogClosesWithItsNote) {
  Note* note = MakeNote(LocalTime(2024, 6, 14, 9, 5));
  OpenAlarmSetup(note);
  ASSERT_NE(Shell(), nullptr);
  XtDestroyWidget(NoteShell(note));
  note->view.reset();
  Pump();
  EXPECT_EQ(Shell(), nullptr);
  EXPECT_EQ(PopupNamed("TimerShell"), nullptr);
}

TEST_F(AlarmsTest, DueAlarmsPopUpRemindersOncePerMinuteHiddenNotesToo) {
  std::time_t now = LocalTime(2024, 6, 14, 9, 5, 10);
  Note* due = MakeNote(now, "Groceries");
  Note* hidden = MakeNote(now, "Hidden one", true);
  Note* unarmed = MakeNote(now, "Not armed");
  Note* later = MakeNote(now + 120, "Later");
  due->alarm.set = hidden->alarm.set = later->alarm.set = true;
  unarmed->alarm.set = false;

  WarpPointer(420, 310);
  CheckAlarmsAt(now);
  std::vector<Widget> reminders = PopupsNamed("AlarmShell");
  ASSERT_EQ(reminders.size(), 2u);
  std::vector<std::string> texts;
  for (Widget shell : reminders) {
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
    EXPECT_EQ(TitleOf(shell), "Stikkel Alarm");
    EXPECT_EQ(Get<Position>(shell, XtNx), 420);
    EXPECT_EQ(Get<Position>(shell, XtNy), 310);
    Widget dialog = XtNameToWidget(shell, "alarmDialog");
    ASSERT_NE(dialog, nullptr);
    texts.push_back(LabelOf(dialog));
    Widget ok = XtNameToWidget(dialog, "alarmconfirm");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(LabelOf(ok), "OK");
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "The alarm has expired for the TackOn Note\nwith the following name:\n\"Groceries\"",
                       "The alarm has expired for the TackOn Note\nwith the following name:\n\"Hidden one\""}));
  // Firing does not disarm, and nothing changed.
  EXPECT_TRUE(due->alarm.set);
  EXPECT_FALSE(XtIsSensitive(NoteWidget(due, "Save")));

  // Later in the same minute: nothing new.
  CheckAlarmsAt(now + 45);
  EXPECT_EQ(PopupsNamed("AlarmShell").size(), 2u);
  // OK dismisses one reminder.
  Press(XtNameToWidget(reminders[0], "alarmDialog.alarmconfirm"));
  Pump();
  EXPECT_EQ(PopupsNamed("AlarmShell").size(), 1u);
  DestroyPopupsNamed("AlarmShell");

  // A check that comes three minutes late still fires the one jumped over.
  CheckAlarmsAt(now + 200);
  reminders = PopupsNamed("AlarmShell");
  ASSERT_EQ(reminders.size(), 1u);
  EXPECT_EQ(LabelOf(XtNameToWidget(reminders[0], "alarmDialog")),
            "The alarm has expired for the TackOn Note\nwith the following name:\n\"Later\"");
}

TEST_F(AlarmsTest, ReminderForAVeryLongName) {
  std::time_t now = LocalTime(2024, 6, 14, 9, 5, 10);
  std::string name(3000, 'x');
  Note* note = MakeNote(now, name);
  note->alarm.set = true;
  CheckAlarmsAt(now);
  ASSERT_EQ(PopupsNamed("AlarmShell").size(), 1u);
  EXPECT_EQ(LabelOf(XtNameToWidget(PopupsNamed("AlarmShell")[0], "alarmDialog")),
            "The alarm has expired for the TackOn Note\nwith the following name:\n\"" + name + "\"");
}

}  // namespace
