#include "app/clipboard.h"

#include <string>

#include "app/widget_state.h"

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
  // Each paste action's bindings are parsed once, by the toolkit.
  XtOverrideTranslations(text, SharedTranslations(text, ClipboardBindings(paste_action).c_str()));
}
