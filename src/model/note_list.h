// The note list: every note record, in creation and loading order, and the
// settings new notes are made with (X-free).
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "model/note.h"

struct NoteSettings {
  std::string note_dir;            // absolute directory of the note files
  std::size_t buffer_size = 1024;  // allocation unit of a note's text buffer
};

class NoteList {
 public:
  using Records = std::vector<std::unique_ptr<Note>>;

  void Configure(NoteSettings settings) { settings_ = std::move(settings); }
  const NoteSettings& settings() const { return settings_; }

  // Appends a new, empty note. id -1 picks LowestFreeId(); any other id is
  // taken as given. Its alarm holds the local time `now`, disarmed.
  Note* NewNote(int id, std::time_t now);
  Note* NewNote(int id);
  // Appends a record made elsewhere (a loaded note).
  Note* Add(std::unique_ptr<Note> note);

  // The first note in list order with this id, or null.
  Note* FindNote(int id) const;
  // Whether the note is still in the list.
  bool Contains(const Note* note) const;

  // Unlinks the note and deletes its file when it has one. Returns false
  // when the file could not be deleted, with *err (when given) saying why
  // ("<file>: <system's text>"); the note is gone either way.
  bool RemoveNote(Note* note, std::string* err = nullptr);

  // <note_dir>/note<id>
  std::string NoteFilePath(int id) const;

  // The smallest positive id that no note uses and that names no file in
  // the note directory (a file no note loaded must not be overwritten).
  int LowestFreeId() const;

  Records::const_iterator begin() const { return notes_.begin(); }
  Records::const_iterator end() const { return notes_.end(); }
  std::size_t size() const { return notes_.size(); }
  bool empty() const { return notes_.empty(); }
  const std::unique_ptr<Note>& operator[](std::size_t i) const { return notes_[i]; }
  const std::unique_ptr<Note>& back() const { return notes_.back(); }
  void clear() { notes_.clear(); }

 private:
  NoteSettings settings_;
  Records notes_;
};

// The program's note list.
NoteList& Notes();

// Installs the handler that ends the program with "stikkel: out of memory."
// and status 1 when an allocation fails.
void InstallOutOfMemoryHandler();
[[noreturn]] void OutOfMemory();
