#include "app/text_keys.h"

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xutil.h>
#include <X11/Xaw/MultiSrc.h>
#include <X11/Xaw/TextP.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>

#include "app/app.h"
#include "app/clipboard.h"
#include "app/report.h"
#include "app/widget_state.h"

namespace {

bool Wide(Widget text) { return XtIsSubclass(XawTextGetSource(text), multiSrcObjectClass); }

Time EventTime(Widget w, const XEvent* event) {
  if (event && (event->type == KeyPress || event->type == KeyRelease)) return event->xkey.time;
  if (event && (event->type == ButtonPress || event->type == ButtonRelease)) return event->xbutton.time;
  return XtLastTimestampProcessed(XtDisplay(w));
}

bool HasSelection(Widget text, XawTextPosition* left, XawTextPosition* right) {
  XawTextGetSelectionPos(text, left, right);
  return *left < *right;
}

// Deletes the selected text, as one edit; false when nothing is selected.
bool DeleteSelection(Widget text) {
  XawTextPosition left = 0, right = 0;
  if (!HasSelection(text, &left, &right)) return false;
  wchar_t nothing[1] = {0};
  XawTextBlock block;
  block.firstPos = 0;
  block.length = 0;
  block.ptr = reinterpret_cast<char*>(nothing);
  block.format = Wide(text) ? XawFmtWide : XawFmt8Bit;
  XawTextUnsetSelection(text);
  if (XawTextReplace(text, left, right, &block) == XawEditDone) XawTextSetInsertionPoint(text, left);
  return true;
}

void CallAction(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  if (*num_params >= 1) XtCallActionProc(w, params[0], event, params + 1, *num_params - 1);
}

// copy-clipboard(): the selection becomes the CLIPBOARD (a copy of it).
void CopyClipboard(Widget w, XEvent* event, String*, Cardinal*) {
  std::string text = SelectedText(w);
  if (!text.empty()) CopyToClipboard(text, Wide(w), EventTime(w, event));
}

// cut-clipboard(): the same, and the selection is deleted.
void CutClipboard(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  std::string text = SelectedText(w);
  if (text.empty()) return;
  CopyClipboard(w, event, params, num_params);
  DeleteSelection(w);
}

// delete-or(action): deletes the selection, or runs the action when there
// is none.
void DeleteOr(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  if (!DeleteSelection(w)) CallAction(w, event, params, num_params);
}

// replace-selection(): deletes the selection, if any (before a paste).
void ReplaceSelection(Widget w, XEvent*, String*, Cardinal*) { DeleteSelection(w); }

// move(action): the selection goes, and the action moves the caret.
void Move(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  XawTextPosition left = 0, right = 0;
  if (HasSelection(w, &left, &right)) XawTextUnsetSelection(w);
  CallAction(w, event, params, num_params);
}

// select-to(action): the action moves the caret and the selection runs
// from its fixed end (the end the caret is not at, or where the caret
// was) to the caret.
void SelectTo(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  XawTextPosition caret = XawTextGetInsertionPoint(w);
  XawTextPosition left = 0, right = 0, anchor = caret;
  if (HasSelection(w, &left, &right) && (caret == left || caret == right)) anchor = caret == left ? right : left;
  CallAction(w, event, params, num_params);
  caret = XawTextGetInsertionPoint(w);
  XawTextSetSelection(w, std::min(anchor, caret), std::max(anchor, caret));
}

// redo(): the toolkit's undo run backwards (its count made negative).
void Redo(Widget w, XEvent* event, String*, Cardinal*) {
  reinterpret_cast<TextWidget>(w)->text.mult = -1;
  XtCallActionProc(w, "undo", event, nullptr, 0);
}

// A key that puts a character in (no Ctrl or Alt, not a modifier, not one
// of the editing keys) replaces the selection: it goes before the text
// widget's own translations insert the character. Client data: whether
// the field is one line, where the line-ending keys insert nothing.
void TypeOverSelection(Widget w, XtPointer client_data, XEvent* event, Boolean*) {
  if (event->type != KeyPress || (event->xkey.state & (ControlMask | Mod1Mask))) return;
  XKeyEvent copy = event->xkey;
  char bytes[8];
  KeySym keysym = NoSymbol;
  int count = XLookupString(&copy, bytes, sizeof bytes, &keysym, nullptr);
  if (IsModifierKey(keysym)) return;
  bool line_end = keysym == XK_Return || keysym == XK_KP_Enter || keysym == XK_Linefeed;
  if (line_end && client_data) return;
  bool character = count > 0 ? (static_cast<unsigned char>(bytes[0]) >= 0x20 && bytes[0] != 0x7f) || bytes[0] == '\t' || line_end
                             : (keysym >= 0x100 && keysym < 0xff00) || keysym >= 0x1000100;
  if (character) DeleteSelection(w);
}

XtActionsRec actions[] = {
    {const_cast<String>("copy-clipboard"), CopyClipboard},
    {const_cast<String>("cut-clipboard"), CutClipboard},
    {const_cast<String>("delete-or"), DeleteOr},
    {const_cast<String>("replace-selection"), ReplaceSelection},
    {const_cast<String>("move"), Move},
    {const_cast<String>("select-to"), SelectTo},
    {const_cast<String>("redo"), Redo},
};

}  // namespace

namespace {

bool key_map_known = false;
KeyMap key_map = KeyMap::kDesktop;

}  // namespace

void ChooseKeyMap(KeyMap map) {
  key_map = map;
  key_map_known = true;
}

KeyMap CurrentKeyMap() {
  if (key_map_known) return key_map;
  key_map_known = true;
  KeyMap& map = key_map;
  String value = nullptr;
  XtResource resource = {const_cast<String>("keyMap"), const_cast<String>("KeyMap"), const_cast<String>(XtRString),
                         sizeof(String), 0, const_cast<String>(XtRString), const_cast<String>("desktop")};
  XtGetApplicationResources(program.toplevel, &value, &resource, 1, nullptr, 0);
  std::string err;
  if (!ParseKeyMap(value ? value : "", &map, &err)) {
    map = KeyMap::kDesktop;
    ReportOnStandardError(err);
  }
  return map;
}

void UseKeyMap(Widget text, const char* paste, const char* paste_over, bool one_line) {
  if (CurrentKeyMap() == KeyMap::kAthena) {
    UseClipboard(text, paste);
    return;
  }
  static bool registered = false;
  if (!registered) {
    XtAppAddActions(XtWidgetToApplicationContext(text), actions, XtNumber(actions));
    registered = true;
  }
  XtOverrideTranslations(text, SharedTranslations(text, DesktopTranslations(paste_over, one_line).c_str()));
  XtInsertEventHandler(text, KeyPressMask, False, TypeOverSelection, one_line ? text : nullptr, XtListHead);
  // The toolkit's undo keeps pieces of the text it was made on: a text the
  // widget is given whole (a field's value, set by the dialogs) would leave
  // it pointing into freed pieces. Notes, whose text the program replaces
  // only through ForgetUndo's caller, have it; one-line fields do not.
  if (one_line) return;
  Arg arg;
  XtSetArg(arg, XtNenableUndo, True);
  XtSetValues(XawTextGetSource(text), &arg, 1);
}

void ForgetUndo(Widget text) {
  Widget source = XawTextGetSource(text);
  Boolean enabled = False;
  Arg arg;
  XtSetArg(arg, XtNenableUndo, &enabled);
  XtGetValues(source, &arg, 1);
  if (!enabled) return;
  XtSetArg(arg, XtNenableUndo, False);
  XtSetValues(source, &arg, 1);
  XtSetArg(arg, XtNenableUndo, True);
  XtSetValues(source, &arg, 1);
}
