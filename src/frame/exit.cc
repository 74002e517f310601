#include "frame/exit.h"

#include <cstdlib>

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>

#include "app/app.h"
#include "app/client_data.h"
#include "app/form_args.h"
#include "app/popups.h"
#include "app/timer_fd.h"
#include "frame/single_instance.h"
#include "notes/note_saving.h"
#include "notes/recovery_journal.h"

namespace {

// Told to end by a signal with saveNotes on, and a note could not be
// saved: its text goes to the recovery place, standard error says where,
// and the program ends with status 1.
[[noreturn]] void EndWithRecovery() {
  RecoverUnsavedNotes();
  ReleaseNoteDirLock();
  XCloseDisplay(program.display);
  std::exit(1);
}

Widget save_prompt = nullptr;

// The program is saving its notes to end: a second request waits for that.
bool exiting = false;
bool exit_by_signal = false;

// The end of a pass of the exit's save: every note on disk ends the
// program; a note changed meanwhile is saved again first. A failed note
// keeps the program up with its popup, unless a signal asked.
void ExitSaved(const SaveOutcome& outcome) {
  if (outcome.all) {
    if (outcome.tried == 0) EndProgram();
    SaveAllNotes(false, ExitSaved);
    return;
  }
  exiting = false;
  // A signal may mean the session is going away: nobody will see the
  // popup.
  if (exit_by_signal) EndWithRecovery();
  // A note whose save failed keeps its last changes for the next start.
  FlushRecovery();
}

// Saves every note and ends the program once all are on disk; the main
// loop goes on meanwhile.
void SaveForExit(bool by_signal) {
  exiting = true;
  exit_by_signal = by_signal;
  SaveAllNotes(false, ExitSaved);
}

void DismissSaveOnExit() {
  if (!save_prompt) return;
  DestroyPopup(save_prompt);
  save_prompt = nullptr;
}

// Yes: a note that cannot be saved keeps the program up, with its popup,
// so that the user can make room and choose Exit again.
void SaveAndExit(Widget, XtPointer, XtPointer) {
  DismissSaveOnExit();
  if (!exiting) SaveForExit(false);
}

// A deliberate discard: the changes do not come back at the next start.
void ExitWithoutSaving(Widget, XtPointer, XtPointer) {
  DismissSaveOnExit();
  DiscardRecovery();
  EndProgram();
}

// The window manager's close button on the prompt (w: its shell): the
// program goes on.
void ClosePrompt(Widget w, XtPointer, XtPointer) {
  if (w == save_prompt) save_prompt = nullptr;
  DestroyPopup(w);
}

// Cancel: the Exit is taken back; the program goes on as it was.
void CancelExit(Widget w, XtPointer, XtPointer) { ClosePrompt(XtParent(XtParent(w)), nullptr, nullptr); }

void PutUpSavePrompt() {
  save_prompt = CreateDialogShell("SOEShell", "Save Notes Prompt", PointerPosition());
  Arg args[14];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("SOEForm", formWidgetClass, save_prompt, args, 1);

  n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddFlushTopLeft(args, n);
  const Cardinal shared = n;
  XtSetArg(args[n], XtNlabel, "Save Changed Notes?"); n++;
  Widget label = XtCreateManagedWidget("SOELabel", labelWidgetClass, form, args, n);

  XtCallbackRec yes_cb[] = {{SaveAndExit, nullptr}, {nullptr, nullptr}};
  XtCallbackRec no_cb[] = {{ExitWithoutSaving, nullptr}, {nullptr, nullptr}};
  Arg button[14];
  n = 0;
  XtSetArg(button[n], XtNcallback, yes_cb); n++;
  XtSetArg(button[n], XtNlabel, "Yes"); n++;
  for (Cardinal i = 0; i < shared; ++i) button[n++] = args[i];
  XtSetArg(button[n], XtNfromVert, label); n++;
  Widget yes = XtCreateManagedWidget("SOEButtons", commandWidgetClass, form, button, n);
  XtSetArg(button[0], XtNcallback, no_cb);
  XtSetArg(button[1], XtNlabel, "No");
  XtSetArg(button[n], XtNfromHoriz, yes); n++;
  Widget no = XtCreateManagedWidget("SOEButtons", commandWidgetClass, form, button, n);
  XtCallbackRec cancel_cb[] = {{CancelExit, nullptr}, {nullptr, nullptr}};
  XtSetArg(button[0], XtNcallback, cancel_cb);
  XtSetArg(button[1], XtNlabel, "Cancel");
  XtSetArg(button[n - 1], XtNfromHoriz, no);
  XtCreateManagedWidget("SOEButtons", commandWidgetClass, form, button, n);

  PopUpDialog(save_prompt, ClosePrompt, nullptr, XtGrabNonexclusive);
}

}  // namespace

void EndProgram() {
  // A pass under way ends first: every file it writes is on disk.
  WaitForSaves();
  ReleaseNoteDirLock();
  XUnmapWindow(program.display, XtWindow(program.toplevel));
  XCloseDisplay(program.display);
  std::exit(0);
}

void RequestExit(bool by_signal) {
  if (exiting) {
    // The save for the exit is under way; it ends the program.
    exit_by_signal = exit_by_signal || by_signal;
    return;
  }
  // Nothing to save: no question to ask.
  if (!AnyNoteNeedsSaving()) EndProgram();
  if (program.res.saveNotes) {
    SaveForExit(by_signal);
    return;
  }
  PutUpSavePrompt();
}

namespace {

// Auto-save runs on the monotonic clock: setting the wall clock back does
// not hold it up.
TimerFd autosave_timer(TimerFd::kMonotonic);

void ArmAutoSave() {
  auto period = static_cast<unsigned long>(program.autosave_period_ms);
  if (!autosave_timer.ArmAfter(period)) XtAppAddTimeOut(program.app_context, period, AutoSave, nullptr);
}

void AutoSaveDue(XtPointer, int*, XtInputId*) {
  if (autosave_timer.Consume() == TimerFd::kExpired) AutoSave(nullptr, nullptr);
}

}  // namespace

void StartAutoSave() {
  if (autosave_timer.fd() >= 0)
    XtAppAddInput(program.app_context, autosave_timer.fd(), IntClientData(XtInputReadMask), AutoSaveDue, nullptr);
  ArmAutoSave();
}

void AutoSave(XtPointer, XtIntervalId*) {
  // The period counts from the end of this save.
  SaveAllNotes(false, [](const SaveOutcome&) { ArmAutoSave(); });
}
