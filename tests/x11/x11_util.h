// Helpers for tests that run the toolkit against a real X server.
#pragma once

#include <X11/Intrinsic.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "model/note.h"

// Processes every pending event after a round trip to the server.
void Pump();

// Pumps until cond holds or timeout_ms passes; returns cond's last value.
bool PumpUntil(const std::function<bool()>& cond, int timeout_ms = 3000);

// SaveAllNotes, pumping until its pass has ended (its files are written on
// a thread of their own); whether every note was saved.
bool SaveAllAndWait(bool report);

// Popup shells that are children of toplevel with this name, mapped or not.
std::vector<Widget> PopupsNamed(const std::string& name);

// The newest popup shell of toplevel with this name, or null.
Widget PopupNamed(const std::string& name);

// Whether the widget's window is mapped (viewable).
bool IsMapped(Widget w);

// Destroys every popup child of toplevel with this name and pumps.
void DestroyPopupsNamed(const std::string& name);

// Moves the pointer to root coordinates (XWarpPointer) and pumps.
void WarpPointer(int x, int y);

// The label resource of a widget.
std::string LabelOf(Widget w);

// The children of a composite widget, in order.
std::vector<Widget> ChildrenOf(Widget composite);

// Simulates a button press and release on a widget's window by calling its
// callbacks through XtCallCallbacks (for Command widgets).
void Press(Widget command);

// A key press on the widget's window, as the server would send it.
XEvent KeyPressOn(Widget w, KeyCode code, unsigned int state = 0);

// Resets the note list between tests: destroys every note window and
// empties the list, which keeps its settings.
void ResetProgramState();

// Keeps what a test does to the program within the test: the note list is
// reset (ResetProgramState) when the guard is made and when it goes, and the
// program's resources (program.res) are then as they were when it was made. A
// fixture holds one as its last member, so that the note windows go before
// the fixture's temporary directories.
class ProgramStateGuard {
 public:
  ProgramStateGuard() : saved_(program.res) { ResetProgramState(); }
  ~ProgramStateGuard() {
    ResetProgramState();
    program.res = saved_;
  }
  ProgramStateGuard(const ProgramStateGuard&) = delete;
  ProgramStateGuard& operator=(const ProgramStateGuard&) = delete;

 private:
  AppResources saved_;
};

// Sends a shell the window manager's close message (WM_PROTOCOLS with
// WM_DELETE_WINDOW), as a close button does, and pumps.
void SendWindowManagerClose(Widget shell);

// Points the program's note list at a note directory and buffer size.
void UseNoteSettings(const std::string& note_dir, std::size_t buffer_size = 1024);

// A note's window shell, and its widget of this name (as a resource line
// names it: "Save", "FileMenu", "NoteText", ...), or null.
Widget NoteShell(const Note* note);
Widget NoteWidget(const Note* note, const std::string& name);

// A new note of 227x169 whose file put it at x, y, holding text, with its
// window made and mapped.
Note* ShowNoteAt(int x, int y, const std::string& text = "");

// The note's text as its window holds it.
std::string NoteText(const Note* note);

// Everything a text source holds, read through the source itself (as the
// text widget draws it); wide characters come back as UTF-8.
std::string SourceText(Widget source);

// Lowers the most text the note takes (its text source's maxLength), so that
// the 16 MiB cap can be tried on small texts.
void LimitNoteText(const Note* note, std::size_t max_length);

// The reply of a test's selection owner (an XtConvertSelectionProc): text,
// in a copy the toolkit frees, as 8-bit data of the type asked for.
Boolean ReplyWithText(const std::string& text, Atom* target, Atom* type, XtPointer* value, unsigned long* length,
                      int* format);
