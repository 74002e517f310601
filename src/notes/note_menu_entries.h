// The entries of a note's File and Notes menus and the commands they run.
#pragma once

#include <X11/Intrinsic.h>

#include <cstddef>

#include "model/note.h"

// An entry of a note's File or Notes menu: the entry's widget name, its
// label (null: the name) and the command it runs on the note. An entry
// without a command is a separator line.
struct NoteMenuItem {
  const char* name;
  const char* label;
  void (*command)(Note* note);
};

struct NoteMenu {
  const NoteMenuItem* items = nullptr;
  std::size_t count = 0;
};

// The menus every note window gets from now on. Each entry carries the
// note's id and looks the note up when it fires, so an entry of a note that
// has gone meanwhile does nothing.
void UseNoteMenus(NoteMenu file_menu, NoteMenu notes_menu);

// Adds the File menu's entries to the menu `file` and the Notes menu's to
// `notes`, for the note with this id.
void AddNoteMenuEntries(Widget file, Widget notes, int id);
