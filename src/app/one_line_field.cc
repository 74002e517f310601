#include "app/one_line_field.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/MultiSrc.h>
#include <X11/Xaw/Text.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>

#include "app/app.h"
#include "app/clipboard.h"
#include "app/one_line.h"
#include "model/utf8.h"

namespace {

struct Field {
  XtCallbackProc on_return = nullptr;
  XtPointer data = nullptr;
  XtIntervalId cleanup = 0;  // a pending removal of line breaks
};

std::map<Widget, Field>& Fields() {
  static std::map<Widget, Field> fields;
  return fields;
}

const char kLineKeys[] =
    "#override\n"
    "<Key>Return: one-line-return()\n"
    "<Key>KP_Enter: one-line-return()\n"
    "<Key>Linefeed: one-line-return()\n"
    "Ctrl<Key>m: one-line-return()\n"
    "Ctrl<Key>j: one-line-return()\n"
    "Ctrl<Key>o: one-line-return()";

void LineKey(Widget w, XEvent*, String*, Cardinal*) {
  auto it = Fields().find(w);
  if (it == Fields().end() || !it->second.on_return) {
    XBell(XtDisplay(w), 0);
    return;
  }
  it->second.on_return(w, it->second.data, nullptr);
}

std::string TextOf(Widget text) {
  String value = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNstring, &value);
  XtGetValues(text, args, 1);
  return value ? value : "";
}

// Text positions count characters: bytes in an ASCII field, multibyte
// characters of the locale in an international one.
bool CountsCharacters(Widget text) { return XtIsSubclass(XawTextGetSource(text), multiSrcObjectClass); }

std::size_t ByteIndex(const std::string& text, XawTextPosition pos, bool characters) {
  if (!characters) return std::min(static_cast<std::size_t>(pos < 0 ? 0 : pos), text.size());
  std::mbstate_t state{};
  std::size_t i = 0;
  for (XawTextPosition n = 0; n < pos && i < text.size(); ++n) {
    std::size_t len = std::mbrlen(text.data() + i, text.size() - i, &state);
    i += len == 0 || len > text.size() - i ? 1 : len;
  }
  return i;
}

XawTextPosition Position(const std::string& text, std::size_t byte_index, bool characters) {
  if (!characters) return static_cast<XawTextPosition>(byte_index);
  std::mbstate_t state{};
  XawTextPosition n = 0;
  for (std::size_t i = 0; i < byte_index && i < text.size(); ++n) {
    std::size_t len = std::mbrlen(text.data() + i, text.size() - i, &state);
    i += len == 0 || len > text.size() - i ? 1 : len;
  }
  return n;
}

// Takes line breaks out of the field once the edit that brought them is
// done (a text widget must not be changed from inside its own change).
void RemoveLineBreaks(XtPointer client_data, XtIntervalId*) {
  Widget text = static_cast<Widget>(client_data);
  auto it = Fields().find(text);
  if (it == Fields().end()) return;
  it->second.cleanup = 0;
  std::string value = TextOf(text);
  if (!HasLineBreak(value)) return;
  bool characters = CountsCharacters(text);
  std::size_t caret = ByteIndex(value, XawTextGetInsertionPoint(text), characters);
  std::string one_line = OneLine(value, &caret);
  SetOneLineFieldText(text, one_line);
  XawTextSetInsertionPoint(text, Position(one_line, caret, characters));
}

void FieldChanged(Widget, XtPointer client_data, XtPointer) {
  Widget text = static_cast<Widget>(client_data);
  auto it = Fields().find(text);
  if (it == Fields().end() || it->second.cleanup) return;
  it->second.cleanup = XtAppAddTimeOut(XtWidgetToApplicationContext(text), 0, RemoveLineBreaks, text);
}

void ForgetField(Widget w, XtPointer, XtPointer) {
  auto it = Fields().find(w);
  if (it == Fields().end()) return;
  if (it->second.cleanup) XtRemoveTimeOut(it->second.cleanup);
  Fields().erase(it);
}

}  // namespace

void MakeOneLineField(Widget text, XtCallbackProc on_return, XtPointer data) {
  static XtTranslations line_keys = nullptr;
  if (!line_keys) {
    static XtActionsRec actions[] = {{const_cast<char*>("one-line-return"), LineKey}};
    XtAppAddActions(XtWidgetToApplicationContext(text), actions, XtNumber(actions));
    line_keys = XtParseTranslationTable(kLineKeys);
  }
  bool known = Fields().count(text) > 0;
  Field& field = Fields()[text];
  field.on_return = on_return;
  field.data = data;
  if (known) return;
  XtOverrideTranslations(text, line_keys);
  UseClipboard(text);
  Arg args[1];
  XtSetArg(args[0], XtNwrap, XawtextWrapNever);
  XtSetValues(text, args, 1);
  XtAddCallback(XawTextGetSource(text), XtNcallback, FieldChanged, text);
  XtAddCallback(text, XtNdestroyCallback, ForgetField, nullptr);
}

std::string OneLineFieldText(Widget text) { return OneLine(TextOf(text)); }

void SetOneLineFieldText(Widget field, const std::string& text) {
  if (!CountsCharacters(field)) {
    Arg args[1];
    XtSetArg(args[0], XtNstring, text.c_str());
    XtSetValues(field, args, 1);
    XawTextSetInsertionPoint(field, static_cast<XawTextPosition>(std::strlen(text.c_str())));
    return;
  }
  std::wstring chars = WideFromUtf8(StoredTextToUtf8(text.c_str()));
  XawTextBlock block;
  block.firstPos = 0;
  block.length = static_cast<int>(chars.size());
  block.ptr = reinterpret_cast<char*>(chars.data());
  block.format = XawFmtWide;
  XawTextReplace(field, 0, XawTextLastPosition(field), &block);
  XawTextSetInsertionPoint(field, block.length);
}
