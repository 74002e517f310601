// The note record: everything a note is, free of X. The note list owns the
// records; a note's window, when it has one, hangs off its record as a view.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "model/alarm.h"

// The longest name a note has (the most the name line of a note file holds).
constexpr std::size_t kMaxNameLength = 1022;

// What the X layer attaches to a note (its window). The record owns it and
// destroys it with the note; the core never looks inside.
class NoteView {
 public:
  virtual ~NoteView() = default;
};

class Note {
 public:
  int id = 0;
  std::string name;
  // The text as the note's window last handed it over (the window holds
  // the live text while it exists); what a save writes.
  std::string text;
  // The text always stays shorter than this many bytes (TextFits).
  std::size_t buffer_size = 0;
  std::string file_path;  // empty until the note has a file
  // Where the note's window stands, and the size it was made with.
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // The size the window was last seen with (0 until it is known); a note
  // file stores this size when it is known.
  int window_width = 0;
  int window_height = 0;
  bool has_geometry = false;  // x, y, width and height came from a file
  bool hidden = false;
  // The hidden flag as the note's file holds it (off while there is none).
  bool stored_hidden = false;
  bool anchored = false;
  Alarm alarm;
  // The window was moved and then hidden, or brought to the pointer: the
  // new place is in x and y but not yet in the note's file.
  bool moved = false;
  std::unique_ptr<NoteView> view;

  // Whether the note has changes not yet written. Every change of the flag
  // goes through MarkChanged and MarkSaved.
  bool changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }
  void MarkSaved() { changed_ = false; }

  // Whether a save has something to write: unsaved changes, a move not yet
  // in the note's file, or a hidden flag the file does not hold. Hiding and
  // unhiding leave the unsaved-changes flag alone.
  bool NeedsWrite() const { return changed_ || moved || hidden != stored_hidden; }

 private:
  bool changed_ = false;
};

// Whether a text of `length` bytes fits a note whose buffer holds
// buffer_size bytes: the text always stays below buffer_size bytes.
bool TextFits(std::size_t length, std::size_t buffer_size);

// Bytes that can still be added to a text of `length` bytes in a note whose
// buffer holds buffer_size: the text always stays below buffer_size bytes.
std::size_t TextRoom(std::size_t length, std::size_t buffer_size);

// The buffer size for a text of `length` bytes: the smallest multiple of
// `unit` that is larger than length.
std::size_t BufferSizeFor(std::size_t length, std::size_t unit);
