#include "frame/search_notes.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/List.h>
#include <X11/Xaw/Viewport.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/app.h"
#include "app/form_args.h"
#include "app/one_line_field.h"
#include "app/place_window.h"
#include "app/popups.h"
#include "app/take_focus.h"
#include "model/note_list.h"
#include "model/note_search.h"
#include "notes/XftSink.h"
#include "notes/note_window.h"

namespace {

// More rows than anyone reads; the query narrows them.
constexpr std::size_t kMostRows = 200;
constexpr Dimension kListWidth = 480;
constexpr Dimension kListHeight = 240;

struct Found {
  Note* note;
  std::size_t from;
  std::size_t to;
};

struct SearchDialog {
  Widget shell = nullptr;
  Widget field = nullptr;
  Widget list = nullptr;
  Widget status = nullptr;
  std::unordered_map<Note*, std::string> texts;  // read once, see ReadTexts
  std::string query;
  bool complete = false;  // found holds every note that holds query
  std::vector<Found> found;
  std::vector<std::string> rows;
  std::vector<const char*> row_pointers;
};

SearchDialog dialog;

void SetLabel(Widget w, const std::string& text) {
  Arg arg;
  XtSetArg(arg, XtNlabel, text.c_str());
  XtSetValues(w, &arg, 1);
}

// The list shows the rows; an empty list shows one empty row (Athena's List
// cannot show none).
void ShowRows() {
  dialog.row_pointers.clear();
  for (std::string& row : dialog.rows) dialog.row_pointers.push_back(row.data());
  static const char empty[] = "";
  if (dialog.row_pointers.empty()) dialog.row_pointers.push_back(empty);
  XawListChange(dialog.list, dialog.row_pointers.data(), static_cast<int>(dialog.row_pointers.size()), 0, True);
  XawListUnhighlight(dialog.list);
}

// Reads the notes' texts, once while the dialog is up: its grab keeps the
// notes from being edited meanwhile. A note that came (-new) or went since
// has the texts read again.
void ReadTexts() {
  bool same = dialog.texts.size() == Notes().size();
  for (const auto& note : Notes())
    if (!same || !dialog.texts.count(note.get())) {
      same = false;
      break;
    }
  if (same) return;
  dialog.texts.clear();
  for (const auto& note : Notes()) dialog.texts.emplace(note.get(), note->Text());
  // Found notes that are gone must not be narrowed into.
  dialog.complete = false;
}

// Searches the notes for the field's text. A query that goes on from the
// last one looks only among the notes the last one found (when it found
// them all): typing on narrows the list at the cost of what is left.
void Search() {
  std::string query = OneLineFieldText(dialog.field);
  if (query == dialog.query) return;
  ReadTexts();
  bool narrow = !dialog.query.empty() && dialog.complete && query.compare(0, dialog.query.size(), dialog.query) == 0;
  dialog.query = query;
  std::vector<Note*> notes;
  if (narrow) {
    for (const Found& f : dialog.found) notes.push_back(f.note);
  } else {
    for (const auto& note : Notes()) notes.push_back(note.get());
  }
  std::vector<SearchSubject> subjects;
  subjects.reserve(notes.size());
  for (Note* note : notes) subjects.push_back({note->name, dialog.texts[note]});
  std::vector<SearchHit> hits = SearchNotes(subjects, query, kMostRows);
  dialog.complete = hits.size() < kMostRows;
  dialog.found.clear();
  dialog.rows.clear();
  for (const SearchHit& hit : hits) {
    dialog.found.push_back({notes[hit.index], hit.from, hit.to});
    dialog.rows.push_back(notes[hit.index]->name + ": " + hit.line);
  }
  ShowRows();
  if (query.empty())
    SetLabel(dialog.status, "Type what to find");
  else if (hits.empty())
    SetLabel(dialog.status, "No note holds it");
  else if (!dialog.complete)
    SetLabel(dialog.status, "The first " + std::to_string(kMostRows) + " notes that hold it");
  else
    SetLabel(dialog.status, std::to_string(hits.size()) + (hits.size() == 1 ? " note holds it" : " notes hold it"));
}

void FieldChanged(Widget, XtPointer, XtPointer) { Search(); }

// However the dialog goes, nothing of it is kept.
void Forget(Widget w, XtPointer, XtPointer) {
  if (dialog.shell == w) dialog = SearchDialog();
}

void Close(Widget, XtPointer, XtPointer) {
  if (!dialog.shell) return;
  DestroyPopup(dialog.shell);
  dialog = SearchDialog();
}

// Shows and raises the note of row `row`, its match selected and in view,
// and closes the dialog.
void Choose(std::size_t row) {
  if (row >= dialog.found.size()) return;
  Found found = dialog.found[row];
  Close(nullptr, nullptr, nullptr);
  // The note may have gone meanwhile (nothing holds it while the dialog is up).
  bool still_there = std::any_of(Notes().begin(), Notes().end(), [&](const auto& n) { return n.get() == found.note; });
  NoteWindow* window = still_there ? WindowOf(found.note) : nullptr;
  if (!window) return;
  if (found.note->hidden) window->Show();
  if (XtIsRealized(window->shell())) XRaiseWindow(program.display, XtWindow(window->shell()));
  if (found.to > found.from) window->SelectBytes(found.from, found.to);
}

void ChooseLater(XtPointer client_data, XtIntervalId*) {
  Choose(static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(client_data)));
}

// A row was clicked: chosen once the list is done with the click (choosing
// destroys the list).
void RowChosen(Widget, XtPointer, XtPointer call_data) {
  auto* chosen = static_cast<XawListReturnStruct*>(call_data);
  if (chosen->list_index < 0) return;
  XtAppAddTimeOut(program.app_context, 0, ChooseLater,
                  reinterpret_cast<XtPointer>(static_cast<std::uintptr_t>(chosen->list_index)));
}

// Return in the field: the highlighted row, else the first.
void ReturnInField(Widget, XtPointer, XtPointer) {
  XawListReturnStruct* current = XawListShowCurrent(dialog.list);
  std::size_t row = current && current->list_index >= 0 ? static_cast<std::size_t>(current->list_index) : 0;
  Choose(row);
}

void Build() {
  dialog.shell = CreateDialogShell("SearchShell", "Search All Notes", PointerPosition());
  XtAddCallback(dialog.shell, XtNdestroyCallback, Forget, nullptr);
  Arg args[14];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("SearchForm", formWidgetClass, dialog.shell, args, 1);

  n = 0;
  XtSetArg(args[n], XtNlabel, "Find in all notes:"); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  n = AddChains(args, n, XtChainTop, XtChainTop, XtChainLeft, XtChainLeft);
  Widget label = XtCreateManagedWidget("SearchLabel", labelWidgetClass, form, args, n);

  n = 0;
  XtSetArg(args[n], XtNfromVert, label); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNwidth, kListWidth); n++;
  n = AddChains(args, n, XtChainTop, XtChainTop, XtChainLeft, XtChainRight);
  dialog.field = XtCreateManagedWidget("SearchText", asciiTextWidgetClass, form, args, n);
  XftSinkInstallOneLine(dialog.field);
  MakeOneLineField(dialog.field, ReturnInField, nullptr);
  Widget source = nullptr;
  XtSetArg(args[0], XtNtextSource, &source);
  XtGetValues(dialog.field, args, 1);
  if (source) XtAddCallback(source, XtNcallback, FieldChanged, nullptr);

  n = 0;
  XtSetArg(args[n], XtNfromVert, dialog.field); n++;
  XtSetArg(args[n], XtNallowVert, True); n++;
  XtSetArg(args[n], XtNallowHoriz, True); n++;
  XtSetArg(args[n], XtNuseBottom, True); n++;
  XtSetArg(args[n], XtNwidth, kListWidth); n++;
  XtSetArg(args[n], XtNheight, kListHeight); n++;
  n = AddChains(args, n, XtChainTop, XtChainBottom, XtChainLeft, XtChainRight);
  Widget viewport = XtCreateManagedWidget("SearchViewport", viewportWidgetClass, form, args, n);
  n = 0;
  XtSetArg(args[n], XtNdefaultColumns, 1); n++;
  XtSetArg(args[n], XtNforceColumns, True); n++;
  XtSetArg(args[n], XtNverticalList, True); n++;
  dialog.list = XtCreateManagedWidget("SearchList", listWidgetClass, viewport, args, n);
  XtAddCallback(dialog.list, XtNcallback, RowChosen, nullptr);

  n = 0;
  XtSetArg(args[n], XtNfromVert, viewport); n++;
  XtSetArg(args[n], XtNlabel, "Cancel"); n++;
  n = AddChains(args, n, XtChainBottom, XtChainBottom, XtChainLeft, XtChainLeft);
  Widget cancel = XtCreateManagedWidget("SearchCancel", commandWidgetClass, form, args, n);
  XtAddCallback(cancel, XtNcallback, Close, nullptr);

  n = 0;
  XtSetArg(args[n], XtNfromVert, viewport); n++;
  XtSetArg(args[n], XtNfromHoriz, cancel); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNlabel, "Type what to find"); n++;
  XtSetArg(args[n], XtNjustify, XtJustifyLeft); n++;
  // A new text does not resize it: no geometry request (and no wait for the
  // window manager) while the user types.
  XtSetArg(args[n], XtNresize, False); n++;
  XtSetArg(args[n], XtNwidth, kListWidth * 3 / 4); n++;
  n = AddChains(args, n, XtChainBottom, XtChainBottom, XtChainLeft, XtChainRight);
  dialog.status = XtCreateManagedWidget("SearchStatus", labelWidgetClass, form, args, n);
  ShowRows();
  // Typing goes into the field wherever the pointer is in the dialog, from
  // the moment it is shown.
  FocusWhenShown(dialog.shell, dialog.field);
}

}  // namespace

void OpenNoteSearch() {
  if (dialog.shell) {
    if (XtIsRealized(dialog.shell)) XRaiseWindow(program.display, XtWindow(dialog.shell));
    return;
  }
  Build();
  ReadTexts();
  PopUpDialog(dialog.shell, Close, nullptr, XtGrabNonexclusive);
}
