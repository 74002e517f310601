#include "tools/insert_date.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Box.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>

#include <cstdint>
#include <ctime>

#include "app/app.h"
#include "app/form_args.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"
#include "tools/date_format.h"
#include "tools/insert_text.h"

namespace {

struct InsertDateDialog {
  Widget shell = nullptr;
  Widget arrows[kDateLayoutCount] = {};
  int row = 0;
} dialog;

void ForgetDialog(Widget w, XtPointer, XtPointer) {
  if (dialog.shell == w) dialog = InsertDateDialog();
}

void CloseDialog() {
  if (!dialog.shell) return;
  Widget shell = dialog.shell;
  XtPopdown(shell);
  XtDestroyWidget(shell);
  dialog = InsertDateDialog();
}

Widget MakeBox(Widget form, Widget above) {
  Arg args[13];
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNdefaultDistance, 0); n++;
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

  XtCallbackRec choose[] = {{ChooseDateFormat, reinterpret_cast<XtPointer>(static_cast<intptr_t>(row))},
                            {nullptr, nullptr}};
  Cardinal n = 0;
  XtSetArg(args[n], XtNcallback, choose); n++;
  XtSetArg(args[n], XtNlabel, "-"); n++;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNdefaultDistance, 0); n++;
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  dialog.arrows[row] = XtCreateManagedWidget("InsertArrow", commandWidgetClass, form, args, n);

  n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNfromHoriz, dialog.arrows[row]); n++;
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNdefaultDistance, 0); n++;
  XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
  XtSetArg(args[n], XtNlabel, DateLayoutLabel(row)); n++;
  return XtCreateManagedWidget("InsertLabel", labelWidgetClass, form, args, n);
}

}  // namespace

void InsertDateEntry(Widget, XtPointer client_data, XtPointer) {
  Note* note = Notes().FindNote(NoteIdOf(client_data));
  if (note) OpenInsertDate(note);
}

void OpenInsertDate(Note* note) {
  CloseDialog();
  dialog.row = 0;
  Point p = PointerPosition();
  Arg args[3];
  XtSetArg(args[0], XtNtitle, "Insert Date");
  XtSetArg(args[1], XtNx, p.x);
  XtSetArg(args[2], XtNy, p.y);
  dialog.shell = XtCreatePopupShell("InsertShell", transientShellWidgetClass, toplevel, args, 3);
  XtAddCallback(dialog.shell, XtNdestroyCallback, ForgetDialog, nullptr);
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

  OnWindowClose(dialog.shell, CancelInsertDate, note);
  XtPopup(dialog.shell, XtGrabNonexclusive);
}

void ChooseDateFormat(Widget w, XtPointer client_data, XtPointer) {
  Arg args[1];
  XtSetArg(args[0], XtNlabel, ">");
  XtSetValues(w, args, 1);
  dialog.row = static_cast<int>(reinterpret_cast<intptr_t>(client_data));
}

void AcceptInsertDate(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (Notes().Contains(note)) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    InsertIntoNote(note, FormatDate(dialog.row, local), false, false);
    WindowOf(note)->MarkChanged();
  }
  CloseDialog();
}

void CancelInsertDate(Widget, XtPointer, XtPointer) { CloseDialog(); }

Widget InsertDateShell() { return dialog.shell; }

Widget InsertDateArrow(int row) {
  return row >= 0 && row < kDateLayoutCount ? dialog.arrows[row] : nullptr;
}

int ChosenDateRow() { return dialog.row; }
