#include "frame/note_menus.h"

#include "notes/name_dialog.h"
#include "notes/note_commands.h"
#include "notes/note_saving.h"
#include "notes/note_window.h"
#include "tools/alarms.h"
#include "tools/file_selection.h"
#include "tools/insert_date.h"
#include "tools/insert_text.h"
#include "tools/print_email.h"

namespace {

// Save's own result is shown to the user already.
void Save(Note* note) { SaveNote(note); }

// {widget name, label (null: the name), command}; no command: a line.
const NoteMenuItem kFileMenu[] = {
    {"Save", nullptr, Save},
    {"Open", nullptr, ImportFile},
    {"Export", nullptr, ExportNote},
    {"Print", nullptr, PrintNote},
    {"EmailNote", "Email...", EmailNote},
};

const NoteMenuItem kNotesMenu[] = {
    {"Hide", nullptr, HideNote},
    {"Erase", nullptr, EraseNote},
    {"Line", nullptr, nullptr},
    {"Destroy", nullptr, DestroyNote},
    {"Line", nullptr, nullptr},
    {"Name", "Name...", NameNote},
    {"Anchor", nullptr, AnchorNote},
    {"UnAnchor", nullptr, UnanchorNote},
    {"SetAlarm", "Set Alarm...", OpenAlarmSetup},
    {"UnsetAlarm", "Unset Alarm", ClearAlarm},
    {"InsertCalendar", "Insert Calendar", InsertCalendar},
    {"InsertDate", "Insert Date...", OpenInsertDate},
};

}  // namespace

void InstallNoteMenus() {
  UseNoteMenus({kFileMenu, std::size(kFileMenu)}, {kNotesMenu, std::size(kNotesMenu)});
}
