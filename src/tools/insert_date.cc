#include "tools/insert_date.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Box.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>

#include <ctime>

#include "app/app.h"
#include "app/client_data.h"
#include "app/form_args.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "tools/date_format.h"
#include "tools/insert_text.h"

namespace {

struct InsertDateDialog {
  Widget shell = nullptr;
  int row = 0;
} dialog;

void ForgetDialog(Widget w, XtPointer, XtPointer) {
  if (dialog.shell == w) dialog = InsertDateDialog();
}

void CloseDialog() {
  if (!dialog.shell) return;
  DestroyPopup(dialog.shell);
  dialog = InsertDateDialog();
}

// Each arrow (client data: its row, 0..10).
void ChooseDateFormat(Widget w, XtPointer client_data, XtPointer) {
  Arg args[1];
  XtSetArg(args[0], XtNlabel, ">");
  XtSetValues(w, args, 1);
  dialog.row = IntOfClientData(client_data);
}

// Accept and Cancel (client data: the note).
void AcceptInsertDate(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (Notes().Contains(note)) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    InsertIntoNote(note, FormatDate(dialog.row, local), false, false);
    note->MarkChanged();
  }
  CloseDialog();
}

void CancelInsertDate(Widget, XtPointer, XtPointer) { CloseDialog(); }

Widget MakeBox(Widget form, Widget above) {
  Arg args[13];
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNorientation, XtorientHorizontal); n++;
  XtSetArg(args[n], XtNvSpace, 0); n++;
  XtSetArg(args[n], XtNhSpace, 0); n++;
  if (above) {
    XtSetArg(args[n], XtNfromVert, above); n++;
  }
  return XtCreateManagedWidget("InsertBox", boxWidgetClass, form, args, n);
}

// One row: an arrow button and the layout's label in a form of their own.
Widget MakeRow(Widget box, int row) {
  Arg args[13];
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("InsertForm", formWidgetClass, box, args, 1);

  XtCallbackRec choose[] = {{ChooseDateFormat, IntClientData(row)}, {nullptr, nullptr}};
  Cardinal n = 0;
  XtSetArg(args[n], XtNcallback, choose); n++;
  XtSetArg(args[n], XtNlabel, "-"); n++;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  Widget arrow = XtCreateManagedWidget("InsertArrow", commandWidgetClass, form, args, n);

  n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddFlushTopLeft(args, n);
  XtSetArg(args[n], XtNfromHoriz, arrow); n++;
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  XtSetArg(args[n], XtNlabel, DateLayoutLabel(row)); n++;
  return XtCreateManagedWidget("InsertLabel", labelWidgetClass, form, args, n);
}

}  // namespace

void OpenInsertDate(Note* note) {
  CloseDialog();
  dialog.row = 0;
  dialog.shell = CreateDialogShell("InsertShell", "Insert Date", PointerPosition());
  XtAddCallback(dialog.shell, XtNdestroyCallback, ForgetDialog, nullptr);
  Arg args[2];
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("InsertForm", formWidgetClass, dialog.shell, args, 1);

  Widget boxes[kDateLayoutCount + 1];
  Widget above = nullptr;
  for (Widget& box : boxes) above = box = MakeBox(form, above);
  Widget labels[kDateLayoutCount];
  for (int row = 0; row < kDateLayoutCount; ++row) labels[row] = MakeRow(boxes[row], row);

  Dimension width = 0;
  XtSetArg(args[0], XtNwidth, &width);
  XtGetValues(labels[9], args, 1);
  XtSetArg(args[0], XtNwidth, width);
  XtSetArg(args[1], XtNjustify, XtJustifyLeft);
  for (Widget label : labels) XtSetValues(label, args, 2);

  XtCallbackRec accept[] = {{AcceptInsertDate, note}, {nullptr, nullptr}};
  XtCallbackRec cancel[] = {{CancelInsertDate, note}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNlabel, "Accept");
  XtSetArg(args[1], XtNcallback, accept);
  XtCreateManagedWidget("InsertButtons", commandWidgetClass, boxes[kDateLayoutCount], args, 2);
  XtSetArg(args[0], XtNlabel, "Cancel");
  XtSetArg(args[1], XtNcallback, cancel);
  XtCreateManagedWidget("InsertButtons", commandWidgetClass, boxes[kDateLayoutCount], args, 2);

  PopUpDialog(dialog.shell, CancelInsertDate, note, XtGrabNonexclusive);
}

