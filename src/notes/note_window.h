// The note window: a shell with a File menu, a Notes menu, the alarm
// indicator and a text area. It holds one note's widgets and is the only
// code that talks to the note's text widget, whose source holds the text.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xaw/Text.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/placement.h"
#include "model/note.h"
#include "notes/note_menu_entries.h"
#include "notes/window_geometry.h"

class NoteWindow : public NoteView {
 public:
  explicit NoteWindow(Note* note);
  // Makes no X request: the toolkit destroys the widgets with the shell.
  ~NoteWindow() override;
  NoteWindow(const NoteWindow&) = delete;
  NoteWindow& operator=(const NoteWindow&) = delete;

  Widget shell() const { return shell_; }

  // The note's text (UTF-8 in international mode), the one copy there is
  // while the window exists: the record's text is handed to the source when
  // the window is built. Reading it makes no X request.
  std::string Text() const override;
  std::size_t TextLength() const override { return Length(); }
  void AppendText(std::string* out) const override;
  // Its length in bytes, in constant time.
  std::size_t Length() const;
  // The most text the note holds: kMaxTextLength (its text source's
  // maxLength, which a test may lower).
  std::size_t MaxLength() const;
  // Bytes that can still be added to the text before it reaches MaxLength.
  std::size_t Room() const;
  // Whether the text widget is in international mode: the text is Unicode,
  // read and written as UTF-8.
  bool Wide() const;
  // Replaces the whole text; false, changing nothing, when it is longer
  // than MaxLength. In international mode bytes that are not valid UTF-8
  // are taken as Latin-1 (StoredTextToUtf8), here and in Insert.
  bool SetText(std::string_view text);
  // Inserts bytes at pos; false, changing nothing, when the text would pass
  // MaxLength (the window then rings the bell and says why, as for an edit
  // of the user's) or the widget refuses them. Positions count characters.
  bool Insert(XawTextPosition pos, std::string_view bytes);
  // Inserts bytes at the insertion point and puts the insertion point
  // after them, so that the next insertion follows; false, changing
  // nothing, when they do not fit or the widget refuses them.
  bool InsertAtCaret(std::string_view bytes);
  // The bytes an insertion of `bytes` adds to the text (as Room counts
  // them): their number, or in international mode the length of the UTF-8
  // they are taken as.
  std::size_t InsertedLength(std::string_view bytes) const;
  XawTextPosition InsertionPoint() const;
  void SetInsertionPoint(XawTextPosition pos);

  // The note's changed flag (Note::MarkChanged, Note::MarkSaved), shown as
  // the sensitivity of Save; a change is also told to the recovery journal.
  void NoteChanged() override;
  void NoteSaved() override;
  // The display is gone: the flag is no longer shown (no widget is touched
  // from now on by NoteChanged and NoteSaved).
  void DisplayGone();
  // The Anchor and UnAnchor entries, and the alarm entries and indicator
  // (clock while the alarm is set), as the record stands.
  void ShowAnchored();
  void ShowAlarm();

  // Where the window stands and how big it is, as the window manager has
  // it: see WindowGeometry, which these hand on to.
  void Hide() {
    if (shell_) geometry_.Hide();
  }
  // A note loaded hidden has no widgets until it is first shown: these
  // build them first (shell() is null until then).
  void Show();
  void BringTo(Point at);
  void CurrentPosition(int* x, int* y) { geometry_.CurrentPosition(x, y); }
  void TakePlace() { geometry_.TakePlace(); }
  // Asks the server about all the windows of the list at once.
  static void LookAt(const std::vector<NoteWindow*>& windows);
  bool PlaceForMove(int* x, int* y) const { return geometry_.PlaceForMove(x, y); }
  void MoveTo(int x, int y) { geometry_.MoveTo(x, y); }
  void KeepSize() { geometry_.KeepSize(); }

  // Builds, realizes and (unless hidden) shows the window.
  void Create();
  // Shows the record as it now is after it took a version of its file that
  // another program wrote (TakeFileVersion: the text is in the record): in
  // this very window, so that its focus, its place in the stacking order
  // and the keys typed meanwhile stay, the insertion point between the same
  // characters as before (model/caret_follow.h). False, changing nothing,
  // when the window cannot
  // take the new text (over the cap): then it must be made again.
  bool ShowFileVersion();
  // Makes the File and Notes menus, once: they are made when one of them is
  // first popped up (or a test asks for them).
  void BuildMenusOnce();

  // Gives the note the keyboard focus as soon as its window can have it
  // (a new note is made ready for typing).
  void FocusWhenShown();
  // Selects the text from byte `from` to byte `to` of Text() and scrolls
  // it into view, the insertion point at its end.
  void SelectBytes(std::size_t from, std::size_t to);

 private:
  static void Changed(Widget w, XtPointer client_data, XtPointer call_data);
  static void TextTooLong(Widget w, XtPointer client_data, XtPointer call_data);
  static void ShowTextTooLong(XtPointer client_data, XtIntervalId* id);
  static void TextTooLongGone(Widget w, XtPointer client_data, XtPointer call_data);
  static void CloseFromWindowManager(Widget w, XtPointer client_data, XtPointer call_data);
  static void MenusWhenUsed(Widget w, XtPointer client_data, String action, XEvent* event, String* params,
                            Cardinal* num_params);
  void ShowAlarmEntries();
  // International mode: makes the source's text the UTF-8 text, up to its
  // first NUL, as wide characters.
  void LoadWide(const std::string& utf8);
  void BuildBar(Widget form);
  void BuildMenus();
  void BuildText(Widget form);

  Note* note_;
  Widget shell_ = nullptr;
  Widget text_ = nullptr;
  Widget file_button_ = nullptr;
  Widget options_button_ = nullptr;
  Widget alarm_icon_ = nullptr;
  bool menus_built_ = false;
  // Shown while the text is longer than the cap: such a note takes no
  // addition, only cuts, until it is below the cap again.
  Widget over_cap_label_ = nullptr;
  Widget save_entry_ = nullptr;
  Widget anchor_entry_ = nullptr;
  Widget unanchor_entry_ = nullptr;
  Widget set_alarm_entry_ = nullptr;
  Widget unset_alarm_entry_ = nullptr;
  // The text source of text_ (a NoteSource): it holds the text and refuses
  // any edit that would take it past kMaxTextLength.
  Widget source_ = nullptr;
  // The popup that tells of a refused edit while it stands, and the timer
  // that shows it once the text widget is done with the edit: one popup
  // for a run of refused edits.
  Widget too_long_popup_ = nullptr;
  XtIntervalId too_long_timer_ = 0;
  // The window's place and size as the window manager has it.
  WindowGeometry geometry_;
};

// The note's window, or null before CreateNoteWindow.
NoteWindow* WindowOf(const Note* note);

// The note whose window holds widget w, or null.
Note* NoteOfWidget(Widget w);

// Gives the note its window: built, realized and shown, or for a hidden
// note only made ready to be built when it is first shown.
void CreateNoteWindow(Note* note);

// The 12x12 bitmaps of the alarm indicator: clock while an alarm is set,
// blank otherwise. Made on the first note window.
Pixmap ClockBitmap();
Pixmap BlankBitmap();
