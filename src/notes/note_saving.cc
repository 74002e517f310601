#include "notes/note_saving.h"

#include <string>

#include "app/app.h"
#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"
#include "notes/recovery_journal.h"
#include "storage/load.h"
#include "storage/save.h"

ScreenSize CurrentScreen() { return {screen_width, screen_height}; }

void SaveNote(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (!window || !window->shell() || !XtIsRealized(window->shell())) return;
  int x = 0, y = 0;
  window->CurrentPosition(&x, &y);
  if (x == note->x && y == note->y && !note->changed() && !note->moved) return;
  note->x = x;
  note->y = y;
  window->AskSize();
  window->SyncText();
  std::string message;
  if (WriteNoteFile(Notes(), note, CurrentScreen(), &message)) {
    note->moved = false;
    window->MarkSaved();
    RecoveryNoteGone(note->id);
  } else if (!message.empty()) {
    ShowError(message);
  }
}

void SaveNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = Notes().FindNote(NoteIdOf(client_data))) SaveNote(note);
}

void SaveAllNotes(bool report) {
  if (Notes().empty()) {
    if (report) ShowError("There are no notes to save.");
    return;
  }
  // A save may show a popup but never adds or removes notes; walk by index
  // all the same so the walk stays valid.
  for (std::size_t i = 0; i < Notes().size(); ++i) SaveNote(Notes()[i].get());
}

void SaveChangedNotesWithoutDisplay() {
  // The window's text is client memory: reading it asks the server nothing.
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && (note->changed() || note->moved)) window->SyncText();
  }
  SaveChangedNotes(Notes(), CurrentScreen());
  SettleRecoveryWithoutDisplay();
}

void LoadNotes() {
  NoteFileReadOptions options;
  options.compatibility = app_res.compatibility;
  options.screen = CurrentScreen();
  LoadNoteFiles(Notes(), options);
  std::vector<Note*> recovered = RecoverNotes();
  // Notes that were never saved come back from their recovery files alone.
  for (std::size_t i = 0; i < Notes().size(); ++i) {
    Note* note = Notes()[i].get();
    if (!WindowOf(note)) CreateNoteWindow(note);
  }
  ShowRecoveredNotes(recovered);
}
