#include "notes/note_window.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/MenuButton.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/editres.h"
#include "app/form_args.h"
#include "app/popups.h"
#include "notes/note_commands.h"

namespace {

const unsigned char kClockBits[] = {0xf0, 0x00, 0x6c, 0x03, 0x64, 0x02, 0x62, 0x04, 0x61, 0x08, 0x61, 0x08,
                                    0xe1, 0x0f, 0xe1, 0x0f, 0x02, 0x04, 0x06, 0x06, 0xf8, 0x01, 0xf0, 0x00};
const unsigned char kBlankBits[] = {0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0,
                                    0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0};

Pixmap clock_bitmap = None;
Pixmap blank_bitmap = None;

void MakeBitmaps() {
  if (clock_bitmap != None) return;
  Window root = RootWindowOfScreen(XtScreen(toplevel));
  clock_bitmap = XCreateBitmapFromData(display, root, reinterpret_cast<const char*>(kClockBits), 12, 12);
  blank_bitmap = XCreateBitmapFromData(display, root, reinterpret_cast<const char*>(kBlankBits), 12, 12);
}

struct MenuEntry {
  const char* name;
  const char* label;  // null: the entry shows its name
  XtCallbackProc command;
  Widget Note::*field;
};

Widget AddEntry(Widget menu, const MenuEntry& entry, Note* note) {
  if (!entry.command && !entry.label && std::strcmp(entry.name, "Line") == 0)
    return XtCreateManagedWidget(entry.name, smeLineObjectClass, menu, nullptr, 0);
  Arg args[2];
  Cardinal n = 0;
  if (entry.label) {
    XtSetArg(args[n], XtNlabel, entry.label);
    n++;
  }
  Widget w = XtCreateManagedWidget(entry.name, smeBSBObjectClass, menu, args, n);
  if (entry.command)
    XtAddCallback(w, XtNcallback, entry.command, reinterpret_cast<XtPointer>(static_cast<intptr_t>(note->id)));
  if (entry.field) note->*entry.field = w;
  return w;
}

// The window manager's close button hides a note instead of ending the program.
void CloseNoteWindow(Widget, XtPointer client_data, XtPointer) {
  HideNoteWindow(static_cast<Note*>(client_data));
}

// Keeps the size of the note's window known without asking the server, for
// writing the note when the display is lost, and notes that the window may
// have moved since a save last looked.
void TrackSize(Widget, XtPointer client_data, XEvent* event, Boolean*) {
  auto* note = static_cast<Note*>(client_data);
  note->may_have_moved = true;
  if (event->type != ConfigureNotify) return;
  note->saved_width = event->xconfigure.width;
  note->saved_height = event->xconfigure.height;
}

// Reloads the text widget from the buffer; used after an edit that did not
// fit was undone (the widget must not be reloaded from inside its own
// change callback).
void ReloadAfterRefusedEdit(XtPointer client_data, XtIntervalId*) {
  auto* note = static_cast<Note*>(client_data);
  XawTextPosition pos = XawTextGetInsertionPoint(note->text_widget);
  ReloadNoteText(note);
  XawTextPosition last = static_cast<XawTextPosition>(std::strlen(note->text.get()));
  XawTextSetInsertionPoint(note->text_widget, pos < last ? pos : last);
}

}  // namespace

Pixmap ClockBitmap() {
  MakeBitmaps();
  return clock_bitmap;
}

Pixmap BlankBitmap() {
  MakeBitmaps();
  return blank_bitmap;
}

void MarkNoteChanged(Note* note) {
  note->changed = true;
  if (note->save_entry) XtSetSensitive(note->save_entry, True);
}

void MarkNoteSaved(Note* note) {
  note->changed = false;
  if (note->save_entry) XtSetSensitive(note->save_entry, False);
}

bool OuterWindowPosition(Note* note, int* x, int* y) {
  Window w = XtWindow(note->shell);
  Window root = None, parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  while (XQueryTree(display, w, &root, &parent, &children, &count)) {
    if (children) XFree(children);
    if (parent == root || parent == None) break;
    w = parent;
  }
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(display, w, &attrs)) return false;
  *x = attrs.x;
  *y = attrs.y;
  return true;
}

void HideNoteWindow(Note* note) {
  // Remember where the note stood: once withdrawn its frame is gone.
  int x = note->x, y = note->y;
  if (!note->hidden && OuterWindowPosition(note, &x, &y) && (x != note->x || y != note->y)) {
    note->x = x;
    note->y = y;
    note->moved = true;
  }
  note->hidden = true;
  XtPopdown(note->shell);
}

std::size_t NoteTextRoom(const Note* note) {
  std::size_t used = std::strlen(note->text.get());
  std::size_t capacity = static_cast<std::size_t>(note->buffer_size) - 1;
  return used < capacity ? capacity - used : 0;
}

bool InsertNoteText(Note* note, XawTextPosition pos, const char* bytes, std::size_t len) {
  if (len > NoteTextRoom(note)) return false;
  XawTextBlock block;
  block.firstPos = 0;
  block.length = static_cast<int>(len);
  block.ptr = const_cast<char*>(bytes);
  block.format = XawFmt8Bit;
  return XawTextReplace(note->text_widget, pos, pos, &block) == XawEditDone;
}

void ReloadNoteText(Note* note) {
  Arg args[2];
  XtSetArg(args[0], XtNstring, note->text.get());
  XtSetArg(args[1], XtNlength, note->buffer_size - 1);
  XtSetValues(note->text_widget, args, 2);
  note->last_good_text.assign(note->text.get());
}

void NoteChanged(Widget w, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  Widget source = XtIsSubclass(w, textWidgetClass) ? XawTextGetSource(w) : w;
  XawTextPosition last = XawTextSourceScan(source, 0, XawstAll, XawsdRight, 1, True);
  std::size_t held = strnlen(note->text.get(), static_cast<std::size_t>(note->buffer_size));
  if (last >= note->buffer_size || static_cast<std::size_t>(last) != held) {
    // The edit did not fit: the widget keeps the excess outside the note's
    // buffer. Put the last text that fitted back at once, reload the widget
    // when it is done with this edit, and refuse with the bell.
    std::memset(note->text.get(), 0, static_cast<std::size_t>(note->buffer_size));
    std::memcpy(note->text.get(), note->last_good_text.data(), note->last_good_text.size());
    XtAppAddTimeOut(app_context, 0, ReloadAfterRefusedEdit, note);
    XBell(display, 0);
    return;
  }
  note->last_good_text.assign(note->text.get(), held);
  MarkNoteChanged(note);
}

void CreateNoteWindow(Note* note) {
  Arg args[16];
  Cardinal n = 0;
  std::string geometry;
  if (note->has_geometry) {
    geometry = std::to_string(note->width) + "x" + std::to_string(note->height) + "+" +
               std::to_string(note->x) + "+" + std::to_string(note->y);
    XtSetArg(args[n], XtNgeometry, geometry.c_str()); n++;
    XtSetArg(args[n], XtNx, note->x); n++;
    XtSetArg(args[n], XtNy, note->y); n++;
  }
  XtSetArg(args[n], XtNtitle, note->name.c_str()); n++;
  note->shell = XtCreatePopupShell("TackOnNote", wmShellWidgetClass, toplevel, args, n);
  AnswerEditres(note->shell);

  XtSetArg(args[0], XtNdefaultDistance, 0);
  Widget form = XtCreateManagedWidget("Note", formWidgetClass, note->shell, args, 1);

  n = 0;
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNhighlightThickness, 0); n++;
  const Cardinal shared = n;
  XtSetArg(args[n], XtNlabel, "File"); n++;
  XtSetArg(args[n], XtNmenuName, "FileMenu"); n++;
  note->file_button = XtCreateManagedWidget("File", menuButtonWidgetClass, form, args, n);
  n = shared;
  XtSetArg(args[n], XtNlabel, "Notes"); n++;
  XtSetArg(args[n], XtNfromHoriz, note->file_button); n++;
  XtSetArg(args[n], XtNmenuName, "OptionsMenu"); n++;
  note->options_button = XtCreateManagedWidget("Options", menuButtonWidgetClass, form, args, n);
  MakeBitmaps();
  n = shared;
  XtSetArg(args[n], XtNbitmap, note->alarm_set ? clock_bitmap : blank_bitmap); n++;
  XtSetArg(args[n], XtNfromHoriz, note->options_button); n++;
  note->alarm_icon = XtCreateManagedWidget("AlarmIcon", labelWidgetClass, form, args, n);

  Dimension width = 0;
  XtSetArg(args[0], XtNwidth, &width);
  XtGetValues(note->options_button, args, 1);
  XtSetArg(args[0], XtNwidth, static_cast<Dimension>(width + 15));
  XtSetValues(note->options_button, args, 1);

  XtSetArg(args[0], XtNlabel, "Menu");
  note->options_menu = XtCreatePopupShell("OptionsMenu", simpleMenuWidgetClass, note->options_button, args, 1);
  XtCreateManagedWidget("OptionsLine", smeLineObjectClass, note->options_menu, nullptr, 0);
  note->file_menu = XtCreatePopupShell("FileMenu", simpleMenuWidgetClass, note->file_button, args, 1);
  XtCreateManagedWidget("FileLine", smeLineObjectClass, note->file_menu, nullptr, 0);

  const MenuEntry file_entries[] = {
      {"Save", nullptr, SaveNote, &Note::save_entry},
      {"Open", nullptr, ImportFile, nullptr},
      {"Export", nullptr, ExportNote, nullptr},
      {"Print", nullptr, PrintNote, nullptr},
      {"EmailNote", "Email...", EmailNoteEntry, nullptr},
  };
  for (const MenuEntry& entry : file_entries) AddEntry(note->file_menu, entry, note);

  const MenuEntry option_entries[] = {
      {"Hide", nullptr, HideNote, nullptr},
      {"Erase", nullptr, EraseNote, nullptr},
      {"Line", nullptr, nullptr, nullptr},
      {"Destroy", nullptr, DestroyNote, nullptr},
      {"Line", nullptr, nullptr, nullptr},
      {"Name", "Name...", NameNote, nullptr},
      {"Anchor", nullptr, AnchorNote, &Note::anchor_entry},
      {"UnAnchor", nullptr, UnanchorNote, &Note::unanchor_entry},
      {"SetAlarm", "Set Alarm...", SetAlarmEntry, &Note::set_alarm_entry},
      {"UnsetAlarm", "Unset Alarm", ClearAlarm, &Note::unset_alarm_entry},
      {"InsertCalendar", "Insert Calendar", InsertCalendarEntry, nullptr},
      {"InsertDate", "Insert Date...", InsertDateEntry, nullptr},
  };
  for (const MenuEntry& entry : option_entries) {
    Widget w = AddEntry(note->options_menu, entry, note);
    if (w == note->unanchor_entry) {
      XtSetSensitive(note->unanchor_entry, note->anchored);
      XtSetSensitive(note->anchor_entry, !note->anchored);
    } else if (w == note->unset_alarm_entry) {
      XtSetSensitive(note->unset_alarm_entry, !app_res.noAlarm && note->alarm_set);
      XtSetSensitive(note->set_alarm_entry, !app_res.noAlarm && !note->alarm_set);
    }
  }

  note->last_good_text.assign(note->text.get());
  XtCallbackRec changed[] = {{NoteChanged, note}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainRight); n++;
  XtSetArg(args[n], XtNbottom, XtChainBottom); n++;
  XtSetArg(args[n], XtNfromVert, note->options_button); n++;
  XtSetArg(args[n], XtNstring, note->text.get()); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNuseStringInPlace, True); n++;
  // One byte of the buffer stays for the terminating NUL the widget writes.
  XtSetArg(args[n], XtNlength, note->buffer_size - 1); n++;
  XtSetArg(args[n], XtNwidth, note->width); n++;
  XtSetArg(args[n], XtNheight, note->height); n++;
  XtSetArg(args[n], XtNresize, XawtextResizeNever); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNcallback, changed); n++;
  XtSetArg(args[n], XtNscrollVertical, app_res.scrollBar ? XawtextScrollAlways : XawtextScrollWhenNeeded); n++;
  note->text_widget = XtCreateManagedWidget("NoteText", asciiTextWidgetClass, form, args, n);

  MarkNoteSaved(note);
  XtRealizeWidget(note->shell);
  OnWindowClose(note->shell, CloseNoteWindow, note);
  XtAddEventHandler(note->shell, StructureNotifyMask, False, TrackSize, note);

  if (!note->has_geometry) {
    Position x = 0, y = 0;
    XtSetArg(args[0], XtNx, &x);
    XtSetArg(args[1], XtNy, &y);
    XtGetValues(note->shell, args, 2);
    note->x = static_cast<unsigned short>(x);
    note->y = static_cast<unsigned short>(y);
  }
  if (!note->hidden) XtPopup(note->shell, XtGrabNone);
}
