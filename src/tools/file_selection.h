// The file selection window: lists the subdirectories and regular files of
// one directory as buttons, with a text field for a typed path. In Open mode
// the chosen file is inserted into the note; in Export mode the note's text
// is written to the chosen file. The File menu's Open and Export entries
// (ImportFile, ExportNote in notes/note_commands.h) open it.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

#include "model/note.h"

enum class SelectionMode { kOpen = 0, kExport = 1 };

// Builds the window for directory and pops it up with a nonexclusive grab.
// It stands where it stood the last time it was opened for this note, else
// at the pointer. When the directory cannot be listed the user is told and
// no window opens.
void OpenFileSelector(Note* note, SelectionMode mode, const std::string& directory);

// Button callbacks; client data is the Note.
void DirectoryChosen(Widget w, XtPointer client_data, XtPointer call_data);
void FileChosen(Widget w, XtPointer client_data, XtPointer call_data);
void AcceptFileSelection(Widget w, XtPointer client_data, XtPointer call_data);
void CancelFileSelection(Widget w, XtPointer client_data, XtPointer call_data);
void AcceptOverwrite(Widget w, XtPointer client_data, XtPointer call_data);
void CancelOverwrite(Widget w, XtPointer client_data, XtPointer call_data);

// Asks whether the existing file at the export path may be overwritten.
void ConfirmOverwrite(Note* note);

// Writes the note's text and a newline to the export path; tells the user
// when the file could not be opened or written.
void WriteExport(Note* note);

// The widgets of the windows while they exist, null otherwise (for tests).
struct FileSelectionWidgets {
  Widget shell;
  Widget dir_viewport;
  Widget dir_form;
  Widget file_viewport;
  Widget file_form;
  Widget text;
  Widget accept;
  Widget cancel;
};
FileSelectionWidgets FileSelectionWindow();

struct OverwriteWidgets {
  Widget shell;
  Widget accept;
  Widget cancel;
};
OverwriteWidgets OverwriteWindow();

// The directory the window lists.
const std::string& SelectionDirectory();
