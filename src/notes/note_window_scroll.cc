#include "notes/note_window_scroll.h"

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextP.h>

#include "app/app.h"
#include "app/widget_state.h"

namespace {

// What a text widget keeps while its widget exists: the check waiting to
// run after the toolkit has finished with the edit or the resize that asked
// for it. It is the client data of the callbacks and the event handler
// below, and goes with the widget (Forget).
struct ScrollCheck {
  Widget text = nullptr;
  XtIntervalId pending = 0;
};

// Whether text lies outside the window: the line table holds the lines in
// view, so this costs the same for a short and a long note.
bool TextOutOfView(Widget text) {
  const TextPart& t = reinterpret_cast<TextWidget>(text)->text;
  if (t.lt.top > 0) return true;
  return t.lt.lines > 0 && t.lt.info[t.lt.lines].position <= t.lastPos;
}

void Check(XtPointer client_data, XtIntervalId*) {
  auto* check = static_cast<ScrollCheck*>(client_data);
  check->pending = 0;
  Widget text = check->text;
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

void Schedule(ScrollCheck* check) {
  if (check->pending) return;
  check->pending = XtAppAddTimeOut(XtWidgetToApplicationContext(check->text), 0, Check, check);
}

// The source's change callback: it runs for typed edits and for the
// program's own alike.
void TextChanged(Widget, XtPointer client_data, XtPointer) { Schedule(static_cast<ScrollCheck*>(client_data)); }

void SizeOrMap(Widget, XtPointer client_data, XEvent* event, Boolean*) {
  if (event->type == ConfigureNotify || event->type == MapNotify) Schedule(static_cast<ScrollCheck*>(client_data));
}

// The text widget goes (a note deleted while a check waits, say): so do
// the check, its callback on the source and the state.
void Forget(Widget w, XtPointer client_data, XtPointer) {
  auto* check = static_cast<ScrollCheck*>(client_data);
  if (check->pending) XtRemoveTimeOut(check->pending);
  XtRemoveCallback(XawTextGetSource(w), XtNcallback, TextChanged, check);
  delete check;
}

}  // namespace

void ScrollBarWhenNeeded(Widget text) {
  Arg args[1];
  XtSetArg(args[0], XtNscrollVertical, XawtextScrollNever);
  XtSetValues(text, args, 1);
  auto* check = new ScrollCheck{text};
  XtAddCallback(XawTextGetSource(text), XtNcallback, TextChanged, check);
  XtAddCallback(text, XtNdestroyCallback, Forget, check);
  XtAddEventHandler(text, StructureNotifyMask, False, SizeOrMap, check);
}

void ScrollWithWheel(Widget text) {
  // Three lines a notch, as most programs scroll. The insertion point stays.
  static const char kWheel[] =
      "#override\n"
      "<Btn4Down>: scroll-one-line-down() scroll-one-line-down() scroll-one-line-down()\n"
      "<Btn5Down>: scroll-one-line-up() scroll-one-line-up() scroll-one-line-up()";
  XtOverrideTranslations(text, SharedTranslations(text, kWheel));
}
