#include "notes/note_keys.h"

#include "model/note_list.h"
#include "notes/note_commands.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"

namespace {

void (*open_new_note)() = nullptr;
void (*open_search)() = nullptr;

// Shift+Ctrl+F before Ctrl+F: a table's first match is taken.
constexpr const char* kKeys =
    "Shift Ctrl<Key>f: search-all-notes()\n"
    "Shift Ctrl<Key>F: search-all-notes()\n"
    "Ctrl<Key>f: search(forward)\n"
    "Ctrl<Key>n: new-note()\n"
    "Ctrl<Key>s: save-note()\n"
    "Ctrl<Key>w: hide-note()";

// The note whose window holds widget w, or null.
Note* NoteOf(Widget w) {
  while (w && !XtIsShell(w)) w = XtParent(w);
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && window->shell() == w) return note.get();
  }
  return nullptr;
}

void NewNoteAction(Widget, XEvent*, String*, Cardinal*) {
  if (open_new_note) open_new_note();
}

void SaveNoteAction(Widget w, XEvent*, String*, Cardinal*) {
  if (Note* note = NoteOf(w)) SaveNote(note);
}

void HideNoteAction(Widget w, XEvent*, String*, Cardinal*) {
  if (Note* note = NoteOf(w)) HideNote(note);
}

void SearchAllAction(Widget, XEvent*, String*, Cardinal*) {
  if (open_search) open_search();
}

}  // namespace

void SetNoteKeyCommands(void (*new_note)(), void (*search_all_notes)()) {
  open_new_note = new_note;
  open_search = search_all_notes;
}

void AddNoteCommandKeys(Widget text) {
  static XtActionsRec actions[] = {
      {const_cast<String>("new-note"), NewNoteAction},
      {const_cast<String>("save-note"), SaveNoteAction},
      {const_cast<String>("hide-note"), HideNoteAction},
      {const_cast<String>("search-all-notes"), SearchAllAction},
  };
  static XtTranslations keys = [&] {
    XtAppAddActions(XtWidgetToApplicationContext(text), actions, XtNumber(actions));
    return XtParseTranslationTable(kKeys);
  }();
  XtOverrideTranslations(text, keys);
}
