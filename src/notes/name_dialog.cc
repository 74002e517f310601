#include "notes/name_dialog.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Dialog.h>

#include <string>

#include "app/app.h"
#include "app/client_data.h"
#include "app/locale.h"
#include "app/place_window.h"
#include "app/one_line_field.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "model/note_name.h"
#include "model/utf8.h"
#include "notes/XftSink.h"
#include "notes/note_window.h"

namespace {

struct NameDialog {
  Widget shell = nullptr;  // null until the first OpenNameDialog
  Widget dialog = nullptr;
  Widget confirm = nullptr;
  Widget cancel = nullptr;
} name_dialog;

// Forgets the widgets should the shell ever be destroyed, so that the next
// OpenNameDialog builds the dialog again.
void ForgetNameDialog(Widget, XtPointer, XtPointer) { name_dialog = NameDialog{}; }

void CancelName(Widget, XtPointer, XtPointer) { DismissNameDialog(); }

// Confirm (client data: the note's id).
void ApplyName(Widget, XtPointer client_data, XtPointer) {
  DismissNameDialog();
  Note* note = Notes().FindNote(IntOfClientData(client_data));
  if (!note || !name_dialog.dialog) return;
  String value = XawDialogGetValueString(name_dialog.dialog);
  std::string name = NoteNameFromValue(value ? value : "");
  if (name.empty()) return;
  NoteWindow* window = WindowOf(note);
  Arg args[1];
  XtSetArg(args[0], XtNtitle, name.c_str());
  XtSetValues(window->shell(), args, 1);
  note->name = std::move(name);
  note->MarkChanged();
}

// In UTF-8 mode the field is given the name as wide characters; the caret
// starts at its beginning, as the dialog's own value puts it.
void ShowName(Widget field, const std::string& name) {
  SetOneLineFieldText(field, name);
  XawTextSetInsertionPoint(field, 0);
}

void CreateNameDialog(const Note* note, Point at, XtCallbackList confirm, XtCallbackList cancel) {
  name_dialog.shell = CreateDialogShell("Name", nullptr, at);
  XtAddCallback(name_dialog.shell, XtNdestroyCallback, ForgetNameDialog, nullptr);

  Arg args[4];
  XtSetArg(args[0], XtNlabel, "Title for Note");
  XtSetArg(args[1], XtNvalue, Utf8Notes() ? "" : note->name.c_str());
  XtSetArg(args[2], XtNresize, True);
  XtSetArg(args[3], XtNresizable, True);
  name_dialog.dialog = XtCreateManagedWidget("Dialog", dialogWidgetClass, name_dialog.shell, args, 4);
  // Return rings the bell: the name is taken only through Confirm.
  if (Widget field = XtNameToWidget(name_dialog.dialog, "value")) {
    XftSinkInstallOneLine(field);
    MakeOneLineField(field, nullptr, nullptr);
    if (Utf8Notes()) ShowName(field, note->name);
  }

  XtSetArg(args[0], XtNcallback, confirm);
  name_dialog.confirm = XtCreateWidget("Confirm", commandWidgetClass, name_dialog.dialog, args, 1);
  XtSetArg(args[0], XtNcallback, cancel);
  XtSetArg(args[1], XtNfromHoriz, name_dialog.confirm);
  name_dialog.cancel = XtCreateWidget("Cancel", commandWidgetClass, name_dialog.dialog, args, 2);
  Widget buttons[] = {name_dialog.confirm, name_dialog.cancel};
  XtManageChildren(buttons, 2);

  OnWindowClose(name_dialog.shell, CancelName, nullptr);
}

void ReuseNameDialog(const Note* note, XtCallbackList confirm, XtCallbackList cancel) {
  Arg args[1];
  Widget field = XtNameToWidget(name_dialog.dialog, "value");
  if (Utf8Notes() && field) {
    ShowName(field, note->name);
  } else {
    XtSetArg(args[0], XtNvalue, note->name.c_str());
    XtSetValues(name_dialog.dialog, args, 1);
  }
  XtSetArg(args[0], XtNcallback, confirm);
  XtSetValues(name_dialog.confirm, args, 1);
  XtSetArg(args[0], XtNcallback, cancel);
  XtSetValues(name_dialog.cancel, args, 1);
}

}  // namespace

void OpenNameDialog(const Note* note, XtCallbackList confirm, XtCallbackList cancel) {
  if (!name_dialog.shell)
    CreateNameDialog(note, PointerPosition(), confirm, cancel);
  else
    ReuseNameDialog(note, confirm, cancel);
  // Sized before it is placed, so that it is placed whole on the screen.
  Arg args[1];
  std::size_t characters = Utf8Notes() ? Utf8CharCount(note->name) : note->name.size();
  XtSetArg(args[0], XtNwidth, static_cast<Dimension>(NameDialogWidth(characters, program.res.nameWidth)));
  XtSetValues(name_dialog.shell, args, 1);
  PlaceAtPointer(name_dialog.shell);
  XtPopup(name_dialog.shell, XtGrabNonexclusive);
}

void DismissNameDialog() {
  if (name_dialog.shell) XtPopdown(name_dialog.shell);
}

void NameNote(Note* note) {
  XtCallbackRec confirm[] = {{ApplyName, IntClientData(note->id)}, {nullptr, nullptr}};
  XtCallbackRec cancel[] = {{CancelName, nullptr}, {nullptr, nullptr}};
  OpenNameDialog(note, confirm, cancel);
}
