// The note record: everything a note is, free of X. The note list owns the
// records; a note's window, when it has one, hangs off its record as a view.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "model/alarm.h"

// The longest name a note has (the most the name line of a note file holds).
constexpr std::size_t kMaxNameLength = 1022;

// The most text a note holds, in bytes: 16 MiB. An edit that would make a
// note's text longer is refused as a whole.
constexpr std::size_t kMaxTextLength = 16 * 1024 * 1024;

// What the X layer attaches to a note (its window). The record owns it and
// destroys it with the note. While the note has a view, the view holds the
// note's text; the core reads it through Text and tells the view of every
// change of the changed flag.
class NoteView {
 public:
  virtual ~NoteView() = default;
  // The note's text, read from memory of the program's own: asks no server
  // anything (a save reads it when the display is lost).
  virtual std::string Text() const = 0;
  // The length of Text() in bytes, and Text() appended to *out: a large
  // text copied once, into memory the caller uses again.
  virtual std::size_t TextLength() const { return Text().size(); }
  virtual void AppendText(std::string* out) const { out->append(Text()); }
  // The note was changed (called for every change, however small) or
  // saved.
  virtual void NoteChanged() = 0;
  virtual void NoteSaved() = 0;
};

// What a note's file held when this program last read or wrote it: the
// file's inode, size and modification time, and a hash of its bytes. A file
// that shows another inode, size or time is compared by its bytes.
struct StoredFile {
  bool known = false;  // false while the note has no file read or written
  unsigned long long device = 0;
  unsigned long long inode = 0;
  unsigned long long size = 0;
  long long mtime_sec = 0;
  long mtime_nsec = 0;
  unsigned long long hash = 0;
};

class Note {
 public:
  int id = 0;
  std::string name;
  // The text while the note has no view (read from a file, until a window
  // takes it over and this is emptied). Read the note's text with Text().
  std::string text;
  // The size of the note's buffer as the user sees it: a multiple of the
  // note list's buffer size above the text's length (for a note read from a
  // file, above the length the file states). It grows with the text in
  // steps of that size and never shrinks; no memory of this size is held.
  std::size_t buffer_size = 0;
  // A note that holds UTF-8 (the program runs in a UTF-8 locale) read from
  // a file whose name line or text was not valid UTF-8 shows those bytes
  // read as Latin-1. Such a note keeps the file's own name line and text
  // here, and a save writes them back for as long as the note shows exactly
  // what they were read as; once its name or text differs, the whole file
  // is written as UTF-8.
  struct FileBytes {
    bool kept = false;
    std::string name;
    std::string text;
  } file_bytes;
  std::string file_path;  // empty until the note has a file
  StoredFile stored_file;
  // The note's file was made by this program (a new note's first save) and
  // no version of it written elsewhere has been seen since: another
  // machine that made a note under the same number meanwhile may put its
  // own there (storage/own_version.h).
  bool file_made_here = false;
  // The name of the note's recovery file in the recovery directory, while
  // it has one on disk (empty otherwise).
  std::string journal_name;
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
  // The temporary a failed rename left: it holds the note's new file until
  // a later save of the note succeeds (empty when there is none).
  std::string leftover_temp;

  // The note's text: its view's, else `text`.
  std::string Text() const { return view ? view->Text() : text; }
  std::size_t TextLength() const { return view ? view->TextLength() : text.size(); }
  void AppendText(std::string* out) const {
    if (view) view->AppendText(out);
    else out->append(text);
  }

  // Whether the note has changes not yet written. This is the one flag;
  // every change of it goes through MarkChanged and MarkSaved, which tell
  // the view.
  bool changed() const { return changed_; }
  void MarkChanged() {
    changed_ = true;
    if (view) view->NoteChanged();
  }
  void MarkSaved() {
    changed_ = false;
    if (view) view->NoteSaved();
  }

  // Whether a save has something to write: unsaved changes, a move not yet
  // in the note's file, or a hidden flag the file does not hold. Hiding and
  // unhiding leave the unsaved-changes flag alone.
  bool NeedsWrite() const { return changed_ || moved || hidden != stored_hidden; }

 private:
  bool changed_ = false;
};

// Makes a note read from a file hold UTF-8: its name and text shown through
// StoredTextToUtf8, and the file's bytes kept in file_bytes when either was
// not valid UTF-8.
void TakeStoredBytesAsUtf8(Note* note);

// Whether a note that keeps its file's own bytes (file_bytes) shows exactly
// what they were read as, in its name and in `text` (its text up to the
// first NUL). Then a save writes those bytes back; once either differs, the
// note's own name and text, both in UTF-8.
bool ShowsFileBytes(const Note& note, std::string_view text);

// The text of file_bytes up to its first NUL, as a save writes it.
std::string_view FileTextUpToNul(const Note& note);

// Whether a note may hold a text of `length` bytes (at most kMaxTextLength).
bool TextFits(std::size_t length);

// Bytes that can still be added to a text of `length` bytes.
std::size_t TextRoom(std::size_t length);

// What the user is told when an edit of the note named `name` was refused
// because the text would have passed kMaxTextLength.
std::string TextTooLongMessage(const std::string& name);

// The buffer size for a text of `length` bytes: the smallest multiple of
// `unit` that is larger than length.
std::size_t BufferSizeFor(std::size_t length, std::size_t unit);

// The buffer size of a note whose buffer held buffer_size bytes once its
// text is `length` bytes long: unchanged while the text stays below it,
// else grown to BufferSizeFor(length, unit).
std::size_t GrownBufferSize(std::size_t buffer_size, std::size_t length, std::size_t unit);
