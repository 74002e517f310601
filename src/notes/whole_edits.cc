#include "notes/whole_edits.h"

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>

#include <cstring>
#include <vector>

#include "notes/NoteSource.h"

namespace {

// The callbacks a Replace All button had before it was made whole.
struct WholeReplaceAll {
  Widget text;
  std::vector<XtCallbackRec> callbacks;
};

bool ShowsNoteSource(Widget text) {
  Widget source = XawTextGetSource(text);
  return source && (XtIsSubclass(source, noteSourceObjectClass) || XtIsSubclass(source, noteMultiSourceObjectClass));
}

// Runs Athena's Replace All as one edit of the note's source; when the cap
// refused a step, the text widget is shown the text as it was before.
void ReplaceAllWhole(Widget button, XtPointer client_data, XtPointer call_data) {
  auto* whole = static_cast<WholeReplaceAll*>(client_data);
  Widget text = whole->text;
  Widget source = XawTextGetSource(text);
  XawTextPosition top = XawTextTopPosition(text);
  XawTextPosition caret = XawTextGetInsertionPoint(text);
  NoteSourceBeginEdit(source);
  for (const XtCallbackRec& cb : whole->callbacks) cb.callback(button, cb.closure, call_data);
  if (!NoteSourceEndEdit(source)) {
    XawTextSetSource(text, source, top);
    XawTextSetInsertionPoint(text, caret);
  }
}

void Forget(Widget, XtPointer client_data, XtPointer) { delete static_cast<WholeReplaceAll*>(client_data); }

// The text widget's search popup, once it has made one.
Widget SearchPopup(Widget text) {
  for (Cardinal i = 0; i < text->core.num_popups; ++i)
    if (std::strcmp(XtName(text->core.popup_list[i]), "search") == 0) return text->core.popup_list[i];
  return nullptr;
}

// Puts ReplaceAllWhole in place of the callbacks of the Replace All button
// of the text widget's search popup, once.
void WrapReplaceAll(XtPointer client_data, XtIntervalId*) {
  Widget text = static_cast<Widget>(client_data);
  Widget popup = SearchPopup(text);
  Widget button = popup ? XtNameToWidget(popup, "*replaceAll") : nullptr;
  if (!button) return;
  XtCallbackList list = nullptr;
  Arg arg;
  XtSetArg(arg, XtNcallback, &list);
  XtGetValues(button, &arg, 1);
  for (XtCallbackList cb = list; cb && cb->callback; ++cb)
    if (cb->callback == ReplaceAllWhole) return;
  auto* whole = new WholeReplaceAll{text, {}};
  for (XtCallbackList cb = list; cb && cb->callback; ++cb) whole->callbacks.push_back(*cb);
  XtRemoveAllCallbacks(button, XtNcallback);
  XtAddCallback(button, XtNcallback, ReplaceAllWhole, whole);
  XtAddCallback(button, XtNdestroyCallback, Forget, whole);
}

// Runs before every action: after the search action of a note's text (which
// makes the popup the first time), its Replace All is made whole. The
// zero timeout fires before the next event is handled.
void AfterSearch(Widget w, XtPointer, String action, XEvent*, String*, Cardinal*) {
  if (std::strcmp(action, "search") != 0 || !XtIsSubclass(w, textWidgetClass) || !ShowsNoteSource(w)) return;
  XtAppAddTimeOut(XtWidgetToApplicationContext(w), 0, WrapReplaceAll, w);
}

}  // namespace

void KeepNoteEditsWhole(XtAppContext app) {
  static bool kept = false;
  if (kept) return;
  kept = true;
  XtAppAddActionHook(app, AfterSearch, nullptr);
}
