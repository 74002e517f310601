#include "tools/alarms.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Box.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Dialog.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/TextP.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "app/app.h"
#include "app/client_data.h"
#include "app/form_args.h"
#include "app/locale.h"
#include "app/popups.h"
#include "app/timer_fd.h"
#include "model/note_list.h"
#include "model/utf8.h"
#include "notes/XftSink.h"
#include "notes/note_window.h"
#include "tools/alarm_rules.h"

namespace ar = alarm_rules;

namespace {

// The one Alarms Setup dialog, while it is open.
struct SetupDialog {
  Widget shell = nullptr;
  Widget values[ar::kRowCount] = {};
  Note* note = nullptr;
} setup;

ar::DueChecker due_checker;

void NoteShellGone(Widget w, XtPointer client_data, XtPointer call_data);

// Drops the dialog's state, and the hook on its note's shell.
void ForgetSetup() {
  if (setup.note && WindowOf(setup.note))
    XtRemoveCallback(WindowOf(setup.note)->shell(), XtNdestroyCallback, NoteShellGone, setup.note);
  setup = SetupDialog{};
}

void CloseSetup() {
  Widget shell = setup.shell;
  ForgetSetup();
  if (shell) DestroyPopup(shell);
}

void SetupShellGone(Widget w, XtPointer, XtPointer) {
  if (setup.shell == w) ForgetSetup();
}

// The dialog never outlives the note it was opened for.
void NoteShellGone(Widget, XtPointer client_data, XtPointer) {
  if (setup.note != client_data) return;
  setup.note = nullptr;  // its shell's callbacks go with it
  CloseSetup();
}

int ShownValue(Widget value_label) {
  String label = nullptr;
  Arg arg;
  XtSetArg(arg, XtNlabel, &label);
  XtGetValues(value_label, &arg, 1);
  return ar::ParseShownValue(label);
}

void SetShownValue(Widget value_label, int value) {
  std::string text = std::to_string(value);
  Arg arg;
  XtSetArg(arg, XtNlabel, text.c_str());
  XtSetValues(value_label, &arg, 1);
}

Dimension DimensionOf(Widget w, String resource) {
  Dimension value = 0;
  Arg arg;
  XtSetArg(arg, resource, &value);
  XtGetValues(w, &arg, 1);
  return value;
}

void SetDimension(Widget w, String resource, Dimension value) {
  Arg arg;
  XtSetArg(arg, resource, value);
  XtSetValues(w, &arg, 1);
}

void Step(XtPointer client_data, bool up) {
  int row = IntOfClientData(client_data);
  if (row < 0 || row >= ar::kRowCount || !setup.values[row]) return;
  int value = ShownValue(setup.values[row]);
  int month = row == ar::kDayRow ? ShownValue(setup.values[ar::kMonthRow]) : 0;
  SetShownValue(setup.values[row], up ? ar::StepUp(row, value, month) : ar::StepDown(row, value, month));
}

// The "<" and ">" arrows (client data: the row, 0..3).
void StepAlarmUp(Widget, XtPointer client_data, XtPointer) { Step(client_data, true); }

void StepAlarmDown(Widget, XtPointer client_data, XtPointer) { Step(client_data, false); }

// Accept (client data: the note).
void AcceptAlarm(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (!setup.shell || setup.note != note) {
    CloseSetup();
    return;
  }
  note->alarm.month = ShownValue(setup.values[ar::kMonthRow]) - 1;
  note->alarm.day = ShownValue(setup.values[ar::kDayRow]);
  note->alarm.hour = ShownValue(setup.values[ar::kHourRow]);
  note->alarm.minute = ShownValue(setup.values[ar::kMinuteRow]);
  note->alarm.set = true;
  NoteWindow* window = WindowOf(note);
  window->ShowAlarm();
  note->MarkChanged();
  CloseSetup();
  // An alarm for the minute now running fires at once.
  if (!program.res.noAlarm) {
    due_checker.Forget(note->id);
    CheckAlarmsAt(std::time(nullptr));
  }
}

void CancelAlarm(Widget, XtPointer, XtPointer) { CloseSetup(); }

// The OK button of a reminder (client data: the reminder's shell).
void DismissAlarm(Widget, XtPointer client_data, XtPointer) { DestroyPopup(static_cast<Widget>(client_data)); }

// Margins of the value labels; Athena's Label has no resources of these
// names, but other Label implementations do.
char kLeftMargin[] = "leftMargin";
char kRightMargin[] = "rightMargin";

// The widgets of one row that share the row's height.
struct RowWidgets {
  Widget label;
  Widget down;
  Widget value;
  Widget up;
};

// Arrow buttons and the value label of one row, in the row's inner form.
RowWidgets MakeRow(Widget form, Widget label, int row, int shown) {
  RowWidgets r{label, nullptr, nullptr, nullptr};
  XtCallbackRec down_cb[] = {{StepAlarmDown, IntClientData(row)}, {nullptr, nullptr}};
  Arg args[16];
  Cardinal n = 0;
  XtSetArg(args[n], XtNcallback, down_cb); n++;
  XtSetArg(args[n], XtNlabel, "<"); n++;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNfromHoriz, label); n++;
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  r.down = XtCreateManagedWidget("TimerArrow", commandWidgetClass, form, args, n);

  std::string text = std::to_string(shown);
  n = 0;
  XtSetArg(args[n], XtNlabel, text.c_str()); n++;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNfromHoriz, r.down); n++;
  XtSetArg(args[n], kLeftMargin, 6); n++;
  XtSetArg(args[n], kRightMargin, 6); n++;
  r.value = XtCreateManagedWidget("TimerText", labelWidgetClass, form, args, n);

  XtCallbackRec up_cb[] = {{StepAlarmUp, IntClientData(row)}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, up_cb); n++;
  XtSetArg(args[n], XtNheight, DimensionOf(r.down, XtNheight)); n++;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  XtSetArg(args[n], XtNlabel, ">"); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNfromHoriz, r.value); n++;
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  r.up = XtCreateManagedWidget("TimerArrow", commandWidgetClass, form, args, n);
  return r;
}

// The width a value label takes to show two digits, the most a value has:
// measured on the label itself, which is then given its value back.
Dimension TwoDigitWidth(Widget value) {
  const int shown = ShownValue(value);
  Dimension widest = 0;
  for (int digits : {0, 88}) {
    SetShownValue(value, digits);
    widest = std::max(widest, DimensionOf(value, XtNwidth));
  }
  SetShownValue(value, shown);
  return widest;
}

// Labels every row with the same width, and every part of every row with
// the height of the Month value; every value is wide enough for two digits.
void EvenOut(RowWidgets (&rows)[ar::kRowCount]) {
  Dimension height = DimensionOf(rows[ar::kMonthRow].value, XtNheight);
  Dimension width = TwoDigitWidth(rows[ar::kMinuteRow].value);
  for (const RowWidgets& r : rows) SetDimension(r.value, XtNwidth, width);
  for (const RowWidgets& r : rows)
    for (Widget w : {r.value, r.down, r.up, r.label}) SetDimension(w, XtNheight, height);
}

}  // namespace

void OpenAlarmSetup(Note* note) { OpenAlarmSetupAt(note, std::time(nullptr)); }

void OpenAlarmSetupAt(Note* note, std::time_t now) {
  CloseSetup();
  setup.shell = CreateDialogShell("TimerShell", "Alarms Setup", PointerPosition());
  XtAddCallback(setup.shell, XtNdestroyCallback, SetupShellGone, nullptr);
  setup.note = note;
  if (WindowOf(note)) XtAddCallback(WindowOf(note)->shell(), XtNdestroyCallback, NoteShellGone, note);

  Arg args[16];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget outer = XtCreateManagedWidget("TimerForm", formWidgetClass, setup.shell, args, 1);

  Widget boxes[5];
  for (int i = 0; i < 5; ++i) {
    n = 0;
    XtSetArg(args[n], XtNborderWidth, 0); n++;
    n = AddFlushTopLeft(args, n);
    XtSetArg(args[n], XtNorientation, XtorientHorizontal); n++;
    XtSetArg(args[n], XtNvSpace, 2); n++;
    XtSetArg(args[n], XtNhSpace, 2); n++;
    if (i > 0) { XtSetArg(args[n], XtNfromVert, boxes[i - 1]); n++; }
    boxes[i] = XtCreateManagedWidget("TimerBox", boxWidgetClass, outer, args, n);
  }

  static const char* const kRowNames[ar::kRowCount] = {"Month", "Day", "Hour", "Minute"};
  Widget forms[ar::kRowCount];
  Widget labels[ar::kRowCount];
  for (int row = 0; row < ar::kRowCount; ++row) {
    XtSetArg(args[0], XtNborderWidth, 0);
    forms[row] = XtCreateManagedWidget("TimerForm", formWidgetClass, boxes[row], args, 1);
    n = 0;
    XtSetArg(args[n], XtNborderWidth, 0); n++;
    n = AddFixedTopLeft(args, n);
    XtSetArg(args[n], XtNlabel, kRowNames[row]); n++;
    labels[row] = XtCreateManagedWidget("TimerLabel", labelWidgetClass, forms[row], args, n);
  }
  Dimension label_width = DimensionOf(labels[ar::kMinuteRow], XtNwidth);
  for (Widget label : labels) {
    XtSetArg(args[0], XtNwidth, label_width);
    XtSetArg(args[1], XtNjustify, XtJustifyCenter);
    XtSetValues(label, args, 2);
  }

  // The dialog starts at the next whole minute from now.
  const Alarm alarm = AlarmAt(ar::NextWholeMinute(now));
  const int shown[ar::kRowCount] = {alarm.month + 1, alarm.day, alarm.hour, alarm.minute};
  RowWidgets rows[ar::kRowCount];
  for (int row = 0; row < ar::kRowCount; ++row) {
    rows[row] = MakeRow(forms[row], labels[row], row, shown[row]);
    setup.values[row] = rows[row].value;
  }
  EvenOut(rows);

  XtCallbackRec accept_cb[] = {{AcceptAlarm, note}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNlabel, "Accept");
  XtSetArg(args[1], XtNcallback, accept_cb);
  XtCreateManagedWidget("TimerButtons", commandWidgetClass, boxes[4], args, 2);
  XtCallbackRec cancel_cb[] = {{CancelAlarm, note}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNlabel, "Cancel");
  XtSetArg(args[1], XtNcallback, cancel_cb);
  XtCreateManagedWidget("TimerButtons", commandWidgetClass, boxes[4], args, 2);

  PopUpDialog(setup.shell, CancelAlarm, note, XtGrabNonexclusive);
}

void ClearAlarm(Note* note) {
  note->alarm.set = false;
  NoteWindow* window = WindowOf(note);
  window->ShowAlarm();
  note->MarkChanged();
}

namespace {

// The size of a text widget that shows all of its text, at most as wide as
// the screen.
void FitToText(Widget text) {
  TextWidget ctx = reinterpret_cast<TextWidget>(text);
  Widget source = ctx->text.source;
  Widget sink = ctx->text.sink;
  XawTextPosition last = XawTextSourceScan(source, 0, XawstAll, XawsdRight, 1, True);
  int widest = 0;
  int lines = 0;
  for (XawTextPosition pos = 0;;) {
    XawTextPosition end = XawTextSourceScan(source, pos, XawstEOL, XawsdRight, 1, False);
    int width = 0, height = 0;
    XawTextPosition reached = 0;
    XawTextSinkFindDistance(sink, pos, ctx->text.left_margin, end, &width, &reached, &height);
    widest = std::max(widest, width);
    ++lines;
    if (end >= last) break;
    pos = end + 1;
  }
  int width = std::min(HMargins(ctx) + widest + 1, WidthOfScreen(XtScreen(text)));
  Arg args[2];
  XtSetArg(args[0], XtNwidth, static_cast<Dimension>(width));
  XtSetArg(args[1], XtNheight, static_cast<Dimension>(VMargins(ctx) + XawTextSinkMaxHeight(sink, lines)));
  XtSetValues(text, args, 2);
}

// In a UTF-8 locale the message is drawn with Xft (emoji in colour, every
// script at one size) by a read-only text widget, "message", in the place
// of the Dialog's label, which keeps the message but is not shown. Null
// when the core fonts draw the message (the label shows it then).
Widget XftMessage(Widget dialog, const std::string& message) {
  Widget label = XtNameToWidget(dialog, "label");
  if (!Utf8Notes() || !label) return nullptr;
  Pixel foreground = 0, background = 0;
  Arg args[8];
  Cardinal n = 0;
  XtSetArg(args[n], XtNforeground, &foreground); n++;
  XtSetArg(args[n], XtNbackground, &background); n++;
  XtGetValues(label, args, n);
  n = 0;
  XtSetArg(args[n], XtNinternational, True); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNdisplayCaret, False); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNbackground, background); n++;
  XtSetArg(args[n], XtNwrap, XawtextWrapNever); n++;
  Widget text = XtCreateWidget("message", asciiTextWidgetClass, dialog, args, n);
  if (!XftSinkInstall(text)) {
    XtDestroyWidget(text);
    return nullptr;
  }
  n = 0;
  XtSetArg(args[n], XtNforeground, foreground); n++;
  XtSetArg(args[n], XtNbackground, background); n++;
  XtSetValues(reinterpret_cast<TextWidget>(text)->text.sink, args, n);
  // Wide characters made here: the toolkit's own conversion gives up on a
  // whole string for one byte it cannot read.
  std::wstring chars = WideFromUtf8(StoredTextToUtf8(message));
  XawTextBlock block{0, static_cast<int>(chars.size()), reinterpret_cast<char*>(chars.data()), XawFmtWide};
  XawTextReplace(text, 0, 0, &block);
  XawTextSetInsertionPoint(text, 0);
  XtSetArg(args[0], XtNeditType, XawtextRead);
  XtSetValues(text, args, 1);
  FitToText(text);
  XtUnmanageChild(label);
  XtManageChild(text);
  return text;
}

// A "Stikkel Alarm" reminder: the Dialog alarmDialog, labelled with the
// message, and its button alarmconfirm.
void PopUpReminder(const Note& note) {
  std::string message = ar::ReminderText(note.name);
  Widget shell = CreateDialogShell("AlarmShell", "Stikkel Alarm", PointerPosition());
  Arg args[2];
  XtSetArg(args[0], XtNlabel, message.c_str());
  Widget dialog = XtCreateManagedWidget("alarmDialog", dialogWidgetClass, shell, args, 1);
  Widget drawn = XftMessage(dialog, message);
  XtCallbackRec callbacks[] = {{DismissAlarm, shell}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNcallback, callbacks);
  XtSetArg(args[1], XtNlabel, "OK");
  Widget ok = XtCreateManagedWidget("alarmconfirm", commandWidgetClass, dialog, args, 2);
  if (drawn) {
    XtSetArg(args[0], XtNfromVert, drawn);
    XtSetValues(ok, args, 1);
  }
  PopUpDialog(shell, DismissAlarm, shell, XtGrabNonexclusive);
  for (int i = 0; i < 3; ++i) XBell(program.display, 80);
}

// The check runs just after the start of every minute, timed on the
// monotonic clock, and at once whenever the wall clock is set.
TimerFd minute_timer(TimerFd::kMonotonic);
TimerFd clock_watch(TimerFd::kClockChanges);

void ArmNextCheck() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned long delay = ar::MillisecondsToNextMinute(now.tv_sec, now.tv_nsec);
  if (!minute_timer.ArmAfter(delay))
    XtAppAddTimeOut(XtWidgetToApplicationContext(program.toplevel), delay, CheckAlarms, nullptr);
}

void MinuteCome(XtPointer, int*, XtInputId*) {
  if (minute_timer.Consume() == TimerFd::kExpired) CheckAlarms(nullptr, nullptr);
}

void ClockSet(XtPointer, int*, XtInputId*) {
  if (clock_watch.Consume() != TimerFd::kClockSet) return;
  clock_watch.WatchClockChanges();
  CheckAlarms(nullptr, nullptr);
}

}  // namespace

void CheckAlarmsAt(std::time_t now) {
  due_checker.BeginCheck(now);
  for (const auto& note : Notes()) {
    if (note->alarm.set && due_checker.Due(note->alarm, note->id)) PopUpReminder(*note);
  }
}

void ResetAlarmChecks() { due_checker.Reset(); }

void CheckAlarms(XtPointer, XtIntervalId*) {
  CheckAlarmsAt(std::time(nullptr));
  ArmNextCheck();
}

void StartAlarmChecks() {
  if (program.res.noAlarm) return;
  XtAppContext context = XtWidgetToApplicationContext(program.toplevel);
  auto readable = IntClientData(XtInputReadMask);
  if (minute_timer.fd() >= 0) XtAppAddInput(context, minute_timer.fd(), readable, MinuteCome, nullptr);
  if (clock_watch.WatchClockChanges()) XtAppAddInput(context, clock_watch.fd(), readable, ClockSet, nullptr);
  XtAppAddTimeOut(context, 0, CheckAlarms, nullptr);
}
