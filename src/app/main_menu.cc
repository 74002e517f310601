#include "app/main_menu.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>

#include <cstdint>

#include "app/all_notes.h"
#include "app/app.h"
#include "app/exit.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_saving.h"

Widget main_menu = nullptr;

namespace {

// Each entry's label is its widget name; the two spaces are separators.
const char* const kRows[] = {
    "Create 1.5x2 Note", "Create 2x3 Note", "Create 3x3 Note",  "Create 3x4 Note",
    "Create 3x5 Note",   "Create 4x6 Note", " ",                "Raise All Notes",
    "Lower All Notes",   "Save All Notes",  "Hidden Notes",     "Unhide All Notes",
    "Cascade Notes",     "Find A Note",     " ",                "Exit",
};
constexpr long kFirstSeparator = 6;
constexpr long kSecondSeparator = 14;

const Note* FirstNote() { return Notes().empty() ? nullptr : Notes()[0].get(); }

}  // namespace

void CreateMainMenu() {
  Arg args[2];
  XtSetArg(args[0], XtNmenuOnScreen, True);
  XtSetArg(args[1], XtNlabel, kAppClass);
  main_menu = XtCreatePopupShell("Menu", simpleMenuWidgetClass, toplevel, args, 2);
  for (long row = 0; row < static_cast<long>(XtNumber(kRows)); ++row) {
    if (row == kFirstSeparator || row == kSecondSeparator) {
      XtCreateManagedWidget(kRows[row], smeLineObjectClass, main_menu, nullptr, 0);
      continue;
    }
    Widget entry = XtCreateManagedWidget(kRows[row], smeBSBObjectClass, main_menu, nullptr, 0);
    XtAddCallback(entry, XtNcallback, MainMenuSelect, reinterpret_cast<XtPointer>(static_cast<intptr_t>(row)));
  }
}

void MainMenuSelect(Widget, XtPointer client_data, XtPointer) {
  long row = static_cast<long>(reinterpret_cast<intptr_t>(client_data));
  switch (row) {
    case 0: case 1: case 2: case 3: case 4: case 5:
      CreateSizedNote(static_cast<int>(row));
      break;
    case 7: RaiseAllNotes(); break;
    case 8: LowerAllNotes(); break;
    case 9: SaveAllNotes(true); break;
    case 10: OpenNoteList(FirstNote(), true); break;
    case 11: UnhideAllNotes(); break;
    case 12: CascadeNotes(); break;
    case 13: OpenNoteList(FirstNote(), false); break;
    case 15: RequestExit(); break;
    default: break;
  }
}
