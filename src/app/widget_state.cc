#include "app/widget_state.h"

#include <X11/StringDefs.h>

#include <cstring>

XtPointer CallbackData(Widget w, String list, XtCallbackProc proc) {
  // The toolkit answers a query of a callback list with the list itself,
  // ended by a null procedure; it stays the toolkit's.
  XtCallbackList callbacks = nullptr;
  Arg arg;
  XtSetArg(arg, list, &callbacks);
  XtGetValues(w, &arg, 1);
  for (; callbacks && callbacks->callback; ++callbacks)
    if (callbacks->callback == proc) return callbacks->closure;
  return nullptr;
}

XtTranslations SharedTranslations(Widget w, const char* table) {
  XrmValue from;
  from.addr = const_cast<XPointer>(table);
  from.size = static_cast<unsigned int>(std::strlen(table) + 1);
  XrmValue to;
  to.addr = nullptr;
  to.size = 0;
  if (!XtConvertAndStore(w, XtRString, &from, XtRTranslationTable, &to) || !to.addr) return nullptr;
  return *reinterpret_cast<XtTranslations*>(to.addr);
}
