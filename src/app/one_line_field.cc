#include "app/one_line_field.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/MultiSrc.h>
#include <X11/Xaw/Text.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "app/app.h"
#include "app/one_line.h"
#include "app/text_keys.h"
#include "app/widget_state.h"
#include "model/utf8.h"

namespace {

// What a field keeps while its widget exists: the client data of its
// source's change callback (FieldChanged), freed with the widget
// (ForgetField).
struct Field {
  Widget text = nullptr;
  XtCallbackProc on_return = nullptr;
  XtPointer data = nullptr;
  XtIntervalId cleanup = 0;  // a pending removal of line breaks
};

void FieldChanged(Widget, XtPointer client_data, XtPointer);

Field* FieldOf(Widget w) {
  if (!XtIsSubclass(w, textWidgetClass)) return nullptr;
  return static_cast<Field*>(CallbackData(XawTextGetSource(w), const_cast<String>(XtNcallback), FieldChanged));
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
  Field* field = FieldOf(w);
  if (!field || !field->on_return) {
    XBell(XtDisplay(w), 0);
    return;
  }
  field->on_return(w, field->data, nullptr);
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
  auto* field = static_cast<Field*>(client_data);
  field->cleanup = 0;
  Widget text = field->text;
  std::string value = TextOf(text);
  if (!HasLineBreak(value)) return;
  bool characters = CountsCharacters(text);
  std::size_t caret = ByteIndex(value, XawTextGetInsertionPoint(text), characters);
  std::string one_line = OneLine(value, &caret);
  SetOneLineFieldText(text, one_line);
  XawTextSetInsertionPoint(text, Position(one_line, caret, characters));
}

// The source's change callback (client data: the field).
void FieldChanged(Widget, XtPointer client_data, XtPointer) {
  auto* field = static_cast<Field*>(client_data);
  if (field->cleanup) return;
  field->cleanup = XtAppAddTimeOut(XtWidgetToApplicationContext(field->text), 0, RemoveLineBreaks, field);
}

// The field goes with its widget, and so do its callback on the source and
// a removal still waiting to run.
void ForgetField(Widget w, XtPointer client_data, XtPointer) {
  auto* field = static_cast<Field*>(client_data);
  if (field->cleanup) XtRemoveTimeOut(field->cleanup);
  XtRemoveCallback(XawTextGetSource(w), XtNcallback, FieldChanged, field);
  delete field;
}

}  // namespace

void MakeOneLineField(Widget text, XtCallbackProc on_return, XtPointer data) {
  static bool registered = false;
  if (!registered) {
    static XtActionsRec actions[] = {{const_cast<char*>("one-line-return"), LineKey}};
    XtAppAddActions(XtWidgetToApplicationContext(text), actions, XtNumber(actions));
    registered = true;
  }
  if (Field* known = FieldOf(text)) {
    known->on_return = on_return;
    known->data = data;
    return;
  }
  auto* field = new Field{text, on_return, data};
  XtOverrideTranslations(text, SharedTranslations(text, kLineKeys));
  UseKeyMap(text, "insert-selection", "replace-selection() insert-selection", true);
  Arg args[1];
  XtSetArg(args[0], XtNwrap, XawtextWrapNever);
  XtSetValues(text, args, 1);
  XtAddCallback(XawTextGetSource(text), XtNcallback, FieldChanged, field);
  XtAddCallback(text, XtNdestroyCallback, ForgetField, field);
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
