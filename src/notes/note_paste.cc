#include "notes/note_paste.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/widget_state.h"
#include "model/utf8.h"
#include "notes/NoteSource.h"

namespace {

// A text widget paste-selection is bound in, while it exists: the client
// data of a change callback on its source (Bound), freed with the widget
// (Forget). A paste still waiting for a reply shares `alive`, and a reply
// that arrives for a widget no longer there is dropped.
struct PasteTarget {
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// The change callback that marks the source of a bound text widget; a
// change needs nothing of it.
void Bound(Widget, XtPointer, XtPointer) {}

void Forget(Widget w, XtPointer client_data, XtPointer) {
  auto* target = static_cast<PasteTarget*>(client_data);
  *target->alive = false;
  XtRemoveCallback(XawTextGetSource(w), XtNcallback, Bound, target);
  delete target;
}

PasteTarget* TargetOf(Widget w) {
  if (!XtIsSubclass(w, textWidgetClass)) return nullptr;
  return static_cast<PasteTarget*>(CallbackData(XawTextGetSource(w), const_cast<String>(XtNcallback), Bound));
}

// One paste: the selections still to try and the target asked of the
// current one.
struct PasteRequest {
  std::shared_ptr<bool> alive;  // the widget's
  std::vector<std::string> selections;
  std::size_t selection = 0;
  std::size_t target = 0;
  Time time = CurrentTime;
  bool over_selection = false;  // the text replaces the selection, if any
};

// Whether the widget keeps wide characters (international mode).
bool Wide(Widget text) {
  Boolean international = False;
  Arg arg;
  XtSetArg(arg, XtNinternational, &international);
  XtGetValues(text, &arg, 1);
  return international;
}

// The targets asked for, in order, until the owner converts one.
std::vector<Atom> Targets(Widget text) {
  Display* d = XtDisplay(text);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom compound = XInternAtom(d, "COMPOUND_TEXT", False);
  Atom any_text = XInternAtom(d, "TEXT", False);
  if (Wide(text)) return {utf8, any_text, compound, XA_STRING};
  return {any_text, utf8, compound, XA_STRING};
}

// The number of a cut buffer selection (CUT_BUFFER0..7), else -1.
int CutBuffer(Atom selection) {
  if (selection >= XA_CUT_BUFFER0 && selection <= XA_CUT_BUFFER7) return static_cast<int>(selection - XA_CUT_BUFFER0);
  return -1;
}

// The characters of a selection's bytes for a widget that keeps wide
// characters, converted here so that nothing is lost on the way: UTF8_STRING
// as UTF-8 (bytes that are not valid UTF-8 read as Latin-1, as a note file's
// are), STRING as Latin-1, a cut buffer (None) as either; false for any
// other encoding.
bool WideText(Display* d, Atom encoding, std::string_view bytes, std::wstring* chars) {
  if (encoding == XA_STRING) *chars = WideFromUtf8(Latin1ToUtf8(bytes));
  else if (encoding == XInternAtom(d, "UTF8_STRING", False) || encoding == None)
    *chars = WideFromUtf8(StoredTextToUtf8(bytes));
  else
    return false;
  return true;
}

// The part of a selection's bytes worth converting to wide characters: all
// of them when they may fit the note's text source (a NoteSource), else the
// first bytes past the room left. Their characters take at least as many
// bytes in UTF-8, so the source refuses them as it would the whole, and a
// huge selection costs no more memory than the note.
std::string_view WorthConverting(Widget text, std::string_view bytes) {
  Widget source = XawTextGetSource(text);
  int cap = 0;
  Arg arg;
  XtSetArg(arg, const_cast<String>(XtNmaxLength), &cap);
  XtGetValues(source, &arg, 1);
  if (cap <= 0 || !XtIsSubclass(source, noteMultiSourceObjectClass)) return bytes;
  XawTextPosition length = NoteSourceLength(source);
  std::size_t room = length < cap ? static_cast<std::size_t>(cap - length) : 0;
  return bytes.substr(0, room + 1);
}

// Inserts text received as `encoding` (None: a cut buffer's bytes) at the
// caret. A widget that keeps wide characters (international mode) gets the
// text converted from any encoding; one that keeps bytes gets the bytes as
// they came (so UTF-8 text stays UTF-8 in the note's file), only compound
// text is converted to the locale's. The text ends at its first NUL. The
// source refuses an edit past the note's cap as a whole; the caret moves
// only when the text went in. With over_selection the text takes the place
// of the selected text, if any, in the same edit.
void Insert(Widget text, Atom encoding, int format, const void* bytes, unsigned long length,
            bool over_selection) {
  XTextProperty property;
  property.value = static_cast<unsigned char*>(const_cast<void*>(bytes));
  property.encoding = encoding;
  property.format = format;
  property.nitems = length;
  XawTextBlock block;
  block.firstPos = 0;
  block.format = XawFmt8Bit;
  std::string narrow;
  std::wstring wide;
  int count = 0;
  const char* start = static_cast<const char*>(bytes);
  std::string_view until_nul(start, strnlen(start, std::min<unsigned long>(length, INT_MAX)));
  if (Wide(text) && WideText(XtDisplay(text), encoding, WorthConverting(text, until_nul), &wide)) {
    block.format = XawFmtWide;
    block.ptr = reinterpret_cast<char*>(wide.data());
    block.length = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
  } else if (Wide(text)) {
    wchar_t** list = nullptr;
    if (XwcTextPropertyToTextList(XtDisplay(text), &property, &list, &count) < 0 || !list) return;
    for (int i = 0; i < count; ++i) wide += list[i];
    XwcFreeStringList(list);
    block.format = XawFmtWide;
    block.ptr = reinterpret_cast<char*>(wide.data());
    block.length = static_cast<int>(wide.size());
  } else if (encoding == XInternAtom(XtDisplay(text), "COMPOUND_TEXT", False)) {
    char** list = nullptr;
    if (XmbTextPropertyToTextList(XtDisplay(text), &property, &list, &count) < 0 || !list) return;
    for (int i = 0; i < count; ++i) narrow += list[i];
    XFreeStringList(list);
    block.ptr = narrow.data();
    block.length = static_cast<int>(narrow.size());
  } else {
    // A note holds no NUL: the text ends at the first one. A text too long
    // for a block is still offered as the longest block, which the source
    // refuses as past the cap.
    block.ptr = const_cast<char*>(start);
    block.length = static_cast<int>(until_nul.size());
  }
  if (block.length <= 0) return;
  XawTextPosition pos = XawTextGetInsertionPoint(text);
  XawTextPosition end = pos;
  if (over_selection) {
    XawTextPosition left = 0, right = 0;
    XawTextGetSelectionPos(text, &left, &right);
    if (left < right) {
      pos = left;
      end = right;
    }
  }
  if (XawTextReplace(text, pos, end, &block) != XawEditDone) return;
  if (end != pos) XawTextUnsetSelection(text);
  XawTextSetInsertionPoint(text, pos + block.length);
}

void Ask(Widget text, std::unique_ptr<PasteRequest> request);

// A selection's value, or nothing: the value is freed here whatever
// becomes of it; nothing leads to the next target or selection.
void Received(Widget text, XtPointer client_data, Atom*, Atom* type, XtPointer value, unsigned long* length,
              int* format) {
  std::unique_ptr<PasteRequest> request(static_cast<PasteRequest*>(client_data));
  bool got = value && *length > 0 && *type != None && *type != XT_CONVERT_FAIL && *format == 8;
  bool alive = *request->alive;
  if (got && alive) Insert(text, *type, *format, value, *length, request->over_selection);
  XtFree(static_cast<char*>(value));
  if (got || !alive) return;
  if (++request->target >= Targets(text).size()) {
    request->target = 0;
    ++request->selection;
  }
  Ask(text, std::move(request));
}

// Asks for the current selection in the current target; a cut buffer is
// read at once. Ends with the first selection that holds text.
void Ask(Widget text, std::unique_ptr<PasteRequest> request) {
  Display* d = XtDisplay(text);
  for (; request->selection < request->selections.size(); ++request->selection) {
    Atom selection = XInternAtom(d, request->selections[request->selection].c_str(), False);
    int buffer = CutBuffer(selection);
    if (buffer < 0) {
      Atom target = Targets(text)[request->target];
      Time time = request->time;
      XtGetSelectionValue(text, selection, target, Received, request.release(), time);
      return;
    }
    int nbytes = 0;
    char* bytes = XFetchBuffer(d, &nbytes, buffer);
    if (bytes && nbytes > 0)
      Insert(text, None, 8, bytes, static_cast<unsigned long>(nbytes), request->over_selection);
    if (bytes) XFree(bytes);
    if (nbytes > 0) return;
    request->target = 0;
  }
}

Time EventTime(Widget w, const XEvent* event) {
  if (event) {
    switch (event->type) {
      case ButtonPress:
      case ButtonRelease:
        return event->xbutton.time;
      case KeyPress:
      case KeyRelease:
        return event->xkey.time;
      default:
        break;
    }
  }
  return XtLastTimestampProcessed(XtDisplay(w));
}

void Paste(Widget w, XEvent* event, String* params, Cardinal* num_params, bool over_selection) {
  PasteTarget* target = TargetOf(w);
  if (!target) return;
  auto request = std::make_unique<PasteRequest>();
  request->over_selection = over_selection;
  request->alive = target->alive;
  for (Cardinal i = 0; i < *num_params; ++i) request->selections.emplace_back(params[i]);
  if (request->selections.empty()) request->selections = {"PRIMARY", "CUT_BUFFER0"};
  request->time = EventTime(w, event);
  Ask(w, std::move(request));
}

// The actions: paste-selection(selection...) and paste-over-selection(selection...).
void PasteSelection(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  Paste(w, event, params, num_params, false);
}

void PasteOverSelection(Widget w, XEvent* event, String* params, Cardinal* num_params) {
  Paste(w, event, params, num_params, true);
}

XtActionsRec actions[] = {
    {const_cast<String>("paste-selection"), PasteSelection},
    {const_cast<String>("paste-over-selection"), PasteOverSelection},
};

// Athena's bindings of insert-selection, with the same selections.
const char kPasteTranslations[] =
    "#override\n"
    "<Btn2Down>: paste-selection(PRIMARY, CUT_BUFFER0)\n"
    "s <Key>Insert: paste-selection(PRIMARY, CUT_BUFFER0)\n"
    "c<Key>Y: paste-selection(SECONDARY)\n"
    "c<Key>C: paste-selection(CUT_BUFFER0)";

}  // namespace

void BindPasteSelection(Widget text) {
  static bool registered = false;
  if (!registered) {
    XtAppAddActions(XtWidgetToApplicationContext(text), actions, XtNumber(actions));
    registered = true;
  }
  XtOverrideTranslations(text, SharedTranslations(text, kPasteTranslations));
  if (TargetOf(text)) return;
  auto* target = new PasteTarget;
  XtAddCallback(XawTextGetSource(text), XtNcallback, Bound, target);
  XtAddCallback(text, XtNdestroyCallback, Forget, target);
}
