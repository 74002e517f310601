#include "tools/file_selection.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Box.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/Viewport.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "app/one_line_field.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/XftSink.h"
#include "notes/note_window.h"
#include "tools/insert_text.h"
#include "tools/path_rules.h"

namespace {

enum class ListKind { kDirectories, kFiles };

// The file selection window while it is up: its shell and text field.
struct SelectionWindow {
  Widget shell;
  Widget text;
};

// Button callbacks; client data is the Note.
void DirectoryChosen(Widget w, XtPointer client_data, XtPointer call_data);
void FileChosen(Widget w, XtPointer client_data, XtPointer call_data);
void AcceptFileSelection(Widget w, XtPointer client_data, XtPointer call_data);
void CancelFileSelection(Widget w, XtPointer client_data, XtPointer call_data);
void AcceptOverwrite(Widget w, XtPointer client_data, XtPointer call_data);
void CancelOverwrite(Widget w, XtPointer client_data, XtPointer call_data);

struct SelectorState {
  SelectionMode mode = SelectionMode::kOpen;
  // The note the window was last placed for; forgotten when its window is
  // destroyed, so that a later note at the same address is not taken for it.
  Note* remembered_note = nullptr;
  short remembered_x = 0;
  short remembered_y = 0;
  std::string current_directory;
  std::string export_path;
  SelectionWindow window{};
  Widget overwrite = nullptr;  // the shell of the overwrite question
} state;

void ForgetNote(Widget, XtPointer client_data, XtPointer) {
  if (state.remembered_note == client_data) state.remembered_note = nullptr;
}

void Remember(Note* note) {
  Note* old = state.remembered_note;
  if (old && WindowOf(old)) XtRemoveCallback(WindowOf(old)->shell(), XtNdestroyCallback, ForgetNote, old);
  state.remembered_note = note;
  if (WindowOf(note)) XtAddCallback(WindowOf(note)->shell(), XtNdestroyCallback, ForgetNote, note);
}

// Callbacks carry the Note; it must still be in the note list to be used.
bool NoteAlive(const Note* note) { return Notes().Contains(note); }

std::string LabelText(Widget w) {
  String label = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNlabel, &label);
  XtGetValues(w, args, 1);
  return label ? label : "";
}

// Forgets a shell's widgets when the toolkit destroys it by other means.
void SelectionShellDestroyed(Widget w, XtPointer, XtPointer) {
  if (state.window.shell == w) state.window = SelectionWindow{};
}

void OverwriteShellDestroyed(Widget w, XtPointer, XtPointer) {
  if (state.overwrite == w) state.overwrite = nullptr;
}

void CloseSelection() {
  Widget shell = state.window.shell;
  if (!shell) return;
  state.window = SelectionWindow{};
  DestroyPopup(shell);
}

void CloseOverwrite() {
  Widget shell = state.overwrite;
  if (!shell) return;
  state.overwrite = nullptr;
  DestroyPopup(shell);
}

void SetChains(Arg* args, Cardinal* n, XtEdgeType bottom) {
  XtSetArg(args[*n], XtNtop, XtChainTop); ++*n;
  XtSetArg(args[*n], XtNbottom, bottom); ++*n;
  XtSetArg(args[*n], XtNleft, XtChainLeft); ++*n;
  XtSetArg(args[*n], XtNright, XtChainRight); ++*n;
}

// The eleven resources the two rows of the window share.
Cardinal BoxArgs(Arg* args) {
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  SetChains(args, &n, XtChainTop);
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNdefaultDistance, 0); n++;
  XtSetArg(args[n], XtNvSpace, 2); n++;
  XtSetArg(args[n], XtNhSpace, 2); n++;
  XtSetArg(args[n], XtNorientation, XtorientHorizontal); n++;
  return n;
}

Widget CreateViewport(const char* name, Widget parent) {
  Arg args[4];
  Cardinal n = 0;
  XtSetArg(args[n], XtNallowHoriz, False); n++;
  XtSetArg(args[n], XtNallowVert, True); n++;
  XtSetArg(args[n], XtNuseBottom, False); n++;
  XtSetArg(args[n], XtNforceBars, True); n++;
  return XtCreateManagedWidget(name, viewportWidgetClass, parent, args, n);
}

void SetHeight(Widget w, Dimension height) {
  Arg args[1];
  XtSetArg(args[0], XtNheight, height);
  XtSetValues(w, args, 1);
}

// Fills a view form with one button per name, evened to the widest plus 33,
// or with a label saying that there is nothing.
void ListDirectory(Widget view_form, const std::vector<std::string>& names, ListKind kind, Note* note) {
  Arg args[8];
  Cardinal n = 0;
  if (names.empty()) {
    XtSetArg(args[n], XtNlabel, kind == ListKind::kDirectories ? "(No Directories)" : "(No Files)"); n++;
    XtSetArg(args[n], XtNborderWidth, 0); n++;
    SetChains(args, &n, XtChainBottom);
    XtCreateManagedWidget("ListButton", labelWidgetClass, view_form, args, n);
    return;
  }
  XtCallbackProc chosen = kind == ListKind::kDirectories ? DirectoryChosen : FileChosen;
  std::vector<Widget> buttons;
  buttons.reserve(names.size());
  Dimension widest = 0;
  for (const std::string& name : names) {
    n = 0;
    XtSetArg(args[n], XtNborderWidth, 1); n++;
    XtSetArg(args[n], XtNlabel, name.c_str()); n++;
    XtSetArg(args[n], XtNshapeStyle, XawShapeRectangle); n++;
    XtSetArg(args[n], XtNhorizDistance, 0); n++;
    XtSetArg(args[n], XtNjustify, XtJustifyLeft); n++;
    XtSetArg(args[n], XtNvertDistance, 0); n++;
    if (!buttons.empty()) {
      XtSetArg(args[n], XtNfromVert, buttons.back()); n++;
    }
    // Created unmanaged and managed together at the end: the form lays
    // out once instead of once per button.
    Widget button = XtCreateWidget("ListButton", commandWidgetClass, view_form, args, n);
    XtAddCallback(button, XtNcallback, chosen, note);
    Dimension width = 0;
    XtSetArg(args[0], XtNwidth, &width);
    XtGetValues(button, args, 1);
    widest = std::max(widest, width);
    buttons.push_back(button);
  }
  n = 0;
  XtSetArg(args[n], XtNwidth, static_cast<Dimension>(widest + 33)); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainRight); n++;
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNbottom, XtChainTop); n++;
  for (Widget button : buttons) XtSetValues(button, args, n);
  XtManageChildren(buttons.data(), static_cast<Cardinal>(buttons.size()));
}

// Writes the note to the export path; tells the user and returns false when
// the file could not be opened or written.
bool ExportReported(const Note* note) {
  std::string error, detail;
  if (WriteExportFile(state.export_path, WindowOf(note)->Text(), &error, &detail)) return true;
  ReportFileFailure(error, detail);
  return false;
}

// The window manager's close button on either window is its Cancel.
void CloseSelectionFromWindowManager(Widget, XtPointer client_data, XtPointer) {
  CancelFileSelection(nullptr, client_data, nullptr);
}

void CloseOverwriteFromWindowManager(Widget, XtPointer client_data, XtPointer) {
  CancelOverwrite(nullptr, client_data, nullptr);
}

// Return in the path field is Accept.
void AcceptFromField(Widget, XtPointer client_data, XtPointer) {
  AcceptFileSelection(nullptr, client_data, nullptr);
}

// Rebuilds the window for another directory, at the same place.
void ReopenAt(Note* note, const std::string& directory) {
  CloseSelection();
  OpenFileSelector(note, state.mode, directory);
}

void StartSelector(Note* note, SelectionMode mode) {
  OpenFileSelector(note, mode, StartDirectory(program.res.homeDir, std::getenv("HOME")));
}

// Asks whether the existing file at the export path may be overwritten.
void ConfirmOverwrite(Note* note);

// Writes the note's text and a newline to the export path; tells the user
// when the file could not be opened or written.
void WriteExport(Note* note) { ExportReported(note); }

}  // namespace

void ImportFile(Note* note) { StartSelector(note, SelectionMode::kOpen); }

void ExportNote(Note* note) { StartSelector(note, SelectionMode::kExport); }

void OpenFileSelector(Note* note, SelectionMode mode, const std::string& directory) {
  state.mode = mode;
  if (note != state.remembered_note) {
    Point p = PointerPosition();
    Remember(note);
    state.remembered_x = static_cast<short>(p.x);
    state.remembered_y = static_cast<short>(p.y);
  }

  state.current_directory = directory;
  DirectoryListing listing;
  std::string diagnostics;
  bool listed = ListDirectoryEntries(directory, &listing, &diagnostics);
  ReportOnStandardErrorAsIs(diagnostics);
  CloseSelection();  // only one window is ever up
  if (!listed) {
    ReportError("Failed to get list of directories.");
    return;
  }

  SelectionWindow& w = state.window;
  w.shell = CreateDialogShell("FileSelectionShell", "File Selection Window",
                              {state.remembered_x, state.remembered_y});
  XtAddCallback(w.shell, XtNdestroyCallback, SelectionShellDestroyed, nullptr);

  Arg args[16];
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNresizable, True); n++;
  Widget form = XtCreateManagedWidget("IOForm", formWidgetClass, w.shell, args, n);

  n = BoxArgs(args);
  Widget lists = XtCreateManagedWidget("IOBox", boxWidgetClass, form, args, n);
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget dir_viewport = CreateViewport("IODirViewport", lists);
  Widget dir_form = XtCreateManagedWidget("IODirViewForm", formWidgetClass, dir_viewport, args, 1);
  ListDirectory(dir_form, listing.directories, ListKind::kDirectories, note);
  SetHeight(dir_viewport, 100);

  Widget file_viewport = CreateViewport("IOFileViewport", lists);
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget file_form = XtCreateManagedWidget("IOFileViewForm", formWidgetClass, file_viewport, args, 1);
  ListDirectory(file_form, listing.files, ListKind::kFiles, note);
  SetHeight(file_viewport, 100);

  n = 0;
  XtSetArg(args[n], XtNlabel, "File:"); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  SetChains(args, &n, XtChainTop);
  XtSetArg(args[n], XtNfromVert, lists); n++;
  Widget label = XtCreateManagedWidget("IOLabel", labelWidgetClass, form, args, n);

  n = 0;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  XtSetArg(args[n], XtNstring, directory.c_str()); n++;
  XtSetArg(args[n], XtNwidth, PathFieldWidth(program.res.nameWidth, directory.size()));
  n++;
  XtSetArg(args[n], XtNresize, XawtextResizeBoth); n++;
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNwrap, XawtextWrapNever); n++;
  XtSetArg(args[n], XtNscrollVertical, XawtextScrollNever); n++;
  XtSetArg(args[n], XtNscrollHorizontal, XawtextScrollNever); n++;
  SetChains(args, &n, XtChainTop);
  XtSetArg(args[n], XtNfromVert, label); n++;
  w.text = XtCreateManagedWidget("IOText", asciiTextWidgetClass, form, args, n);
  XftSinkInstallOneLine(w.text);
  MakeOneLineField(w.text, AcceptFromField, note);

  n = BoxArgs(args);
  XtSetArg(args[n], XtNfromVert, w.text); n++;
  Widget buttons = XtCreateManagedWidget("IOBox", boxWidgetClass, form, args, n);
  XtCallbackRec accept[] = {{AcceptFileSelection, note}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNcallback, accept);
  XtSetArg(args[1], XtNlabel, "Accept");
  XtCreateManagedWidget("IOButtons", commandWidgetClass, buttons, args, 2);
  XtCallbackRec cancel[] = {{CancelFileSelection, note}, {nullptr, nullptr}};
  XtSetArg(args[0], XtNcallback, cancel);
  XtSetArg(args[1], XtNlabel, "Cancel");
  XtCreateManagedWidget("IOButtons", commandWidgetClass, buttons, args, 2);

  PopUpDialog(w.shell, CloseSelectionFromWindowManager, note, XtGrabNonexclusive);
}

namespace {

void DirectoryChosen(Widget w, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (!NoteAlive(note)) {
    CloseSelection();
    return;
  }
  std::string path, error;
  if (DirectoryButtonPath(state.current_directory, LabelText(w), &path, &error))
    ReopenAt(note, path);
  else
    ReportError(error);
}

void FileChosen(Widget w, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (!NoteAlive(note)) {
    CloseSelection();
    return;
  }
  std::string path, error;
  if (!FileButtonPath(state.current_directory, LabelText(w), &path, &error)) {
    ReportError(error);
    return;
  }
  if (state.mode == SelectionMode::kOpen) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      ReportError(path + " does not exist!");
      return;
    }
    InsertIntoNote(note, path, false, true);
    CloseSelection();
    return;
  }
  // The button names a file that exists (or did when the list was made):
  // asked first, as for a typed name. Should it be gone by now, it is
  // written at once; a failed export leaves the window up for another
  // choice.
  state.export_path = path;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    CloseSelection();
    ConfirmOverwrite(note);
  } else if (ExportReported(note)) {
    CloseSelection();
  }
}

void AcceptFileSelection(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (!NoteAlive(note) || !state.window.text) {
    CloseSelection();
    return;
  }
  // Used as typed: a relative path is taken from the working directory.
  std::string typed = OneLineFieldText(state.window.text);
  std::string error;
  if (!CheckTypedPath(typed, &error)) {
    ReportError(error);
    return;
  }
  struct stat st;
  bool exists = stat(typed.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    ReopenAt(note, typed);
  } else if (state.mode == SelectionMode::kOpen) {
    if (!exists) {
      ReportError(typed + " does not exist!");
      return;
    }
    InsertIntoNote(note, typed, false, true);
    CloseSelection();
  } else {
    state.export_path = typed;
    CloseSelection();
    if (exists)
      ConfirmOverwrite(note);
    else
      WriteExport(note);
  }
}

void CancelFileSelection(Widget, XtPointer, XtPointer) { CloseSelection(); }

void ConfirmOverwrite(Note* note) {
  CloseOverwrite();
  Widget shell = CreateDialogShell("FileExistsShell", "File Selection Window", PointerPosition());
  state.overwrite = shell;
  XtAddCallback(shell, XtNdestroyCallback, OverwriteShellDestroyed, nullptr);

  Arg args[10];
  Cardinal n = 0;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNresizable, True); n++;
  Widget form = XtCreateManagedWidget("IOForm", formWidgetClass, shell, args, n);

  n = 0;
  XtSetArg(args[n], XtNlabel, "File Exists! Are you sure you want to export to this file?"); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  SetChains(args, &n, XtChainTop);
  Widget label = XtCreateManagedWidget("IOExistsLabel", labelWidgetClass, form, args, n);

  XtCallbackRec accept_cb[] = {{AcceptOverwrite, note}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, accept_cb); n++;
  XtSetArg(args[n], XtNlabel, "Accept"); n++;
  SetChains(args, &n, XtChainTop);
  XtSetArg(args[n], XtNfromVert, label); n++;
  Widget accept = XtCreateManagedWidget("IOButtons", commandWidgetClass, form, args, n);

  XtCallbackRec cancel_cb[] = {{CancelOverwrite, note}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, cancel_cb); n++;
  XtSetArg(args[n], XtNlabel, "Cancel"); n++;
  SetChains(args, &n, XtChainTop);
  XtSetArg(args[n], XtNfromVert, label); n++;
  XtSetArg(args[n], XtNfromHoriz, accept); n++;
  XtCreateManagedWidget("IOButtons", commandWidgetClass, form, args, n);

  PopUpDialog(shell, CloseOverwriteFromWindowManager, note, XtGrabNonexclusive);
}

void AcceptOverwrite(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (NoteAlive(note)) WriteExport(note);
  CloseOverwrite();
}

void CancelOverwrite(Widget, XtPointer, XtPointer) { CloseOverwrite(); }

}  // namespace
