#include "frame/all_notes.h"

#include <X11/StringDefs.h>

#include <algorithm>
#include <vector>

#include "app/app.h"
#include "frame/note_sizes.h"
#include "app/place_window.h"
#include "app/placement.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "model/utf8.h"
#include "notes/note_commands.h"
#include "notes/note_window.h"

namespace {

// Filled on the first sized note; the screen does not change under us.
PixelsPerInch pixels_per_inch;

// Restacks the window of every shown note in list order, or says `none`
// when there are no notes. A hidden note is left alone (it may have no
// window yet).
void RestackAllNotes(int (*restack)(Display*, Window), const char* none) {
  if (Notes().empty()) {
    ShowError(none);
    return;
  }
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (!note->hidden && window && window->shell() && XtIsRealized(window->shell()))
      restack(program.display, XtWindow(window->shell()));
  }
}

const PixelsPerInch& ScreenInches() {
  if (pixels_per_inch.horizontal == 0 || pixels_per_inch.vertical == 0) {
    Screen* screen = DefaultScreenOfDisplay(program.display);
    pixels_per_inch = ScreenPixelsPerInch(WidthOfScreen(screen), HeightOfScreen(screen),
                                          WidthMMOfScreen(screen), HeightMMOfScreen(screen));
  }
  return pixels_per_inch;
}

// What a note's window has beyond its text: the bar above it and, about,
// a window manager's frame.
constexpr int kFrameWidth = 10;
constexpr int kFrameHeight = 60;

}  // namespace

void RaiseAllNotes() { RestackAllNotes(XRaiseWindow, "There are no notes to raise."); }

void LowerAllNotes() { RestackAllNotes(XLowerWindow, "There are no notes to lower."); }

void UnhideAllNotes() {
  bool any = false;
  for (const auto& note : Notes()) {
    NoteWindow* window = WindowOf(note.get());
    if (!note->hidden || !window) continue;
    window->Show();
    any = true;
  }
  if (!any) ShowError("There are no hidden notes to unhide.");
}

void CascadeNotes() {
  std::vector<CascadeNote> plan_input;
  plan_input.reserve(Notes().size());
  std::vector<NoteWindow*> cascaded;
  bool any_anchor = false;
  for (const auto& note : Notes()) {
    CascadeNote c{note->anchored, note->hidden, 0, 0};
    NoteWindow* window = WindowOf(note.get());
    if (note->anchored && window) {
      // A hidden note may have no window yet: its place is in the record.
      Position x = static_cast<Position>(note->x), y = static_cast<Position>(note->y);
      Arg args[2];
      XtSetArg(args[0], XtNx, &x);
      XtSetArg(args[1], XtNy, &y);
      if (window->shell()) XtGetValues(window->shell(), args, 2);
      c.x = x;
      c.y = y;
      any_anchor = true;
    } else if (!note->anchored && !note->hidden && window) {
      cascaded.push_back(window);
    }
    plan_input.push_back(c);
  }
  if (!any_anchor) {
    ShowError("There are no anchored notes.");
    return;
  }
  // Where the notes to deal out stand, asked all at once: a note that stands
  // at its place already is not moved again.
  NoteWindow::LookAt(cascaded);
  for (std::size_t i = 0; i < Notes().size(); ++i) {
    NoteWindow* window = WindowOf(Notes()[i].get());
    CascadeNote& c = plan_input[i];
    if (window && !c.anchored && !c.hidden) c.placed = window->PlaceForMove(&c.x, &c.y);
  }
  // The moves go out without waiting for the window manager to do each.
  for (const CascadeMove& move : PlanCascade(plan_input, program.res.anchorOffset)) {
    NoteWindow* window = WindowOf(Notes()[move.index].get());
    if (!window) continue;
    if (!move.stays) window->MoveTo(move.x, move.y);
    if (window->shell() && XtIsRealized(window->shell())) XRaiseWindow(program.display, XtWindow(window->shell()));
  }
}

void CreateSizedNote(int index) {
  NoteSize size = StandardNoteSize(index, ScreenInches());
  Note* note = Notes().NewNote(-1);
  note->width = size.width;
  note->height = size.height;
  CreateNoteWindow(note);
}

void CheckNewNoteSize() {
  NoteSize size;
  if (NoteSizeOf(program.res.newNoteSize, {96, 96}, &size)) return;
  ReportOnStandardError(std::string("new note size \"") + program.res.newNoteSize +
                        "\" is not HEIGHTxWIDTH in inches (0.5 to 40 each); using 3x5");
  program.res.newNoteSize = const_cast<char*>("3x5");
}

void NewNoteForTyping(const std::string& text) {
  NoteSize size;
  if (!NoteSizeOf(program.res.newNoteSize, ScreenInches(), &size)) size = StandardNoteSize(4, ScreenInches());
  Point at = KeepInside(PointerPosition(), size.width + kFrameWidth, size.height + kFrameHeight,
                        program.screen_width, program.screen_height);
  Note* note = Notes().NewNote(-1);
  note->width = size.width;
  note->height = size.height;
  note->x = at.x;
  note->y = at.y;
  note->has_geometry = true;
  note->text = text;
  CreateNoteWindow(note);
  if (!text.empty()) note->MarkChanged();
  NoteWindow* window = WindowOf(note);
  if (!window) return;
  // Typing goes on after the given text.
  window->SetInsertionPoint(static_cast<XawTextPosition>(window->Wide() ? Utf8CharCount(text) : text.size()));
  window->FocusWhenShown();
}

void ToggleAllNotes() {
  bool any_shown = std::any_of(Notes().begin(), Notes().end(), [](const auto& note) { return !note->hidden; });
  if (Notes().empty()) return;
  if (!any_shown) {
    UnhideAllNotes();
    return;
  }
  for (const auto& note : Notes())
    if (!note->hidden && WindowOf(note.get())) HideNote(note.get());
}
