// Alarms: the Alarms Setup dialog of a note, disarming, and the timer that
// pops up a "Stikkel Alarm" reminder when an armed alarm's minute comes.
#pragma once

#include <X11/Intrinsic.h>

#include <ctime>

#include "model/note.h"

// The Set Alarm... command: builds the Alarms Setup dialog for the note
// and pops it up at the pointer, closing any Alarms Setup dialog already
// open. It shows the next whole minute after `now`. Its arrows step the
// values; Accept arms the alarm at the values shown and marks the note
// changed; Cancel closes it.
void OpenAlarmSetup(Note* note);
// The same, as if the clock read `now`.
void OpenAlarmSetupAt(Note* note, std::time_t now);

// The Unset Alarm command: disarms the note's alarm and marks it changed.
void ClearAlarm(Note* note);

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
