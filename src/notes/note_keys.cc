#include "notes/note_keys.h"

namespace {

NoteKeyCommands commands;

// Shift+Ctrl+F before Ctrl+F: a table's first match is taken.
constexpr const char* kKeys =
    "Shift Ctrl<Key>f: search-all-notes()\n"
    "Shift Ctrl<Key>F: search-all-notes()\n"
    "Ctrl<Key>f: search(forward)\n"
    "Ctrl<Key>n: new-note()\n"
    "Ctrl<Key>s: save-note()\n"
    "Ctrl<Key>w: hide-note()";

void NewNoteAction(Widget, XEvent*, String*, Cardinal*) {
  if (commands.new_note) commands.new_note();
}

void SaveNoteAction(Widget w, XEvent*, String*, Cardinal*) {
  if (commands.save_note) commands.save_note(w);
}

void HideNoteAction(Widget w, XEvent*, String*, Cardinal*) {
  if (commands.hide_note) commands.hide_note(w);
}

void SearchAllAction(Widget, XEvent*, String*, Cardinal*) {
  if (commands.search_all_notes) commands.search_all_notes();
}

}  // namespace

void SetNoteKeyCommands(const NoteKeyCommands& given) { commands = given; }

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
