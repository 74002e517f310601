// The note record and the note list.
#pragma once

#include <X11/Intrinsic.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

struct Note {
  // Widgets of the note window; null until CreateNoteWindow has run.
  Widget shell = nullptr;
  Widget save_entry = nullptr;  // its sensitivity is the unsaved-changes flag
  Widget alarm_icon = nullptr;
  Widget options_button = nullptr;
  Widget options_menu = nullptr;
  Widget file_button = nullptr;
  Widget file_menu = nullptr;
  Widget text_widget = nullptr;
  Widget anchor_entry = nullptr;
  Widget unanchor_entry = nullptr;
  Widget set_alarm_entry = nullptr;
  Widget unset_alarm_entry = nullptr;

  std::string file_path;  // empty until the note has a file
  // The text as a NUL-terminated string in buffer_size bytes; the text
  // widget edits these very bytes. The text never outgrows the buffer.
  std::unique_ptr<char[]> text;
  std::string name;
  int id = 0;
  int x = 0;
  int y = 0;
  int buffer_size = 0;
  int width = 0;
  int height = 0;
  int alarm_month = 0;  // 0 = January
  int alarm_day = 1;
  int alarm_hour = 0;
  int alarm_minute = 0;
  bool has_geometry = false;
  bool hidden = false;
  bool anchored = false;
  bool alarm_set = false;

  // Size and stacking info last known from the X server, used when the
  // display is gone and the note must be written from memory.
  int saved_width = 0;
  int saved_height = 0;
  // The text as it stood after the last edit that fitted; an edit that would
  // outgrow the buffer is undone by restoring it.
  std::string last_good_text;
  // Whether the note has changes not yet written; mirrors the sensitivity of
  // the Save entry and stays readable when the display is lost.
  bool changed = false;
  // The window was moved and then hidden: the new place is in x and y but
  // not yet in the note's file.
  bool moved = false;
  // Set by every structure notice of the note's window (the window manager
  // moved, resized, reparented, mapped or unmapped it; ICCCM window managers
  // tell a client of every move of its frame) and cleared when a save asks
  // the X server where the window stands. While it is clear the window
  // stands where that save found it, so a save needs no server round trip.
  bool may_have_moved = true;
};

using NoteList = std::vector<std::unique_ptr<Note>>;

// All notes, in creation and loading order.
NoteList& Notes();

// Appends a new note. id -1 picks the smallest positive id no note uses; any
// other id is taken as given. The alarm fields hold the local time `now`.
Note* NewNote(int id, std::time_t now);
Note* NewNote(int id);

// The first note in list order with this id, or null.
Note* FindNote(int id);

// Unlinks the note and deletes its file when it has one. Returns false (with
// errno set) when the file could not be deleted; the note is gone either way.
bool RemoveNote(Note* note);

// noteDir/note<id>
std::string NoteFilePath(int id);

// The smallest positive id not used by any note.
int LowestFreeId();

// Installs the handler that ends the program with "stikkel: out of memory."
// and status 1 when an allocation fails.
void InstallOutOfMemoryHandler();
[[noreturn]] void OutOfMemory();
