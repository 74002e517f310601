// The answer of the Confirm popup looks the note up again by id, since it
// may have gone meanwhile.
#include "notes/note_commands.h"

#include <string>

#include "app/client_data.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "notes/outside_changes.h"
#include "notes/recovery_journal.h"

namespace {

void ConfirmErase(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = Notes().FindNote(IntOfClientData(client_data));
  if (!note) return;
  NoteWindow* window = WindowOf(note);
  window->SetText("");
  note->MarkChanged();
}

void ConfirmDestroy(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = Notes().FindNote(IntOfClientData(client_data));
  if (!note) return;
  if (NoteWindow* window = WindowOf(note)) DestroyPopup(window->shell());
  ForgetQueuedSave(note);  // a save under way must not bring the file back
  const std::string path = note->file_path;
  RememberDestroyedFile(note);
  RecoveryNoteGone(note->id);
  std::string error;
  if (Notes().RemoveNote(note, &error)) return;
  // The file would bring the note back at the next start: say so.
  ReportFileFailure("Couldn't delete " + path + ".\nThe note will come back at the next start.", error);
}

void Cancel(Widget, XtPointer, XtPointer) { DismissConfirm(); }

void Ask(XtCallbackProc confirm, const Note* note, const std::string& question) {
  XtCallbackRec yes[] = {{confirm, IntClientData(note->id)}, {nullptr, nullptr}};
  XtCallbackRec no[] = {{Cancel, nullptr}, {nullptr, nullptr}};
  AskConfirm(yes, no, question);
}

void SetAnchored(Note* note, bool anchored) {
  note->anchored = anchored;
  NoteWindow* window = WindowOf(note);
  window->ShowAnchored();
  note->MarkChanged();
}

}  // namespace

std::string EraseQuestion(const std::string& name) {
  return "Erase all the text of the note\n\"" + name + "\"?";
}

std::string DestroyQuestion(const std::string& name) {
  return "Destroy the note\n\"" + name + "\"\nand delete its file?";
}

void HideNote(Note* note) { WindowOf(note)->Hide(); }

void EraseNote(Note* note) {
  if (WindowOf(note)->Length() > 0) Ask(ConfirmErase, note, EraseQuestion(note->name));
}

void DestroyNote(Note* note) { Ask(ConfirmDestroy, note, DestroyQuestion(note->name)); }

void AnchorNote(Note* note) { SetAnchored(note, true); }

void UnanchorNote(Note* note) { SetAnchored(note, false); }
