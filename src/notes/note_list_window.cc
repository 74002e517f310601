#include "notes/note_list_window.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Viewport.h>

#include <algorithm>
#include <vector>

#include "app/app.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_window.h"

namespace {

constexpr Dimension kViewWidth = 200;
constexpr Dimension kViewHeight = 100;

Widget list_shell = nullptr;

// Creates the buttons of the qualifying notes, in list order, one below
// the other.
std::vector<Widget> MakeButtons(Widget parent, const Note* first, bool hidden_only) {
  std::vector<Widget> buttons;
  const NoteList& notes = Notes();
  auto it = std::find_if(notes.begin(), notes.end(), [first](const auto& n) { return n.get() == first; });
  for (; it != notes.end(); ++it) {
    Note* note = it->get();
    if (hidden_only && !note->hidden) continue;
    Arg args[8];
    Cardinal n = 0;
    XtSetArg(args[n], XtNborderWidth, 1); n++;
    XtSetArg(args[n], XtNlabel, note->name.c_str()); n++;
    XtSetArg(args[n], XtNshapeStyle, 1); n++;  // rectangle
    XtSetArg(args[n], XtNhorizDistance, 0); n++;
    if (!buttons.empty()) {
      XtSetArg(args[n], XtNfromVert, buttons.back()); n++;
      XtSetArg(args[n], XtNvertDistance, 0); n++;
    }
    Widget button = XtCreateManagedWidget("FindButton", commandWidgetClass, parent, args, n);
    XtAddCallback(button, XtNcallback, ChooseNote, note);
    buttons.push_back(button);
  }
  return buttons;
}

// One column of equal buttons that stretch with the window's width.
void LineUp(const std::vector<Widget>& buttons) {
  Dimension widest = 0;
  for (Widget button : buttons) {
    Dimension width = 0;
    Arg arg;
    XtSetArg(arg, XtNwidth, &width);
    XtGetValues(button, &arg, 1);
    widest = std::max(widest, width);
  }
  Arg args[5];
  XtSetArg(args[0], XtNwidth, widest);
  XtSetArg(args[1], XtNleft, XtChainLeft);
  XtSetArg(args[2], XtNright, XtChainRight);
  XtSetArg(args[3], XtNtop, XtChainTop);
  XtSetArg(args[4], XtNbottom, XtChainTop);
  for (Widget button : buttons) XtSetValues(button, args, 5);
}

void CancelFromWindowManager(Widget w, XtPointer client_data, XtPointer call_data) {
  CloseNoteList(w, client_data, call_data);
}

}  // namespace

void OpenNoteList(const Note* first, bool hidden_only) {
  if (list_shell) CloseNoteList(nullptr, nullptr, nullptr);
  list_shell = CreateDialogShell("FindShell", hidden_only ? "Hidden Notes" : "Find A Note", PointerPosition());
  Arg args[8];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("FindForm", formWidgetClass, list_shell, args, 1);
  n = 0;
  XtSetArg(args[n], XtNallowHoriz, True); n++;
  XtSetArg(args[n], XtNallowVert, True); n++;
  XtSetArg(args[n], XtNuseBottom, True); n++;
  Widget viewport = XtCreateManagedWidget("FindViewport", viewportWidgetClass, form, args, n);
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget view_form = XtCreateManagedWidget("FindViewForm", formWidgetClass, viewport, args, 1);

  std::vector<Widget> buttons = MakeButtons(view_form, first, hidden_only);
  if (buttons.empty()) {
    ShowError(hidden_only ? "There are no hidden notes." : "You have no notes.");
    XtDestroyWidget(list_shell);
    list_shell = nullptr;
    return;
  }
  LineUp(buttons);
  XtSetArg(args[0], XtNheight, kViewHeight);
  XtSetArg(args[1], XtNwidth, kViewWidth);
  XtSetValues(viewport, args, 2);

  XtCallbackRec cancel[] = {{CloseNoteList, nullptr}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, cancel); n++;
  XtSetArg(args[n], XtNfromVert, viewport); n++;
  XtSetArg(args[n], XtNlabel, "Cancel"); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  XtSetArg(args[n], XtNtop, XtChainBottom); n++;
  XtSetArg(args[n], XtNbottom, XtChainBottom); n++;
  XtCreateManagedWidget("FindCancel", commandWidgetClass, form, args, n);

  PopUpDialog(list_shell, CancelFromWindowManager, nullptr, XtGrabNonexclusive);
}

void ChooseNote(Widget w, XtPointer client_data, XtPointer call_data) {
  auto* note = static_cast<Note*>(client_data);
  NoteWindow* window = WindowOf(note);
  if (note->hidden)
    window->Show();
  else
    window->BringTo(PointerPosition());
  CloseNoteList(w, client_data, call_data);
}

void CloseNoteList(Widget, XtPointer, XtPointer) {
  if (!list_shell) return;
  DestroyPopup(list_shell);
  list_shell = nullptr;
}
