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
#include "app/window_places.h"
#include "model/note.h"

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

  // Pops the window down and flags the note hidden, remembering where its
  // frame stood; Show puts it up again exactly there (or where the note's
  // file put it) and clears the flag.
  void Hide();
  void Show();
  // Moves the window of a visible note (its frame's outer corner) to `at`,
  // kept wholly on the screen, records that place in the note and raises it.
  void BringTo(Point at);

  // Where the window stands: the record's place, unless the window may
  // have moved since the last look; then the server is asked (once; a
  // notice that comes in meanwhile makes the next call ask again). A hidden
  // window stands where it was hidden. A window the window manager let go
  // of or took anew, but nobody moved, stands at the record's place.
  void CurrentPosition(int* x, int* y);
  // Asks the server at once where every window of the list that may have
  // moved since the last look stands: a few round trips in all, however
  // many windows there are. CurrentPosition and PlaceForMove then need none.
  static void LookAt(const std::vector<NoteWindow*>& windows);
  // Where the window stands in the terms of MoveTo: a move there would not
  // move it. False when that is not known (the window may have moved since
  // the last look, or the server could not tell).
  bool PlaceForMove(int* x, int* y) const;
  // Asks for the window to go to x, y (the window manager puts it there:
  // twm the inside of its frame's border, where there is none the
  // window's outer corner) without waiting for the move to be done; the
  // toolkit's idea of the shell's place follows.
  void MoveTo(int x, int y);
  // Keeps the window's size in the record, as the structure notices of the
  // window told it (or as the toolkit made it, before the first notice);
  // asks the server nothing.
  void KeepSize();

  // Builds, realizes and (unless hidden) shows the window.
  void Create();

 private:
  static void Changed(Widget w, XtPointer client_data, XtPointer call_data);
  static void TextTooLong(Widget w, XtPointer client_data, XtPointer call_data);
  static void ShowTextTooLong(XtPointer client_data, XtIntervalId* id);
  static void TextTooLongGone(Widget w, XtPointer client_data, XtPointer call_data);
  static void TrackStructure(Widget w, XtPointer client_data, XEvent* event, Boolean* go_on);
  static void CloseFromWindowManager(Widget w, XtPointer client_data, XtPointer call_data);
  void ShowAlarmEntries();
  // International mode: makes the source's text the UTF-8 text, up to its
  // first NUL, as wide characters.
  void LoadWide(const std::string& utf8);
  // Takes what the server said of where the window stands (see LookAt):
  // only a change of the outer place last seen is a move.
  void TakeLook(const OuterPlace& place);
  void BuildBar(Widget form);
  void BuildMenus();
  void BuildText(Widget form);

  Note* note_;
  Widget shell_ = nullptr;
  Widget text_ = nullptr;
  Widget file_button_ = nullptr;
  Widget options_button_ = nullptr;
  Widget alarm_icon_ = nullptr;
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
  // The shell's geometry resource: the toolkit keeps the pointer, not a copy.
  std::string geometry_;
  // Set by every structure notice of the window (the window manager moved,
  // resized, reparented, mapped or unmapped it; ICCCM window managers tell a
  // client of every move of its frame) and cleared when a save asks the X
  // server where the window stands. While it is clear the window stands
  // where that save found it, so a save needs no server round trip.
  bool may_have_moved_ = true;
  // The outer position last seen that stands for the record's place (known
  // once the server was asked). Only a change of it is a move. When the
  // window manager lets the window go (it ended: the window is put back on
  // the root at the same spot on screen, without its frame) or a new one
  // takes it, the outer position changes though nobody moved the note: the
  // next look takes the new position as the same place (rebase_).
  bool seen_known_ = false;
  int seen_x_ = 0;
  int seen_y_ = 0;
  bool released_ = false;
  bool rebase_ = false;
  // Where the server last said the window stands (the outer corner of its
  // outermost window's border, which is also where a stored geometry puts
  // it back; see LookAt), and whether that is a move not yet taken by
  // CurrentPosition.
  OuterPlace place_;
  bool moved_to_place_ = false;
};

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

// The note's window, or null before CreateNoteWindow.
NoteWindow* WindowOf(const Note* note);

// Builds, realizes and (unless hidden) shows the note's window.
void CreateNoteWindow(Note* note);

// The 12x12 bitmaps of the alarm indicator: clock while an alarm is set,
// blank otherwise. Made on the first note window.
Pixmap ClockBitmap();
Pixmap BlankBitmap();
