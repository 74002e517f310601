#include "tools/print_email.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Command.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/one_line_field.h"
#include "app/popups.h"
#include "app/report.h"
#include "model/note_list.h"
#include "notes/XftSink.h"
#include "notes/note_window.h"
#include "tools/command_jobs.h"
#include "tools/insert_text.h"
#include "tools/shell_command.h"
#include "tools/temp_file.h"

namespace {

struct EmailDialog {
  Widget shell = nullptr;
  Widget address = nullptr;
} email;

void ForgetEmailDialog(Widget w, XtPointer, XtPointer) {
  if (email.shell == w) email = EmailDialog();
}

void CloseEmailDialog() {
  if (!email.shell) return;
  DestroyPopup(email.shell);
  email = EmailDialog();
}

// Writes the note's text to the temporary file at path. Returns false after
// telling the user when the file cannot be written or the note is empty
// (empty_message); an empty note leaves the empty file behind.
bool WriteNoteToTempFile(const Note* note, const std::string& path, const char* empty_message) {
  TempFile file;
  if (!OpenProgramTempFile(&file, path)) return false;
  const std::string text = WindowOf(note)->Text();
  if (text.empty()) {
    file.Close();
    ReportError(empty_message);
    return false;
  }
  if (!file.Write(text.data(), text.size()) || !file.Close()) {
    // A short file must not go out as if it were the whole note.
    int saved = errno;
    unlink(path.c_str());
    ReportFileFailure("Can't open tempoary file for\nwriting: " + path, path + ": " + std::strerror(saved));
    return false;
  }
  return true;
}

// Runs the command while the program goes on; once it has ended the
// temporary file is removed and a failure is shown with what the command
// said on standard error.
void RunWithTempFile(const std::string& script, const std::vector<std::string>& values, const std::string& path,
                     const std::string& shown_command) {
  RunInBackground(script, values, -1, path, [path, shown_command](const CommandResult& result) {
    unlink(path.c_str());
    if (!CommandSucceeded(result)) ReportError(CommandFailureMessage(shown_command, result));
  });
}

// EmailAccept (client data: the note) and EmailCancel.
void AcceptEmail(Widget, XtPointer client_data, XtPointer) {
  auto* note = static_cast<Note*>(client_data);
  if (!Notes().Contains(note) || !email.shell) {
    CloseEmailDialog();
    return;
  }
  std::string path = TemporaryPathFor(ProgramTempPath());
  if (!WriteNoteToTempFile(note, path, "No text in note to email!")) return;
  std::string address = OneLineFieldText(email.address);
  // "cat <path> | <mail command>": the path, the note's name and the
  // address are the positional parameters 1, 2 and 3.
  std::string format = program.res.emailCmd ? program.res.emailCmd : "";
  std::string script = "cat \"${1}\" | " + ShellScriptFromFormat(format, 2);
  RunWithTempFile(script, {path, note->name, address}, path, FillFormat(format, {note->name, address}));
  // The mail goes out while the program goes on; a failure is shown when
  // the command ends.
  CloseEmailDialog();
}

void CancelEmail(Widget, XtPointer, XtPointer) { CloseEmailDialog(); }

}  // namespace

void PrintNote(Note* note) {
  std::string path = TemporaryPathFor(ProgramTempPath());
  if (!WriteNoteToTempFile(note, path, "No text in note to print!")) return;
  std::string format = program.res.printCmd ? program.res.printCmd : "";
  RunWithTempFile(ShellScriptFromFormat(format), {path}, path, FillFormat(format, {path}));
}

void EmailNote(Note* note) {
  CloseEmailDialog();
  email.shell = CreateDialogShell("EmailShell", "Email Note", PointerPosition());
  XtAddCallback(email.shell, XtNdestroyCallback, ForgetEmailDialog, nullptr);
  Arg args[16];
  Cardinal n = 0;
  XtSetArg(args[0], XtNborderWidth, 0);
  Widget form = XtCreateManagedWidget("EmailForm", formWidgetClass, email.shell, args, 1);

  n = 0;
  XtSetArg(args[n], XtNlabel, "Enter the email address of the intended recipient"); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNbottom, XtChainTop); n++;
  Widget label = XtCreateManagedWidget("EmailLabel", labelWidgetClass, form, args, n);
  Dimension width = 0;
  XtSetArg(args[0], XtNwidth, &width);
  XtGetValues(label, args, 1);

  n = 0;
  XtSetArg(args[n], XtNborderWidth, 1); n++;
  XtSetArg(args[n], XtNwidth, width); n++;
  XtSetArg(args[n], XtNstring, ""); n++;
  XtSetArg(args[n], XtNvertDistance, 0); n++;
  XtSetArg(args[n], XtNfromVert, label); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNwrap, XawtextWrapNever); n++;
  XtSetArg(args[n], XtNscrollVertical, XawtextScrollNever); n++;
  XtSetArg(args[n], XtNscrollHorizontal, XawtextScrollWhenNeeded); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  XtSetArg(args[n], XtNtop, XtChainTop); n++;
  XtSetArg(args[n], XtNbottom, XtChainTop); n++;
  email.address = XtCreateManagedWidget("EmailText", asciiTextWidgetClass, form, args, n);
  XftSinkInstallOneLine(email.address);
  MakeOneLineField(email.address, AcceptEmail, note);

  XtCallbackRec accept[] = {{AcceptEmail, note}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, accept); n++;
  XtSetArg(args[n], XtNfromVert, email.address); n++;
  XtSetArg(args[n], XtNlabel, "Accept"); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  XtSetArg(args[n], XtNtop, XtChainBottom); n++;
  XtSetArg(args[n], XtNbottom, XtChainBottom); n++;
  Widget accept_button = XtCreateManagedWidget("EmailAccept", commandWidgetClass, form, args, n);

  XtCallbackRec cancel[] = {{CancelEmail, nullptr}, {nullptr, nullptr}};
  n = 0;
  XtSetArg(args[n], XtNcallback, cancel); n++;
  XtSetArg(args[n], XtNfromVert, email.address); n++;
  XtSetArg(args[n], XtNfromHoriz, accept_button); n++;
  XtSetArg(args[n], XtNlabel, "Cancel"); n++;
  XtSetArg(args[n], XtNleft, XtChainLeft); n++;
  XtSetArg(args[n], XtNright, XtChainLeft); n++;
  XtSetArg(args[n], XtNtop, XtChainBottom); n++;
  XtSetArg(args[n], XtNbottom, XtChainBottom); n++;
  XtCreateManagedWidget("EmailCancel", commandWidgetClass, form, args, n);

  PopUpDialog(email.shell, CancelEmail, nullptr, XtGrabNonexclusive);
}
