// The Hide, Erase, Destroy, Anchor and UnAnchor entries of a note's Notes
// menu. Erase and Destroy ask through the Confirm popup; the answer looks the
// note up again by id, since it may have gone meanwhile.
#include "notes/note_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/popups.h"
#include "notes/note.h"
#include "notes/note_window.h"

namespace {

void ConfirmErase(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = FindNote(NoteIdOf(client_data));
  if (!note) return;
  std::memset(note->text.get(), 0, static_cast<std::size_t>(note->buffer_size));
  ReloadNoteText(note);
  MarkNoteChanged(note);
}

void ConfirmDestroy(Widget, XtPointer client_data, XtPointer) {
  DismissConfirm();
  Note* note = FindNote(NoteIdOf(client_data));
  if (!note) return;
  if (note->shell) {
    XtPopdown(note->shell);
    XtDestroyWidget(note->shell);
  }
  const std::string path = note->file_path;
  if (RemoveNote(note)) return;
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
  XtSetSensitive(note->unanchor_entry, anchored);
  XtSetSensitive(note->anchor_entry, !anchored);
  MarkNoteChanged(note);
}

}  // namespace

void HideNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = FindNote(NoteIdOf(client_data))) HideNoteWindow(note);
}

void EraseNote(Widget, XtPointer client_data, XtPointer) {
  Note* note = FindNote(NoteIdOf(client_data));
  if (!note || note->text[0] == '\0') return;
  Ask(ConfirmErase, CancelErase, client_data);
}

void DestroyNote(Widget, XtPointer client_data, XtPointer) {
  if (FindNote(NoteIdOf(client_data))) Ask(ConfirmDestroy, CancelDestroy, client_data);
}

void AnchorNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = FindNote(NoteIdOf(client_data))) SetAnchored(note, true);
}

void UnanchorNote(Widget, XtPointer client_data, XtPointer) {
  if (Note* note = FindNote(NoteIdOf(client_data))) SetAnchored(note, false);
}
