#include "notes/note_list_window.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Scrollbar.h>
#include <X11/Xaw/Viewport.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <cstdint>
#include <vector>

#include "app/app.h"
#include "app/form_args.h"
#include "app/locale.h"
#include "app/popups.h"
#include "app/take_focus.h"
#include "model/note_list.h"
#include "model/note_search.h"
#include "model/utf8.h"
#include "notes/list_rows.h"
#include "notes/note_window.h"

namespace {

// The smallest view; a longer list or longer names make it larger, up to
// half the screen each way.
constexpr Dimension kViewWidth = 200;
constexpr Dimension kViewHeight = 100;
// Room beside the names for the vertical scroll bar and the borders.
constexpr int kScrollRoom = 24;
// Rows a wheel step moves.
constexpr int kWheelRows = 3;
// Keys typed within this many milliseconds of each other make one prefix.
constexpr Time kTypeAheadPause = 1000;
// Up to this many listed notes every note has a button of its own in the
// view. A longer list has buttons only for the rows in view: a scroll bar of
// its own moves the notes through them. (A column of thousands of buttons
// would outgrow the 32,767 pixels a window can have, and every button
// costs the toolkit more the more widgets there are.)
constexpr std::size_t kAllButtons = 256;

struct ListWindow {
  Widget shell = nullptr;
  Widget viewport = nullptr;
  Widget view_form = nullptr;
  Widget scrollbar = nullptr;  // a long list's only
  std::vector<Note*> notes;    // the listed notes, in list order
  std::vector<Widget> buttons;  // button i shows notes[first + i]
  std::size_t first = 0;
  Dimension widest = 0;
  int pitch = 0;  // pixels from one row to the next
  std::vector<std::string> names;  // the listed notes' names, for type-ahead
  std::string typed;               // what was typed so far
  Time typed_at = 0;
  std::size_t current = 0;         // the row type-ahead moved to; Return chooses it
  bool has_current = false;
};

ListWindow list;

bool Long() { return list.scrollbar != nullptr; }

// The wheel and type-ahead on every part of the list that takes events.
void BindListKeys(Widget w) {
  static XtTranslations bindings = XtParseTranslationTable(
      "<Btn4Down>: note-list-wheel(-1)\n"
      "<Btn5Down>: note-list-wheel(1)\n"
      "<KeyPress>: note-list-key()");
  XtOverrideTranslations(w, bindings);
}

// Appends what makes buttons equal in one column that stretches with the
// window's width; a long list's buttons keep that width whatever name they
// show. Six arguments.
Cardinal AddColumnArgs(Arg* args, Cardinal n) {
  XtSetArg(args[n], XtNwidth, list.widest); n++;
  XtSetArg(args[n], XtNresize, !Long()); n++;
  return AddChains(args, n, XtChainTop, XtChainTop, XtChainLeft, XtChainRight);
}

// A button's callback: client data is its row.
void ChooseRow(Widget w, XtPointer client_data, XtPointer call_data) {
  std::size_t index = list.first + static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(client_data));
  if (index < list.notes.size()) ChooseNote(w, list.notes[index], call_data);
}

// The button of row `row`, below the one before it. Once the width of every
// button is known (list.widest), the button gets it and its place in the
// column from the start.
Widget MakeButton(std::size_t row) {
  Arg args[15];
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  XtSetArg(args[n], XtNlabel, list.notes[list.first + row]->name.c_str()); n++;
  XtSetArg(args[n], XtNshapeStyle, 1); n++;  // rectangle
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  if (row > 0) {
    XtSetArg(args[n], XtNfromVert, list.buttons[row - 1]); n++;
    XtSetArg(args[n], XtNvertDistance, 0); n++;
  }
  if (list.widest > 0) n = AddColumnArgs(args, n);
  Widget button = XtCreateManagedWidget("FindButton", commandWidgetClass, list.view_form, args, n);
  XtAddCallback(button, XtNcallback, ChooseRow, reinterpret_cast<XtPointer>(static_cast<std::uintptr_t>(row)));
  BindListKeys(button);
  return button;
}

// Lines a button up with the others: equal buttons in one column that
// stretch with the window's width.
void LineUp(Widget button) {
  Arg args[6];
  XtSetValues(button, args, AddColumnArgs(args, 0));
}

Dimension WidthOf(Widget w) {
  Dimension width = 0;
  Arg arg;
  XtSetArg(arg, XtNwidth, &width);
  XtGetValues(w, &arg, 1);
  return width;
}

// The width a button needs for the widest name of a long list: the button
// is labelled with the name its font draws widest, and measures itself.
Dimension WidestButton(Widget button) {
  XFontStruct* font = nullptr;
  XFontSet font_set = nullptr;
  Boolean international = False;
  Arg args[3];
  XtSetArg(args[0], XtNfont, &font);
  XtSetArg(args[1], XtNfontSet, &font_set);
  XtSetArg(args[2], XtNinternational, &international);
  XtGetValues(button, args, 3);
  const Note* widest = list.notes[0];
  int widest_width = -1;
  for (const Note* note : list.notes) {
    const std::string& s = note->name;
    int width = international && font_set ? XmbTextEscapement(font_set, s.data(), static_cast<int>(s.size()))
                : font                    ? XTextWidth(font, s.data(), static_cast<int>(s.size()))
                                          : static_cast<int>(s.size());
    if (width > widest_width) {
      widest_width = width;
      widest = note;
    }
  }
  XtSetArg(args[0], XtNlabel, widest->name.c_str());
  XtSetValues(button, args, 1);
  Dimension width = WidthOf(button);
  XtSetArg(args[0], XtNlabel, list.notes[list.first]->name.c_str());
  XtSetValues(button, args, 1);
  return width;
}

// Shows notes from list.first on in the buttons, and the thumb to match.
void ShowRows(std::size_t full) {
  for (std::size_t row = 0; row < list.buttons.size(); ++row) {
    Arg arg;
    XtSetArg(arg, XtNlabel, list.notes[list.first + row]->name.c_str());
    XtSetValues(list.buttons[row], &arg, 1);
  }
  Thumb thumb = ThumbOf(list.first, list.notes.size(), full);
  XawScrollbarSetThumb(list.scrollbar, thumb.top, thumb.shown);
}

// Rows wholly in view, below the form's margin above the first row.
std::size_t FullRowsInView() {
  Widget clip = XtNameToWidget(list.viewport, "clip");
  int height = clip ? clip->core.height : list.viewport->core.height;
  return FullRows(height - list.buttons.front()->core.y, list.pitch);
}

// Gives a long list as many buttons as rows are in view (a last one cut
// short included) and keeps the view filled.
void FitRows() {
  // New buttons as wide as the ones the view has stretched.
  list.widest = std::max(list.widest, list.buttons.front()->core.width);
  std::size_t full = FullRowsInView();
  list.first = ClampFirst(static_cast<long long>(list.first), list.notes.size(), full);
  std::size_t want = std::min(list.notes.size() - list.first, full + 1);
  while (list.buttons.size() > want) {
    XtDestroyWidget(list.buttons.back());
    list.buttons.pop_back();
  }
  while (list.buttons.size() < want) list.buttons.push_back(MakeButton(list.buttons.size()));
  ShowRows(full);
}

void ViewResized(Widget, XtPointer, XEvent* event, Boolean*) {
  if (event->type == ConfigureNotify) FitRows();
}

// The scroll bar's thumb was dragged (button 2): call data is its top.
void Jump(Widget, XtPointer, XtPointer call_data) {
  std::size_t full = FullRowsInView();
  list.first = FirstAtFraction(*static_cast<float*>(call_data), list.notes.size(), full);
  FitRows();
}

// A click on the scroll bar (buttons 1 and 3): call data is the pixels to
// scroll, forward when positive.
void Scroll(Widget, XtPointer, XtPointer call_data) {
  int pixels = static_cast<int>(reinterpret_cast<std::intptr_t>(call_data));
  list.first = FirstAfterScroll(list.first, pixels, list.pitch, list.notes.size(), FullRowsInView());
  FitRows();
}

// The vertical scroll bar of a long list, left of the view as a viewport's
// own would be, as high as the view and growing with it.
Widget MakeScrollbar(Widget form) {
  Arg args[12];
  Cardinal n = 0;
  XtSetArg(args[n], XtNorientation, XtorientVertical); n++;
  XtSetArg(args[n], XtNlength, kViewHeight); n++;
  n = AddChains(args, n, XtChainTop, XtChainBottom, XtChainLeft, XtChainLeft);
  Widget bar = XtCreateManagedWidget("FindScrollbar", scrollbarWidgetClass, form, args, n);
  XtAddCallback(bar, XtNjumpProc, Jump, nullptr);
  XtAddCallback(bar, XtNscrollProc, Scroll, nullptr);
  return bar;
}

// The notes the window lists: from `first` on; with hidden_only, only the
// hidden ones.
std::vector<Note*> Listed(const Note* first, bool hidden_only) {
  std::vector<Note*> listed;
  const NoteList& notes = Notes();
  auto it = std::find_if(notes.begin(), notes.end(), [first](const auto& n) { return n.get() == first; });
  for (; it != notes.end(); ++it)
    if (!hidden_only || (*it)->hidden) listed.push_back(it->get());
  // By name, numbers in numeric order; notes of one name in list order.
  std::stable_sort(listed.begin(), listed.end(),
                   [](const Note* a, const Note* b) { return CompareNames(a->name, b->name) < 0; });
  return listed;
}

// Every listed note gets a button; all as wide as the widest.
void MakeAllButtons() {
  Dimension widest = 0;
  for (std::size_t row = 0; row < list.notes.size(); ++row) {
    list.buttons.push_back(MakeButton(row));
    widest = std::max(widest, WidthOf(list.buttons.back()));
  }
  list.widest = widest;
  for (Widget button : list.buttons) LineUp(button);
}

// A long list's first button tells the height of a row and, labelled with
// the widest name, the width of every button; FitRows adds the others.
void MakeFirstRow() {
  list.buttons.push_back(MakeButton(0));
  Widget button = list.buttons.back();
  list.pitch = button->core.height + 2 * button->core.border_width;
  list.widest = WidestButton(button);
  LineUp(button);
}

// The height of a row of a short list, from its first button.
int ShortPitch() {
  Widget b = list.buttons.front();
  return b->core.height + 2 * b->core.border_width;
}

// Scrolls a short list so that its view starts `pixels` further down
// (up when negative), within the list.
void ScrollShortBy(int pixels) {
  Widget clip = XtNameToWidget(list.viewport, "clip");
  int view = clip ? clip->core.height : list.viewport->core.height;
  int top = -list.view_form->core.y + pixels;
  top = std::clamp(top, 0, std::max(0, static_cast<int>(list.view_form->core.height) - view));
  XawViewportSetCoordinates(list.viewport, static_cast<Position>(-list.view_form->core.x),
                            static_cast<Position>(top));
}

// The wheel (buttons 4 and 5) over the list: a few rows up or down.
void WheelAction(Widget, XEvent*, String* params, Cardinal* count) {
  if (!list.shell || *count < 1) return;
  int rows = std::atoi(params[0]) * kWheelRows;
  if (Long()) {
    list.first = FirstAfterScroll(list.first, rows * list.pitch, list.pitch, list.notes.size(), FullRowsInView());
    FitRows();
  } else {
    ScrollShortBy(rows * ShortPitch());
  }
}

// Shows row `index` at the top of the view (as far as the list goes) and
// marks it as the one Return chooses.
void MoveTo(std::size_t index) {
  if (list.has_current && !Long() && list.current < list.buttons.size())
    XtCallActionProc(list.buttons[list.current], "reset", nullptr, nullptr, 0);
  list.current = index;
  list.has_current = true;
  if (Long()) {
    list.first = ClampFirst(static_cast<long long>(index), list.notes.size(), FullRowsInView());
    FitRows();
    return;
  }
  Widget button = list.buttons[index];
  ScrollShortBy(button->core.y - (-list.view_form->core.y));
  XtCallActionProc(button, "highlight", nullptr, nullptr, 0);
}

// A key typed in the list: letters move to the first name that begins
// with what was typed (a pause starts anew), Return chooses that row,
// Escape closes the list.
void TypeAheadAction(Widget, XEvent* event, String*, Cardinal*) {
  if (!list.shell || event->type != KeyPress) return;
  char bytes[8];
  KeySym keysym = NoSymbol;
  int n = XLookupString(&event->xkey, bytes, sizeof bytes, &keysym, nullptr);
  if (keysym == XK_Escape) {
    CloseNoteList(nullptr, nullptr, nullptr);
    return;
  }
  if (keysym == XK_Return || keysym == XK_KP_Enter) {
    if (list.has_current) ChooseNote(nullptr, list.notes[list.current], nullptr);
    return;
  }
  if (n <= 0 || static_cast<unsigned char>(bytes[0]) < ' ' || bytes[0] == 0x7f) return;
  std::string typed(bytes, static_cast<std::size_t>(n));
  if (Utf8Notes()) typed = Latin1ToUtf8(typed);
  if (event->xkey.time - list.typed_at > kTypeAheadPause) list.typed.clear();
  list.typed_at = event->xkey.time;
  list.typed += typed;
  std::size_t index = FirstWithPrefix(list.names, list.typed);
  if (index < list.names.size())
    MoveTo(index);
  else
    XBell(program.display, 0);
}

void AddListActions() {
  static bool added = false;
  if (added) return;
  static XtActionsRec actions[] = {
      {const_cast<String>("note-list-wheel"), WheelAction},
      {const_cast<String>("note-list-key"), TypeAheadAction},
  };
  XtAppAddActions(program.app_context, actions, XtNumber(actions));
  added = true;
}

// The view as large as the names and the rows need, up to half the screen.
void SizeView() {
  int rows_height = Long() ? static_cast<int>(list.notes.size()) * list.pitch
                           : static_cast<int>(list.view_form->core.height);
  int width = std::clamp(static_cast<int>(list.widest) + kScrollRoom, static_cast<int>(kViewWidth),
                         std::max(static_cast<int>(kViewWidth), program.screen_width / 2));
  int height = std::clamp(rows_height + 4, static_cast<int>(kViewHeight),
                          std::max(static_cast<int>(kViewHeight), program.screen_height / 2));
  Arg args[2];
  XtSetArg(args[0], XtNheight, static_cast<Dimension>(height));
  XtSetArg(args[1], XtNwidth, static_cast<Dimension>(width));
  XtSetValues(list.viewport, args, 2);
  if (Long()) {
    XtSetArg(args[0], XtNlength, static_cast<Dimension>(height));
    XtSetArg(args[1], XtNheight, static_cast<Dimension>(height));
    XtSetValues(list.scrollbar, args, 2);
  }
}

void CancelFromWindowManager(Widget w, XtPointer client_data, XtPointer call_data) {
  CloseNoteList(w, client_data, call_data);
}

}  // namespace

void OpenNoteList(const Note* first, bool hidden_only) {
  if (list.shell) CloseNoteList(nullptr, nullptr, nullptr);
  std::vector<Note*> listed = Listed(first, hidden_only);
  if (listed.empty()) {
    ShowError(hidden_only ? "There are no hidden notes." : "You have no notes.");
    return;
  }
  list.notes = std::move(listed);
  for (const Note* note : list.notes) list.names.push_back(note->name);
  bool long_list = list.notes.size() > kAllButtons;
  AddListActions();

  list.shell = CreateDialogShell("FindShell", hidden_only ? "Hidden Notes" : "Find A Note", PointerPosition());
  Arg args[12];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("FindForm", formWidgetClass, list.shell, args, 1);
  if (long_list) list.scrollbar = MakeScrollbar(form);
  n = 0;
  XtSetArg(args[n], XtNallowHoriz, True); n++;
  XtSetArg(args[n], XtNallowVert, !long_list); n++;
  XtSetArg(args[n], XtNuseBottom, True); n++;
  n = AddChains(args, n, XtChainTop, XtChainBottom, XtChainLeft, XtChainRight);
  if (long_list) {
    XtSetArg(args[n], XtNfromHoriz, list.scrollbar); n++;
    XtSetArg(args[n], XtNhorizDistance, 0); n++;
  }
  list.viewport = XtCreateManagedWidget("FindViewport", viewportWidgetClass, form, args, n);
  XtSetArg(args[0], XtNborderWidth, 0);
  list.view_form = XtCreateManagedWidget("FindViewForm", formWidgetClass, list.viewport, args, 1);

  if (long_list)
    MakeFirstRow();
  else
    MakeAllButtons();
  SizeView();

  XtCallbackRec cancel[] = {{CloseNoteList, nullptr}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, cancel); n++;
  XtSetArg(args[n], XtNfromVert, list.viewport); n++;
  XtSetArg(args[n], XtNlabel, "Cancel"); n++;
  n = AddChains(args, n, XtChainBottom, XtChainBottom, XtChainLeft, XtChainLeft);
  XtCreateManagedWidget("FindCancel", commandWidgetClass, form, args, n);
  // Keys typed anywhere in the window go to the list.
  BindListKeys(form);
  BindListKeys(list.view_form);
  FocusWhenShown(list.shell, form);
  if (long_list) {
    // Laid out, the view tells how many rows it holds.
    XtRealizeWidget(list.shell);
    FitRows();
    XtAddEventHandler(list.viewport, StructureNotifyMask, False, ViewResized, nullptr);
  }

  PopUpDialog(list.shell, CancelFromWindowManager, nullptr, XtGrabNonexclusive);
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
  if (!list.shell) return;
  DestroyPopup(list.shell);
  list = ListWindow();
}
