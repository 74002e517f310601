#include "notes/note_window.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/ShellP.h>
#include <X11/StringDefs.h>
#include <X11/Vendor.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/MenuButton.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/SmeLine.h>

#include <algorithm>
#include <cstring>

#include "app/app.h"
#include "app/editres.h"
#include "app/form_args.h"
#include "app/input_method.h"
#include "app/locale.h"
#include "app/place_window.h"
#include "app/popups.h"
#include "app/take_focus.h"
#include "app/text_keys.h"
#include "app/window_title.h"
#include "model/caret_follow.h"
#include "model/note_list.h"
#include "model/utf8.h"
#include "notes/NoteSource.h"
#include "notes/XftSink.h"
#include "notes/note_keys.h"
#include "notes/note_paste.h"
#include "notes/note_window_scroll.h"
#include "notes/recovery_journal.h"
#include "notes/whole_edits.h"

namespace {

const unsigned char kClockBits[] = {0xf0, 0x00, 0x6c, 0x03, 0x64, 0x02, 0x62, 0x04, 0x61, 0x08, 0x61, 0x08,
                                    0xe1, 0x0f, 0xe1, 0x0f, 0x02, 0x04, 0x06, 0x06, 0xf8, 0x01, 0xf0, 0x00};
const unsigned char kBlankBits[] = {0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0,
                                    0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0, 0x00, 0xf0};

Pixmap clock_bitmap = None;
Pixmap blank_bitmap = None;

void MakeBitmaps() {
  if (clock_bitmap != None) return;
  Window root = RootWindowOfScreen(XtScreen(program.toplevel));
  clock_bitmap = XCreateBitmapFromData(program.display, root, reinterpret_cast<const char*>(kClockBits), 12, 12);
  blank_bitmap = XCreateBitmapFromData(program.display, root, reinterpret_cast<const char*>(kBlankBits), 12, 12);
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

NoteWindow* WindowOf(const Note* note) { return static_cast<NoteWindow*>(note->view.get()); }

Note* NoteOfWidget(Widget w) {
  while (w && !XtIsShell(w)) w = XtParent(w);
  if (!w) return nullptr;
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && window->shell() == w) return note.get();
  }
  return nullptr;
}

void CreateNoteWindow(Note* note) {
  auto window = std::make_unique<NoteWindow>(note);
  NoteWindow* w = window.get();
  note->view = std::move(window);
  // A hidden note costs no widgets until it is shown.
  if (!note->hidden) w->Create();
}

NoteWindow::NoteWindow(Note* note) : note_(note), geometry_(note) {}

// The note list, and with it every window, is destroyed when the program
// exits, after the display is closed: nothing here may touch a widget.
NoteWindow::~NoteWindow() {
  if (too_long_timer_) XtRemoveTimeOut(too_long_timer_);
}

// --- The text ---------------------------------------------------------

std::string NoteWindow::Text() const {
  if (!source_) return note_->text.substr(0, strnlen(note_->text.data(), note_->text.size()));
  // The source owns the text: bytes, or in international mode wide
  // characters, written out as UTF-8.
  return NoteSourceText(source_);
}

void NoteWindow::AppendText(std::string* out) const {
  if (!source_) out->append(Text());
  else NoteSourceAppendText(source_, out);
}

void NoteWindow::LoadWide(const std::string& utf8) {
  // Up to the first NUL, as a string resource would be.
  NoteSourceLoadUtf8(source_, std::string_view(utf8.c_str()));
}

bool NoteWindow::Wide() const { return source_ && XtIsSubclass(source_, noteMultiSourceObjectClass); }

std::size_t NoteWindow::Length() const {
  if (!source_) return strnlen(note_->text.data(), note_->text.size());
  return static_cast<std::size_t>(NoteSourceLength(source_));
}

std::size_t NoteWindow::Room() const {
  if (!source_) return TextRoom(Length());
  std::size_t cap = MaxLength();
  return Length() < cap ? cap - Length() : 0;
}

std::size_t NoteWindow::MaxLength() const {
  if (!source_) return kMaxTextLength;
  int cap = 0;
  Arg arg;
  XtSetArg(arg, const_cast<String>(XtNmaxLength), &cap);
  XtGetValues(source_, &arg, 1);
  return cap > 0 ? static_cast<std::size_t>(cap) : 0;
}

bool NoteWindow::SetText(std::string_view text) {
  // The international source drops a text that is not valid UTF-8 whole:
  // it gets what the note shows for those bytes.
  const std::string copy = Wide() ? StoredTextToUtf8(text) : std::string(text);
  if (copy.size() > MaxLength()) return false;
  if (Wide()) {
    LoadWide(copy);
    XawTextSetSource(text_, source_, 0);
    ForgetUndo(text_);
    note_->buffer_size = GrownBufferSize(note_->buffer_size, Length(), Notes().settings().buffer_size);
    return true;
  }
  // The source takes a NUL-terminated string, and copies it.
  Arg arg;
  XtSetArg(arg, XtNstring, copy.c_str());
  XtSetValues(source_, &arg, 1);
  ForgetUndo(text_);
  note_->buffer_size = GrownBufferSize(note_->buffer_size, Length(), Notes().settings().buffer_size);
  return true;
}

bool NoteWindow::Insert(XawTextPosition pos, std::string_view bytes) {
  // The source checks the length, in constant time, before it writes. The
  // international one gets wide characters made here, so that it neither
  // converts nor drops anything.
  std::wstring chars;
  XawTextBlock block;
  block.firstPos = 0;
  block.ptr = const_cast<char*>(bytes.data());
  block.format = XawFmt8Bit;
  std::size_t count = bytes.size();
  if (Wide()) {
    chars = WideFromUtf8(StoredTextToUtf8(bytes));
    block.ptr = reinterpret_cast<char*>(chars.data());
    block.format = XawFmtWide;
    count = chars.size();
  }
  if (count > INT32_MAX) return false;
  block.length = static_cast<int>(count);
  return XawTextReplace(text_, pos, pos, &block) == XawEditDone;
}

bool NoteWindow::InsertAtCaret(std::string_view bytes) {
  XawTextPosition pos = InsertionPoint();
  // Positions count characters, which need not be bytes.
  XawTextPosition end = XawTextLastPosition(text_);
  if (!Insert(pos, bytes)) return false;
  SetInsertionPoint(pos + (XawTextLastPosition(text_) - end));
  return true;
}

std::size_t NoteWindow::InsertedLength(std::string_view bytes) const {
  return Wide() ? StoredTextToUtf8(bytes).size() : bytes.size();
}

XawTextPosition NoteWindow::InsertionPoint() const { return XawTextGetInsertionPoint(text_); }

void NoteWindow::SetInsertionPoint(XawTextPosition pos) { XawTextSetInsertionPoint(text_, pos); }

// The source's change callback: fires once per change it made. The buffer
// grows in steps of the note list's buffer size as the text does.
void NoteWindow::Changed(Widget, XtPointer client_data, XtPointer) {
  auto* window = static_cast<NoteWindow*>(client_data);
  Note* note = window->note_;
  note->buffer_size = GrownBufferSize(note->buffer_size, window->Length(), Notes().settings().buffer_size);
  if (window->over_cap_label_ && window->Length() <= window->MaxLength()) {
    XtDestroyWidget(window->over_cap_label_);
    window->over_cap_label_ = nullptr;
  }
  note->MarkChanged();
}

// The source's limitCallback: an edit would have taken the text past
// kMaxTextLength, and nothing of it was made. The bell rings at once; the
// popup comes when the text widget is done with the edit.
void NoteWindow::TextTooLong(Widget, XtPointer client_data, XtPointer) {
  auto* window = static_cast<NoteWindow*>(client_data);
  XBell(program.display, 0);
  if (!window->too_long_timer_ && !window->too_long_popup_)
    window->too_long_timer_ = XtAppAddTimeOut(program.app_context, 0, ShowTextTooLong, window);
}

void NoteWindow::ShowTextTooLong(XtPointer client_data, XtIntervalId*) {
  auto* window = static_cast<NoteWindow*>(client_data);
  window->too_long_timer_ = 0;
  window->too_long_popup_ = ShowError(TextTooLongMessage(window->note_->name));
  XtAddCallback(window->too_long_popup_, XtNdestroyCallback, TextTooLongGone, nullptr);
}

// The popup belongs to toplevel and may outlive the note's window, so it
// looks for the window that still shows it.
void NoteWindow::TextTooLongGone(Widget w, XtPointer, XtPointer) {
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && window->too_long_popup_ == w) window->too_long_popup_ = nullptr;
  }
}

// --- Flags shown in the menus -----------------------------------------

void NoteWindow::NoteChanged() {
  if (save_entry_) XtSetSensitive(save_entry_, True);
  RecordChange(note_);
}

void NoteWindow::NoteSaved() {
  if (save_entry_) XtSetSensitive(save_entry_, False);
}

void NoteWindow::DisplayGone() { save_entry_ = nullptr; }

void NoteWindow::ShowAnchored() {
  if (unanchor_entry_) XtSetSensitive(unanchor_entry_, note_->anchored);
  if (anchor_entry_) XtSetSensitive(anchor_entry_, !note_->anchored);
}

void NoteWindow::ShowAlarmEntries() {
  if (unset_alarm_entry_) XtSetSensitive(unset_alarm_entry_, !program.res.noAlarm && note_->alarm.set);
  if (set_alarm_entry_) XtSetSensitive(set_alarm_entry_, !program.res.noAlarm && !note_->alarm.set);
}

void NoteWindow::ShowAlarm() {
  ShowAlarmEntries();
  Arg args[2];
  Cardinal n = 0;
  if (note_->alarm.set) {
    XtSetArg(args[n], XtNlabel, " "); n++;
  }
  XtSetArg(args[n], XtNbitmap, note_->alarm.set ? ClockBitmap() : BlankBitmap()); n++;
  XtSetValues(alarm_icon_, args, n);
}

// --- Place and visibility ---------------------------------------------

void NoteWindow::LookAt(const std::vector<NoteWindow*>& windows) {
  std::vector<WindowGeometry*> geometries;
  geometries.reserve(windows.size());
  for (NoteWindow* window : windows) geometries.push_back(&window->geometry_);
  WindowGeometry::LookAt(geometries);
}

void NoteWindow::Show() {
  if (!shell_) Create();
  geometry_.Show();
}

void NoteWindow::BringTo(Point at) {
  if (!shell_) Show();
  geometry_.BringTo(at);
}

// The window manager's close button hides a note instead of ending the program.
void NoteWindow::CloseFromWindowManager(Widget, XtPointer client_data, XtPointer) {
  static_cast<NoteWindow*>(client_data)->Hide();
}

// --- Building ---------------------------------------------------------

void NoteWindow::BuildBar(Widget form) {
  Arg args[12];
  Cardinal n = 0;
  n = AddFixedTopLeft(args, n);
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNhighlightThickness, 0); n++;
  const Cardinal shared = n;
  XtSetArg(args[n], XtNlabel, "File"); n++;
  XtSetArg(args[n], XtNmenuName, "FileMenu"); n++;
  file_button_ = XtCreateManagedWidget("File", menuButtonWidgetClass, form, args, n);
  n = shared;
  XtSetArg(args[n], XtNlabel, "Notes"); n++;
  XtSetArg(args[n], XtNfromHoriz, file_button_); n++;
  XtSetArg(args[n], XtNmenuName, "OptionsMenu"); n++;
  options_button_ = XtCreateManagedWidget("Options", menuButtonWidgetClass, form, args, n);
  n = shared;
  XtSetArg(args[n], XtNbitmap, note_->alarm.set ? ClockBitmap() : BlankBitmap()); n++;
  XtSetArg(args[n], XtNfromHoriz, options_button_); n++;
  alarm_icon_ = XtCreateManagedWidget("AlarmIcon", labelWidgetClass, form, args, n);
  if (note_->text.size() > kMaxTextLength) {
    n = shared;
    XtSetArg(args[n], XtNlabel, "Read-only: over 16 MiB, cut it to edit"); n++;
    XtSetArg(args[n], XtNfromHoriz, alarm_icon_); n++;
    over_cap_label_ = XtCreateManagedWidget("OverCap", labelWidgetClass, form, args, n);
  }

  Dimension width = 0;
  XtSetArg(args[0], XtNwidth, &width);
  XtGetValues(options_button_, args, 1);
  XtSetArg(args[0], XtNwidth, static_cast<Dimension>(width + 15));
  XtSetValues(options_button_, args, 1);
}

void NoteWindow::BuildMenusOnce() {
  if (menus_built_ || !shell_) return;
  menus_built_ = true;
  BuildMenus();
  if (save_entry_) XtSetSensitive(save_entry_, note_->changed());
}

// Runs before every action: the PopupMenu of a note's File or Notes button
// finds the menus made.
void NoteWindow::MenusWhenUsed(Widget w, XtPointer, String action, XEvent*, String*, Cardinal*) {
  if (std::strcmp(action, "PopupMenu") != 0 || !XtIsSubclass(w, menuButtonWidgetClass)) return;
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (window && (window->file_button_ == w || window->options_button_ == w)) {
      window->BuildMenusOnce();
      return;
    }
  }
}

void NoteWindow::BuildMenus() {
  Arg args[1];
  XtSetArg(args[0], XtNlabel, "Menu");
  Widget options_menu = XtCreatePopupShell("OptionsMenu", simpleMenuWidgetClass, options_button_, args, 1);
  XtCreateManagedWidget("OptionsLine", smeLineObjectClass, options_menu, nullptr, 0);
  Widget file = XtCreatePopupShell("FileMenu", simpleMenuWidgetClass, file_button_, args, 1);
  XtCreateManagedWidget("FileLine", smeLineObjectClass, file, nullptr, 0);

  AddNoteMenuEntries(file, options_menu, note_->id);
  save_entry_ = XtNameToWidget(file, "Save");
  anchor_entry_ = XtNameToWidget(options_menu, "Anchor");
  unanchor_entry_ = XtNameToWidget(options_menu, "UnAnchor");
  set_alarm_entry_ = XtNameToWidget(options_menu, "SetAlarm");
  unset_alarm_entry_ = XtNameToWidget(options_menu, "UnsetAlarm");
  ShowAnchored();
  ShowAlarmEntries();
}

void NoteWindow::BuildText(Widget form) {
  Arg args[16];
  Cardinal n = 0;
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainRight); n++;
  XtSetArg(args[n], XtNbottom, XtChainBottom); n++;
  XtSetArg(args[n], XtNfromVert, options_button_); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNwidth, note_->width); n++;
  XtSetArg(args[n], XtNheight, note_->height); n++;
  XtSetArg(args[n], XtNresize, XawtextResizeNever); n++;
  XtSetArg(args[n], XtNhorizDistance, 0); n++;
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNscrollVertical, program.res.scrollBar ? XawtextScrollAlways : XawtextScrollNever);
  n++;
  // The text is Unicode exactly when the program runs in a UTF-8 locale,
  // whatever resources say: the note's file is read and written to match.
  XtSetArg(args[n], XtNinternational, Utf8Notes() ? True : False); n++;
  text_ = XtCreateManagedWidget("NoteText", asciiTextWidgetClass, form, args, n);
  if (Utf8Notes()) XftSinkInstall(text_);

  // The text lives in a source of the program's own, the widget's child
  // "textSource" as AsciiText makes it: no buffer of the program's is
  // edited in place, and no edit passes the cap.
  XtCallbackRec changed[] = {{Changed, this}, {nullptr, nullptr}};
  XtCallbackRec too_long[] = {{TextTooLong, this}, {nullptr, nullptr}};
  // The international source is given the text as wide characters made
  // here (the toolkit's own conversion keeps a copy of every string).
  const bool wide = Utf8Notes();
  n = 0;
  XtSetArg(args[n], XtNstring, wide ? "" : note_->text.c_str()); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], const_cast<String>(XtNmaxLength), static_cast<int>(kMaxTextLength)); n++;
  XtSetArg(args[n], XtNcallback, changed); n++;
  XtSetArg(args[n], const_cast<String>(XtNlimitCallback), too_long); n++;
  source_ = NoteSourceInstall(text_, args, n);
  KeepNoteEditsWhole(program.app_context);
  if (Wide()) {
    // The record's text is UTF-8 already, unless a test put bytes there.
    if (IsValidUtf8(note_->text)) LoadWide(note_->text);
    else LoadWide(StoredTextToUtf8(note_->text));
    XawTextSetSource(text_, source_, 0);
  }
  // The source holds the text from now on: the record lets go of its copy.
  std::string().swap(note_->text);
  BindPasteSelection(text_);
  UseKeyMap(text_, "paste-selection", "paste-over-selection", false);
  // The command keys are the desktop map's; Athena's map keeps its own
  // meanings for Ctrl+N, Ctrl+S, Ctrl+F and Ctrl+W.
  if (CurrentKeyMap() == KeyMap::kDesktop) AddNoteCommandKeys(text_);
  if (!program.res.scrollBar) ScrollBarWhenNeeded(text_);
  ScrollWithWheel(text_);
}

void NoteWindow::Create() {
  Arg args[6];
  Cardinal n = 0;
  if (note_->has_geometry) {
    XtSetArg(args[n], XtNgeometry, geometry_.GeometryResource()); n++;
    XtSetArg(args[n], XtNx, note_->x); n++;
    XtSetArg(args[n], XtNy, note_->y); n++;
  }
  XtSetArg(args[n], XtNtitle, note_->name.c_str()); n++;
  XtSetArg(args[n], XtNinput, True); n++;
  // Keys reach an international text widget through an input method, which
  // the Athena VendorShell keeps for the widgets inside it; without one the
  // text widget takes a typed character's UTF-8 bytes one at a time.
  bool input_method = Utf8Notes();
  if (input_method) DeferInputMethod(args, &n);
  shell_ = XtCreatePopupShell("TackOnNote", input_method ? vendorShellWidgetClass : wmShellWidgetClass,
                              program.toplevel, args, n);
  AnswerEditres(shell_);

  XtSetArg(args[0], XtNdefaultDistance, 0);
  Widget form = XtCreateManagedWidget("Note", formWidgetClass, shell_, args, 1);
  BuildBar(form);
  BuildText(form);
  // The menus cost a start-up with many notes a third of its work: they are
  // made when first popped up, just before the MenuButton looks for them.
  static bool hooked = false;
  if (!hooked) {
    XtAppAddActionHook(program.app_context, MenusWhenUsed, nullptr);
    hooked = true;
  }

  // A new or loaded note starts unchanged; a recovered one changed.
  if (save_entry_) XtSetSensitive(save_entry_, note_->changed());
  XtRealizeWidget(shell_);
  if (input_method) {
    FollowTitleWithUtf8Name(shell_);
    OpenInputMethodWhenUsed(shell_, text_);
  }
  OnWindowClose(shell_, CloseFromWindowManager, this);
  // Every key the note gets goes to its text, wherever the pointer is.
  TakeFocusWhenOffered(shell_);
  XtSetKeyboardFocus(shell_, text_);
  geometry_.Track(shell_);

  if (!note_->has_geometry) {
    Position x = 0, y = 0;
    XtSetArg(args[0], XtNx, &x);
    XtSetArg(args[1], XtNy, &y);
    XtGetValues(shell_, args, 2);
    note_->x = static_cast<unsigned short>(x);
    note_->y = static_cast<unsigned short>(y);
  }
  if (!note_->hidden) XtPopup(shell_, XtGrabNone);
}

bool NoteWindow::ShowFileVersion() {
  if (!shell_) {
    // Never shown: the record holds the text until the window is built.
    if (!note_->hidden) Create();
    return true;
  }
  if (note_->text.size() > MaxLength() || over_cap_label_) return false;
  // The insertion point stays between the same characters, counted as the
  // source counts them.
  const std::size_t caret = static_cast<std::size_t>(std::max<XawTextPosition>(0, InsertionPoint()));
  std::size_t at = 0;
  if (Wide())
    at = CaretInNewText(WideFromUtf8(Text()), WideFromUtf8(StoredTextToUtf8(note_->text)), caret);
  else
    at = CaretInNewText(Text(), note_->text, caret);
  if (!SetText(note_->text)) return false;
  std::string().swap(note_->text);  // the source holds it
  SetInsertionPoint(std::min(static_cast<XawTextPosition>(at), XawTextLastPosition(text_)));
  Arg args[2];
  XtSetArg(args[0], XtNtitle, note_->name.c_str());
  XtSetValues(shell_, args, 1);
  ShowAnchored();
  ShowAlarm();
  // The file's size, place and hidden flag.
  if (shell_->core.width != note_->width || shell_->core.height != note_->height) {
    XtSetArg(args[0], XtNwidth, static_cast<Dimension>(note_->width));
    XtSetArg(args[1], XtNheight, static_cast<Dimension>(note_->height));
    XtSetValues(shell_, args, 2);
  }
  const bool up = reinterpret_cast<ShellWidget>(shell_)->shell.popped_up;
  if (note_->hidden && up) {
    XtPopdown(shell_);
  } else if (!note_->hidden && !up) {
    ReturnTo(shell_, {note_->x, note_->y});
    XtPopup(shell_, XtGrabNone);
  } else if (up) {
    Point at = MoveFrameOnScreen(shell_, {note_->x, note_->y});
    note_->x = at.x;
    note_->y = at.y;
  }
  return true;
}

void NoteWindow::FocusWhenShown() { ::FocusWhenShown(shell_, text_); }

void NoteWindow::SelectBytes(std::size_t from, std::size_t to) {
  std::string text = Text();
  from = std::min(from, text.size());
  to = std::clamp(to, from, text.size());
  auto position = [&](std::size_t bytes) {
    std::string_view head(text.data(), bytes);
    return static_cast<XawTextPosition>(Wide() ? Utf8CharCount(head) : head.size());
  };
  XawTextSetInsertionPoint(text_, position(to));
  XawTextSetSelection(text_, position(from), position(to));
}
