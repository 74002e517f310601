#include "notes/note_window_scroll.h"

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextP.h>

#include <map>

#include "app/app.h"

namespace {

// The check waiting to run for each text widget, after the toolkit has
// finished with the edit or the resize that asked for it.
std::map<Widget, XtIntervalId>& Pending() {
  static std::map<Widget, XtIntervalId> pending;
  return pending;
}

// Whether text lies outside the window: the line table holds the lines in
// view, so this costs the same for a short and a long note.
bool TextOutOfView(Widget text) {
  const TextPart& t = reinterpret_cast<TextWidget>(text)->text;
  if (t.lt.top > 0) return true;
  return t.lt.lines > 0 && t.lt.info[t.lt.lines].position <= t.lastPos;
}

void Check(XtPointer client_data, XtIntervalId*) {
  Widget text = static_cast<Widget>(client_data);
  Pending().erase(text);
  if (!XtIsRealized(text)) return;
  const TextPart& t = reinterpret_cast<TextWidget>(text)->text;
  bool shown = t.vbar != nullptr;
  if (TextOutOfView(text) == shown) return;
  // Athena's text makes itself the keyboard focus of a bar it creates and
  // never undoes that when it destroys the bar: the text would keep a
  // destroy callback pointing into the freed bar.
  if (shown) XtSetKeyboardFocus(t.vbar, None);
  Arg args[1];
  XtSetArg(args[0], XtNscrollVertical, shown ? XawtextScrollNever : XawtextScrollAlways);
  XtSetValues(text, args, 1);
}

void Schedule(Widget text) {
  if (Pending().count(text)) return;
  Pending()[text] = XtAppAddTimeOut(XtWidgetToApplicationContext(text), 0, Check, text);
}

// The source's change callback (client data: the text widget): it runs for
// typed edits and for the program's own alike.
void TextChanged(Widget, XtPointer client_data, XtPointer) { Schedule(static_cast<Widget>(client_data)); }

void SizeOrMap(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (event->type == ConfigureNotify || event->type == MapNotify) Schedule(w);
}

void Forget(Widget w, XtPointer, XtPointer) {
  auto it = Pending().find(w);
  if (it == Pending().end()) return;
  XtRemoveTimeOut(it->second);
  Pending().erase(it);
}

}  // namespace

void ScrollBarWhenNeeded(Widget text) {
  Arg args[1];
  XtSetArg(args[0], XtNscrollVertical, XawtextScrollNever);
  XtSetValues(text, args, 1);
  XtAddCallback(XawTextGetSource(text), XtNcallback, TextChanged, text);
  XtAddCallback(text, XtNdestroyCallback, Forget, nullptr);
  XtAddEventHandler(text, StructureNotifyMask, False, SizeOrMap, nullptr);
}
