#include "notes/outside_changes.h"

#include <string>
#include <vector>

#include "app/popups.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "notes/recovery_journal.h"

namespace {

// A hidden note may have no widgets yet: then there is no shell to destroy.
void DestroyNoteShell(Note* note) {
  NoteWindow* window = WindowOf(note);
  if (window && window->shell()) DestroyPopup(window->shell());
}

}  // namespace

void RemakeNoteWindow(Note* note) {
  DestroyNoteShell(note);
  note->view.reset();
  CreateNoteWindow(note);
}

namespace {

DestroyedFiles destroyed;

}  // namespace

void RememberDestroyedFile(const Note* note) {
  if (note->stored_file.known) destroyed.insert({note->stored_file.size, note->stored_file.hash});
}

const DestroyedFiles& DestroyedNoteFiles() { return destroyed; }

void DropNote(Note* note) {
  DestroyNoteShell(note);
  RecoveryNoteGone(note->id);
  note->file_path.clear();
  Notes().RemoveNote(note);
}

void ShowOutsideChanges(OutsideChanges* outside) {
  // A note that took its file's version shows it in the window it has:
  // keys typed into it meanwhile reach it still.
  for (Note* note : outside->taken) {
    if (!Notes().Contains(note)) continue;
    NoteWindow* window = WindowOf(note);
    if (!window || !window->ShowFileVersion()) RemakeNoteWindow(note);
  }
  for (Note* note : outside->gone)
    if (Notes().Contains(note)) DropNote(note);
  std::vector<std::string> names;
  for (auto& made : outside->made) {
    Note* note = Notes().Add(std::move(made));
    CreateNoteWindow(note);
    names.push_back(note->name);
  }
  for (auto& arrived : outside->arrived) CreateNoteWindow(Notes().Add(std::move(arrived)));
  outside->taken.clear();
  outside->gone.clear();
  outside->made.clear();
  outside->arrived.clear();
  if (names.empty()) return;
  static const MessagePopup kBothVersions = {"SyncShell", "syncDialog", "syncConfirm", "Stikkel Notes Changed",
                                             "Continue"};
  PopUpMessage(kBothVersions, BothVersionsMessage(names), DestroyMessagePopup, XtGrabNone);
}
