#include "frame/main_menu.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>

#include "app/app.h"
#include "frame/all_notes.h"
#include "frame/exit.h"
#include "frame/search_notes.h"
#include "model/note_list.h"
#include "notes/note_list_window.h"
#include "notes/note_saving.h"

namespace {

const Note* FirstNote() { return Notes().empty() ? nullptr : Notes()[0].get(); }

// An entry of the main menu: its label, which is also its widget name, and
// its command; an entry without a command is a separator line.
struct MainMenuItem {
  const char* label;
  void (*command)();
};

const MainMenuItem kMainMenu[] = {
    {"Create 1.5x2 Note", [] { CreateSizedNote(0); }},
    {"Create 2x3 Note", [] { CreateSizedNote(1); }},
    {"Create 3x3 Note", [] { CreateSizedNote(2); }},
    {"Create 3x4 Note", [] { CreateSizedNote(3); }},
    {"Create 3x5 Note", [] { CreateSizedNote(4); }},
    {"Create 4x6 Note", [] { CreateSizedNote(5); }},
    {" ", nullptr},
    {"Raise All Notes", RaiseAllNotes},
    {"Lower All Notes", LowerAllNotes},
    {"Save All Notes", [] { SaveAllNotes(true); }},
    {"Hidden Notes", [] { OpenNoteList(FirstNote(), true); }},
    {"Unhide All Notes", UnhideAllNotes},
    {"Cascade Notes", CascadeNotes},
    {"Find A Note", [] { OpenNoteList(FirstNote(), false); }},
    {"Search All Notes", OpenNoteSearch},
    {" ", nullptr},
    {"Exit", [] { RequestExit(); }},
};

// The callback of every entry (client data: its row of kMainMenu).
void RunMainCommand(Widget, XtPointer client_data, XtPointer) {
  static_cast<const MainMenuItem*>(client_data)->command();
}

}  // namespace

Widget CreateMainMenu() {
  Arg args[2];
  XtSetArg(args[0], XtNmenuOnScreen, True);
  XtSetArg(args[1], XtNlabel, kAppClass);
  Widget menu = XtCreatePopupShell("Menu", simpleMenuWidgetClass, program.toplevel, args, 2);
  for (const MainMenuItem& item : kMainMenu) {
    if (!item.command) {
      XtCreateManagedWidget(item.label, smeLineObjectClass, menu, nullptr, 0);
      continue;
    }
    Widget entry = XtCreateManagedWidget(item.label, smeBSBObjectClass, menu, nullptr, 0);
    XtAddCallback(entry, XtNcallback, RunMainCommand, const_cast<MainMenuItem*>(&item));
  }
  return menu;
}
