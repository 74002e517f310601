// A fixture for the note tools: one note window, a temporary directory,
// small recording commands in it, and the error messages shown.
#pragma once

// gtest before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "model/note_list.h"
#include "notes/note_window.h"
#include "tools/command_jobs.h"
#include "temp_dir.h"
#include "x11_util.h"

class ToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    program.res.tmpDir = const_cast<char*>(dir.path().c_str());
    // rec: each argument, NUL-terminated, into "args"; recin also copies its
    // standard input into "stdin".
    std::string args = "'" + dir.path() + "/args'";
    std::string body = "#!/bin/sh\n: > " + args + "\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> " + args + "; done\n";
    WriteFile(dir / "rec", body);
    WriteFile(dir / "recin", body + "cat > '" + dir.path() + "/stdin'\n");
    chmod((dir / "rec").c_str(), 0700);
    chmod((dir / "recin").c_str(), 0700);
  }

  void TearDown() override {
    EXPECT_TRUE(WaitForCommands()) << "a command still runs";
    DestroyPopupsNamed("ErrorShell");
  }

  // A shown note with this buffer size and text.
  Note* MakeNote(const std::string& text = "", int buffer_size = 1024) {
    Note* note = Notes().NewNote(-1);
    note->buffer_size = static_cast<std::size_t>(buffer_size);
    note->text = text;
    note->width = 300;
    note->height = 150;
    CreateNoteWindow(note);
    PumpUntil([note] { return IsMapped(NoteShell(note)); });
    return note;
  }

  static std::string TextOf(const Note* note) { return NoteText(note); }
  static bool Changed(const Note* note) { return XtIsSensitive(NoteWidget(note, "Save")); }

  // The messages of the error popups now up, oldest first.
  static std::vector<std::string> ErrorMessages() {
    std::vector<std::string> out;
    for (Widget shell : PopupsNamed("ErrorShell")) out.push_back(LabelOf(XtNameToWidget(shell, "errorDialog")));
    return out;
  }

  // The arguments "rec" or "recin" got in its last run.
  std::vector<std::string> RecordedArgs() const {
    std::string raw = ReadFile(dir / "args");
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < raw.size(); ++i)
      if (raw[i] == '\0') {
        out.push_back(raw.substr(start, i - start));
        start = i + 1;
      }
    return out;
  }

  bool Exists(const std::string& path) const {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
  }

  std::string TempPath() const { return dir.path() + "/sk" + std::to_string(getpid()); }

  // Calls the callbacks of a note menu entry, as a click on it does, and
  // waits for the commands it started to end.
  static void PickEntry(Widget menu, const char* name) {
    PickEntryWithoutWaiting(menu, name);
    EXPECT_TRUE(WaitForCommands()) << name;
  }
  static void PickEntryWithoutWaiting(Widget menu, const char* name) {
    Widget entry = XtNameToWidget(menu, name);
    ASSERT_NE(entry, nullptr) << name;
    XtCallCallbacks(entry, XtNcallback, nullptr);
    Pump();
  }

  // Pumps until no command started by the program runs any more.
  static bool WaitForCommands(int timeout_ms = 10000) {
    return PumpUntil([] { return RunningCommandCount() == 0; }, timeout_ms);
  }

  // The widgets named name below w, in creation order.
  static void Collect(Widget w, const char* name, std::vector<Widget>* out) {
    if (std::strcmp(XtName(w), name) == 0) out->push_back(w);
    if (!XtIsComposite(w)) return;
    auto* composite = reinterpret_cast<CompositeWidget>(w);
    for (Cardinal i = 0; i < composite->composite.num_children; ++i)
      Collect(composite->composite.children[i], name, out);
  }
  static std::vector<Widget> Named(Widget root, const char* name) {
    std::vector<Widget> out;
    Collect(root, name, &out);
    return out;
  }

  TempDir dir;

 private:
  ProgramStateGuard program_state_;
};
