#include "app/clipboard.h"

#include <map>
#include <string>

namespace {

std::string ClipboardBindings(const std::string& paste) {
  return "#override\n"
         "<Btn1Up>: extend-end(PRIMARY, CLIPBOARD, CUT_BUFFER0)\n"
         "<Btn3Up>: extend-end(PRIMARY, CLIPBOARD, CUT_BUFFER0)\n"
         "Shift<Key>Insert: " + paste + "(CLIPBOARD)\n"
         "Ctrl Shift<Key>v: " + paste + "(CLIPBOARD)\n"
         "Ctrl Shift<Key>V: " + paste + "(CLIPBOARD)";
}

}  // namespace

void UseClipboard(Widget text, const char* paste_action) {
  static std::map<std::string, XtTranslations> parsed;
  XtTranslations& bindings = parsed[paste_action];
  if (!bindings) bindings = XtParseTranslationTable(ClipboardBindings(paste_action).c_str());
  XtOverrideTranslations(text, bindings);
}
