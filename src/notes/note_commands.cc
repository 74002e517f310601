// The Hide, Erase, Destroy, Anchor and UnAnchor entries of a note's Notes
// menu. Erase and Destroy ask through the Confirm popup; the answer looks the
// note up again by id, since it may have gone meanwhile.
#include "notes/note_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/recovery_journal.h"

namespace {

void ConfirmErase(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = Notes().FindNote(NoteIdOf(client_data));
  if (!note) return;
  NoteWindow* window = WindowOf(note);
  window->SetText("");
  window->MarkChanged();
}

void ConfirmDestroy(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = Notes().FindNote(NoteIdOf(client_data));
  if (!note) return;
  if (NoteWindow* window = WindowOf(note)) {
    XtPopdown(window->shell());
    XtDestroyWidget(window->shell());
  }
  const std::string path = note->file_path;
  RecoveryNoteGone(note->id);
  if (Notes().RemoveNote(note)) return;
  // The file would bring the note back at the next start: say so.
  std::fprintf(stderr, "stikkel: %s: %s\n", path.c_str(), std::strerror(errno));
  ShowError("Couldn't delete " + path + ".\nThe note will come back at the next start.");
}

void CancelErase(Widget, XtPointer, XtPointer) { DismissConfirm(); }

void CancelDestroy(Widget, XtPointer, XtPointer) { DismissConfirm(); }

void Ask(XtCallbackProc confirm, XtCallbackProc cancel, XtPointer client_data) {
  XtCallbackRec yes[] = {{confirm, client_data}, {nullptr, nullptr}};
  XtCallbackRec no[] = {{cancel, client_data}, {nullptr, nullptr}};
  AskConfirm(yes, no);
}

void SetAnchored(Note* note, bool anchored) {
  note->anchored = anchored;
  NoteWindow* window = WindowOf(note);
  window->ShowAnchored();
  window->MarkChanged();
}

}  // namespace

void HideNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = Notes().FindNote(NoteIdOf(client_data))) WindowOf(note)->Hide();
}

void EraseNote(Widget, XtPointer client_data, XtPointer) {
  Note* note = Notes().FindNote(NoteIdOf(client_data));
  if (!note || WindowOf(note)->Length() == 0) return;
  Ask(ConfirmErase, CancelErase, client_data);
}

void DestroyNote(Widget, XtPointer client_data, XtPointer) {
  if (Notes().FindNote(NoteIdOf(client_data))) Ask(ConfirmDestroy, CancelDestroy, client_data);
}

void AnchorNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = Notes().FindNote(NoteIdOf(client_data))) SetAnchored(note, true);
}

void UnanchorNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = Notes().FindNote(NoteIdOf(client_data))) SetAnchored(note, false);
}
