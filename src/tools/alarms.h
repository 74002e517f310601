// Alarms: the Alarms Setup dialog of a note, disarming, and the timer that
// pops up a "Stikkel Alarm" reminder when an armed alarm's minute comes.
// SetAlarmEntry and ClearAlarm, the note menu commands, are declared in
// notes/note_commands.h.
#pragma once

#include <X11/Intrinsic.h>

#include <ctime>

#include "model/note.h"

// Builds the Alarms Setup dialog for the note and pops it up at the pointer,
// closing any Alarms Setup dialog already open.
void OpenAlarmSetup(Note* note);

// Callbacks of the dialog: the "<" and ">" arrows (client data: row index
// 0..3), Accept and Cancel (client data: the note).
void StepAlarmUp(Widget w, XtPointer client_data, XtPointer call_data);
void StepAlarmDown(Widget w, XtPointer client_data, XtPointer call_data);
void AcceptAlarm(Widget w, XtPointer client_data, XtPointer call_data);
void CancelAlarm(Widget w, XtPointer client_data, XtPointer call_data);

// The OK button of a reminder (client data: the reminder's shell).
void DismissAlarm(Widget w, XtPointer client_data, XtPointer call_data);

// Runs the first alarm check as soon as the main loop runs, and from then on
// one check just after the start of every minute (timed on the monotonic
// clock) and one at once whenever the wall clock is set.
void StartAlarmChecks();

// The timeout procedure: checks, then re-arms itself for the next minute.
void CheckAlarms(XtPointer client_data, XtIntervalId* id);

// One check as if the clock read `now`: pops up a reminder for every armed
// alarm whose minute came since the previous check's minute (only the
// current minute for the first check), once per alarm minute. Arms nothing.
void CheckAlarmsAt(std::time_t now);

// Forgets the previous check, so that the next check is a first check.
void ResetAlarmChecks();

// The open Alarms Setup shell, or null; the value label of a row.
Widget AlarmSetupShell();
Widget AlarmSetupValue(int row);
