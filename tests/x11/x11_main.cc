// Test entry for the X tier: one toolkit initialisation per process.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextSrc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "notes/note_saving.h"
#include "app/locale.h"
#include "frame/note_menus.h"
#include "model/note_list.h"
#include "model/utf8.h"
#include "notes/note_window.h"
#include "notes/NoteSource.h"
#include "notes/recovery_journal.h"
#include "x11_util.h"

void Pump() {
  XSync(program.display, False);
  while (XtAppPending(program.app_context)) XtAppProcessEvent(program.app_context, XtIMAll);
}

bool PumpUntil(const std::function<bool()>& cond, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    Pump();
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool SaveAllAndWait(bool report) {
  bool ended = false, all = false;
  SaveAllNotes(report, [&](const SaveOutcome& outcome) {
    ended = true;
    all = outcome.all;
  });
  // A pass with nothing to write ends at once, asking the server nothing more.
  if (!ended) {
    EXPECT_TRUE(PumpUntil([&] { return ended; }, 10000)) << "the pass never ended";
  }
  return all;
}

std::vector<Widget> PopupsNamed(const std::string& name) {
  std::vector<Widget> out;
  // The popup list is not a resource; read the Core fields directly.
  WidgetList popups = program.toplevel->core.popup_list;
  Cardinal count = program.toplevel->core.num_popups;
  for (Cardinal i = 0; i < count; ++i)
    if (!popups[i]->core.being_destroyed && name == XtName(popups[i])) out.push_back(popups[i]);
  return out;
}

Widget PopupNamed(const std::string& name) {
  std::vector<Widget> popups = PopupsNamed(name);
  return popups.empty() ? nullptr : popups.back();
}

bool IsMapped(Widget w) {
  if (!XtIsRealized(w)) return false;
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs)) return false;
  return attrs.map_state == IsViewable;
}

void DestroyPopupsNamed(const std::string& name) {
  for (Widget w : PopupsNamed(name)) XtDestroyWidget(w);
  Pump();
}

void WarpPointer(int x, int y) {
  XWarpPointer(program.display, None, DefaultRootWindow(program.display), 0, 0, 0, 0, x, y);
  Pump();
}

std::string LabelOf(Widget w) {
  String label = nullptr;
  Arg args[1];
  XtSetArg(args[0], XtNlabel, &label);
  XtGetValues(w, args, 1);
  return label ? label : "";
}

std::vector<Widget> ChildrenOf(Widget composite) {
  WidgetList children = nullptr;
  Cardinal count = 0;
  Arg args[2];
  XtSetArg(args[0], XtNchildren, &children);
  XtSetArg(args[1], XtNnumChildren, &count);
  XtGetValues(composite, args, 2);
  return std::vector<Widget>(children, children + count);
}

void Press(Widget command) { XtCallCallbacks(command, XtNcallback, nullptr); }

XEvent KeyPressOn(Widget w, KeyCode code, unsigned int state) {
  XEvent event{};
  event.xkey.type = KeyPress;
  event.xkey.display = program.display;
  event.xkey.window = XtWindow(w);
  event.xkey.root = DefaultRootWindow(program.display);
  event.xkey.state = state;
  event.xkey.keycode = code;
  event.xkey.same_screen = True;
  return event;
}

void ResetProgramState() {
  // A note a test changed has its recovery write due half a second later;
  // it must not fire during the next test.
  DiscardRecovery();
  for (const auto& note : Notes())
    if (Widget shell = NoteShell(note.get())) XtDestroyWidget(shell);
  Notes().clear();
  Pump();
}

void SendWindowManagerClose(Widget shell) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = XtWindow(shell);
  event.xclient.message_type = XInternAtom(program.display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(program.display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(program.display, XtWindow(shell), False, NoEventMask, &event);
  Pump();
}

void UseNoteSettings(const std::string& note_dir, std::size_t buffer_size) {
  Notes().Configure({note_dir, buffer_size});
}

Widget NoteShell(const Note* note) {
  NoteWindow* window = WindowOf(note);
  return window ? window->shell() : nullptr;
}

Note* ShowNoteAt(int x, int y, const std::string& text) {
  Note* note = Notes().NewNote(-1);
  note->width = 227;
  note->height = 169;
  note->has_geometry = true;
  note->x = x;
  note->y = y;
  note->text = text;
  CreateNoteWindow(note);
  EXPECT_TRUE(PumpUntil([&] { return IsMapped(NoteShell(note)); }));
  return note;
}

Widget NoteWidget(const Note* note, const std::string& name) {
  // The menus are made when first used: as when the user opens one.
  if (WindowOf(note)) WindowOf(note)->BuildMenusOnce();
  Widget shell = NoteShell(note);
  return shell ? XtNameToWidget(shell, ("*" + name).c_str()) : nullptr;
}

std::string NoteText(const Note* note) { return WindowOf(note)->Text(); }

std::string SourceText(Widget source) {
  XawTextPosition end = XawTextSourceScan(source, 0, XawstAll, XawsdRight, 1, True);
  std::string out;
  for (XawTextPosition pos = 0; pos < end;) {
    XawTextBlock block;
    pos = XawTextSourceRead(source, pos, &block, static_cast<int>(end - pos));
    if (block.length <= 0) break;
    if (block.format == XawFmtWide)
      AppendWideAsUtf8(&out, reinterpret_cast<const wchar_t*>(block.ptr), static_cast<std::size_t>(block.length));
    else
      out.append(block.ptr, static_cast<std::size_t>(block.length));
  }
  return out;
}

namespace {

// Every test starts with the note settings the program started with.
class ResetNoteSettings : public testing::EmptyTestEventListener {
 public:
  explicit ResetNoteSettings(NoteSettings settings) : settings_(std::move(settings)) {}
  void OnTestStart(const testing::TestInfo&) override { Notes().Configure(settings_); }

 private:
  NoteSettings settings_;
};

}  // namespace

void LimitNoteText(const Note* note, std::size_t max_length) {
  Arg arg;
  XtSetArg(arg, const_cast<String>(XtNmaxLength), static_cast<int>(max_length));
  XtSetValues(XawTextGetSource(NoteWidget(note, "NoteText")), &arg, 1);
}

Boolean ReplyWithText(const std::string& text, Atom* target, Atom* type, XtPointer* value, unsigned long* length,
                      int* format) {
  char* copy = XtMalloc(static_cast<Cardinal>(text.size()));
  std::memcpy(copy, text.data(), text.size());
  *type = *target;
  *value = copy;
  *length = text.size();
  *format = 8;
  return True;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  static char name[] = "stikkel";
  char* targv[] = {name, nullptr};
  int targc = 1;
  // STIKKEL_X11_UTF8=1 runs the tier the way the program starts in a UTF-8
  // locale (the toolkit's international mode); otherwise in the C locale.
  if (const char* utf8 = std::getenv("STIKKEL_X11_UTF8"); utf8 && std::string(utf8) == "1") {
    setenv("LC_ALL", "C.UTF-8", 1);
    if (!ChooseLocale()) return 1;
  }
  InitToolkit(&targc, targv);
  AddInternationalResources();
  SanitizeResources();
  InstallNoteMenus();
  // A note directory of the run's own: a test that leaves a note changed
  // for longer than the recovery journal waits (a busy machine) has it
  // written there, not into a directory that is not there.
  std::string note_dir = (std::filesystem::temp_directory_path() / "stikkel-x11-XXXXXX").string();
  if (!mkdtemp(note_dir.data())) return 1;
  UseNoteSettings(note_dir, static_cast<std::size_t>(program.res.bufSize));
  testing::UnitTest::GetInstance()->listeners().Append(new ResetNoteSettings(Notes().settings()));
  XtRealizeWidget(program.toplevel);
  Pump();
  int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(note_dir, ignored);
  return status;
}
