// The commands behind the entries of a note's File and Notes menus. Each is
// an Xt callback whose client data is the note's id; each looks the note up
// with FindNote and does nothing when the note is gone.
#pragma once

#include <X11/Intrinsic.h>

// File menu.
void SaveNote(Widget w, XtPointer client_data, XtPointer call_data);             // notes/note_saving.cc
void ImportFile(Widget w, XtPointer client_data, XtPointer call_data);           // tools/file_selection.cc
void ExportNote(Widget w, XtPointer client_data, XtPointer call_data);           // tools/file_selection.cc
void PrintNote(Widget w, XtPointer client_data, XtPointer call_data);            // tools/print_email.cc
void EmailNoteEntry(Widget w, XtPointer client_data, XtPointer call_data);       // tools/print_email.cc

// Notes menu.
void HideNote(Widget w, XtPointer client_data, XtPointer call_data);             // notes/note_commands.cc
void EraseNote(Widget w, XtPointer client_data, XtPointer call_data);            // notes/note_commands.cc
void DestroyNote(Widget w, XtPointer client_data, XtPointer call_data);          // notes/note_commands.cc
void NameNote(Widget w, XtPointer client_data, XtPointer call_data);             // notes/name_dialog.cc
void AnchorNote(Widget w, XtPointer client_data, XtPointer call_data);           // notes/note_commands.cc
void UnanchorNote(Widget w, XtPointer client_data, XtPointer call_data);         // notes/note_commands.cc
void SetAlarmEntry(Widget w, XtPointer client_data, XtPointer call_data);        // tools/alarms.cc
void ClearAlarm(Widget w, XtPointer client_data, XtPointer call_data);           // tools/alarms.cc
void InsertCalendarEntry(Widget w, XtPointer client_data, XtPointer call_data);  // tools/insert_text.cc
void InsertDateEntry(Widget w, XtPointer client_data, XtPointer call_data);      // tools/insert_date.cc

// The note id carried as client data.
inline int NoteIdOf(XtPointer client_data) {
  return static_cast<int>(reinterpret_cast<long>(client_data));
}
