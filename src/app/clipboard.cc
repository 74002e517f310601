#include "app/clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/Xaw/Text.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/widget_state.h"
#include "model/utf8.h"

namespace {

std::string ClipboardBindings(const std::string& paste) {
  return "#override\n"
         "<Btn1Up>: extend-end(PRIMARY, CLIPBOARD, CUT_BUFFER0)\n"
         "<Btn3Up>: extend-end(PRIMARY, CLIPBOARD, CUT_BUFFER0)\n"
         "Shift<Key>Insert: " + paste + "(CLIPBOARD)\n"
         "Ctrl Shift<Key>v: " + paste + "(CLIPBOARD)\n"
         "Ctrl Shift<Key>V: " + paste + "(CLIPBOARD)";
}

// The text the program holds the CLIPBOARD with: its own copy, so that it
// outlives the selection and the widget it came from.
struct Clipboard {
  std::string text;
  bool utf8 = false;
} clipboard;

// The text in the encoding of a target; false when the text cannot be
// given as that.
bool Encode(Display* d, Atom target, Atom* type, std::string* out) {
  Atom utf8_string = XInternAtom(d, "UTF8_STRING", False);
  Atom compound = XInternAtom(d, "COMPOUND_TEXT", False);
  Atom text = XInternAtom(d, "TEXT", False);
  if (target == utf8_string) {
    *type = utf8_string;
    *out = clipboard.utf8 ? clipboard.text : StoredTextToUtf8(clipboard.text);
    return true;
  }
  if (target != XA_STRING && target != text && target != compound) return false;
  if (!clipboard.utf8 && target != compound) {
    // Bytes of the C locale go as they are, as the text widget gives them.
    *type = XA_STRING;
    *out = clipboard.text;
    return true;
  }
  XICCEncodingStyle style = target == XA_STRING ? XStringStyle
                            : target == compound ? XCompoundTextStyle
                                                 : XStdICCTextStyle;
  std::string utf8 = clipboard.utf8 ? clipboard.text : StoredTextToUtf8(clipboard.text);
  char* list[] = {utf8.data()};
  XTextProperty property{};
  if (Xutf8TextListToTextProperty(d, list, 1, style, &property) < 0 || !property.value) return false;
  *type = property.encoding;
  out->assign(reinterpret_cast<char*>(property.value), property.nitems);
  XFree(property.value);
  return true;
}

Boolean Convert(Widget w, Atom*, Atom* target, Atom* type, XtPointer* value, unsigned long* length, int* format) {
  Display* d = XtDisplay(w);
  if (*target == XInternAtom(d, "TARGETS", False)) {
    const Atom targets[] = {XInternAtom(d, "TARGETS", False), XInternAtom(d, "UTF8_STRING", False),
                            XInternAtom(d, "COMPOUND_TEXT", False), XInternAtom(d, "TEXT", False), XA_STRING};
    auto* list = reinterpret_cast<Atom*>(XtMalloc(sizeof targets));
    std::memcpy(list, targets, sizeof targets);
    *type = XA_ATOM;
    *value = list;
    *length = sizeof targets / sizeof targets[0];
    *format = 32;
    return True;
  }
  std::string bytes;
  if (!Encode(d, *target, type, &bytes)) return False;
  char* copy = XtMalloc(static_cast<Cardinal>(bytes.size() + 1));
  std::memcpy(copy, bytes.data(), bytes.size());
  *value = copy;
  *length = bytes.size();
  *format = 8;
  return True;
}

// Another program took the CLIPBOARD: the copy is no longer needed.
void Lose(Widget, Atom*) { std::string().swap(clipboard.text); }

}  // namespace

void UseClipboard(Widget text, const char* paste_action) {
  // Each paste action's bindings are parsed once, by the toolkit.
  XtOverrideTranslations(text, SharedTranslations(text, ClipboardBindings(paste_action).c_str()));
}

std::string SelectedText(Widget text) {
  XawTextPosition left = 0, right = 0;
  XawTextGetSelectionPos(text, &left, &right);
  std::string out;
  Widget source = XawTextGetSource(text);
  for (XawTextPosition pos = left; pos < right;) {
    XawTextBlock block;
    XawTextPosition next = XawTextSourceRead(source, pos, &block, static_cast<int>(right - pos));
    if (block.length <= 0 || next <= pos) break;
    if (block.format == XawFmtWide)
      AppendWideAsUtf8(&out, reinterpret_cast<const wchar_t*>(block.ptr), static_cast<std::size_t>(block.length));
    else
      out.append(block.ptr, static_cast<std::size_t>(block.length));
    pos = next;
  }
  return out;
}

bool CopyToClipboard(const std::string& text, bool utf8, Time time) {
  Widget owner = program.toplevel;
  Atom selection = XInternAtom(XtDisplay(owner), "CLIPBOARD", False);
  // The toolkit may tell the loss of the old text first.
  if (!XtOwnSelection(owner, selection, time, Convert, Lose, nullptr)) return false;
  clipboard.text = text;
  clipboard.utf8 = utf8;
  return true;
}
