#include "notes/note_menu_entries.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>

#include <cstring>

#include "app/client_data.h"
#include "model/note_list.h"

namespace {

NoteMenu file_menu;
NoteMenu notes_menu;

const NoteMenuItem* FindItem(const NoteMenu& menu, const char* name) {
  for (std::size_t i = 0; i < menu.count; ++i)
    if (menu.items[i].command && std::strcmp(menu.items[i].name, name) == 0) return &menu.items[i];
  return nullptr;
}

// The callback of every menu entry (client data: the note's id): runs the
// entry's command on the note, if it is still there.
void RunNoteCommand(Widget w, XtPointer client_data, XtPointer) {
  Note* note = Notes().FindNote(IntOfClientData(client_data));
  const NoteMenuItem* item = FindItem(file_menu, XtName(w));
  if (!item) item = FindItem(notes_menu, XtName(w));
  if (note && item) item->command(note);
}

void AddEntries(Widget menu, const NoteMenu& items, int id) {
  for (std::size_t i = 0; i < items.count; ++i) {
    const NoteMenuItem& item = items.items[i];
    if (!item.command) {
      XtCreateManagedWidget(item.name, smeLineObjectClass, menu, nullptr, 0);
      continue;
    }
    Arg args[1];
    Cardinal n = 0;
    if (item.label) {
      XtSetArg(args[n], XtNlabel, item.label); n++;
    }
    Widget entry = XtCreateManagedWidget(item.name, smeBSBObjectClass, menu, args, n);
    XtAddCallback(entry, XtNcallback, RunNoteCommand, IntClientData(id));
  }
}

}  // namespace

void UseNoteMenus(NoteMenu file, NoteMenu notes) {
  file_menu = file;
  notes_menu = notes;
}

void AddNoteMenuEntries(Widget file, Widget notes, int id) {
  AddEntries(file, file_menu, id);
  AddEntries(notes, notes_menu, id);
}
