#include "app/editres.h"

#include <X11/Xmu/Editres.h>

#include "app/app.h"

namespace {

// The whole widget tree is reported from its root whichever shell is asked,
// so toplevel can answer for every shell.
void ForwardEditres(Widget, XtPointer client_data, XEvent* event, Boolean* continue_dispatch) {
  _XEditResCheckMessages(program.toplevel, client_data, event, continue_dispatch);
}

}  // namespace

void AnswerEditres(Widget shell) {
  XtRemoveEventHandler(shell, NoEventMask, True, _XEditResCheckMessages, nullptr);
  XtAddEventHandler(shell, NoEventMask, True, ForwardEditres, nullptr);
}
