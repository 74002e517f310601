/* The toolkit floor: the plainest Xt/Athena program that builds the windows
 * stikkel builds at start-up, for bench/paired to measure beside it.
 *
 * A 70x70 control window with its main menu, and for each note a top-level
 * shell holding a Form with the File and Notes menu buttons, the alarm
 * label and an editable AsciiText with the note's text, and both of the
 * note's menus with all their entries (made at once, as a program without
 * lazy menus makes them). In a UTF-8 locale the texts are international,
 * as any Athena program would make them there.
 *
 * It reads its notes from the file named by its last argument, one note
 * after another: a line "X Y WIDTH HEIGHT TEXT-BYTES", the name on a line
 * of its own, then TEXT-BYTES bytes of text. It runs until killed.
 *
 *   cc -O2 -o floor floor.c -lXaw -lXmu -lXt -lX11
 */
#include <X11/Intrinsic.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/MenuButton.h>
#include <X11/Xaw/SimpleMenu.h>
#include <X11/Xaw/Simple.h>
#include <X11/Xaw/SmeBSB.h>
#include <X11/Xaw/SmeLine.h>
#include <langinfo.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *main_entries[] = {
    "Create 1.5x2 Note", "Create 2x3 Note", "Create 3x3 Note", "Create 3x4 Note", "Create 3x5 Note",
    "Create 4x6 Note", NULL, "Raise All Notes", "Lower All Notes", "Save All Notes", "Hidden Notes",
    "Unhide All Notes", "Cascade Notes", "Find A Note", "Search All Notes", NULL, "Exit"};
static const char *file_entries[] = {"Save", "Open", "Export", "Print", "Email..."};
static const char *notes_entries[] = {"Hide", "Erase", NULL, "Destroy", NULL, "Name...", "Anchor", "UnAnchor",
                                      "Set Alarm...", "Unset Alarm", "Insert Calendar", "Insert Date..."};

static void Entry(Widget w, XtPointer client, XtPointer call) {
  (void)w;
  (void)client;
  (void)call;
}

static void Fill(Widget menu, const char **labels, size_t count) {
  size_t i;
  for (i = 0; i < count; ++i) {
    if (!labels[i]) {
      XtCreateManagedWidget("line", smeLineObjectClass, menu, NULL, 0);
      continue;
    }
    XtAddCallback(XtCreateManagedWidget(labels[i], smeBSBObjectClass, menu, NULL, 0), XtNcallback, Entry, NULL);
  }
}

static void Note(Widget top, int x, int y, int width, int height, const char *name, const char *text,
                 Boolean wide) {
  char geometry[64];
  Arg args[16];
  Cardinal n = 0;
  Widget shell, form, file, notes, menu;
  snprintf(geometry, sizeof geometry, "+%d+%d", x, y);
  XtSetArg(args[n], XtNgeometry, geometry); n++;
  XtSetArg(args[n], XtNtitle, name); n++;
  shell = XtCreatePopupShell("TackOnNote", topLevelShellWidgetClass, top, args, n);
  XtSetArg(args[0], XtNdefaultDistance, 0);
  form = XtCreateManagedWidget("Note", formWidgetClass, shell, args, 1);

  n = 0;
  XtSetArg(args[n], XtNlabel, "File"); n++;
  XtSetArg(args[n], XtNmenuName, "FileMenu"); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  file = XtCreateManagedWidget("File", menuButtonWidgetClass, form, args, n);
  XtSetArg(args[0], XtNlabel, "Notes");
  XtSetArg(args[1], XtNmenuName, "OptionsMenu");
  XtSetArg(args[n], XtNfromHoriz, file); n++;
  notes = XtCreateManagedWidget("Options", menuButtonWidgetClass, form, args, n);
  n = 0;
  XtSetArg(args[n], XtNlabel, " "); n++;
  XtSetArg(args[n], XtNborderWidth, 0); n++;
  XtSetArg(args[n], XtNfromHoriz, notes); n++;
  XtCreateManagedWidget("AlarmIcon", labelWidgetClass, form, args, n);

  menu = XtCreatePopupShell("FileMenu", simpleMenuWidgetClass, file, NULL, 0);
  Fill(menu, file_entries, XtNumber(file_entries));
  menu = XtCreatePopupShell("OptionsMenu", simpleMenuWidgetClass, notes, NULL, 0);
  Fill(menu, notes_entries, XtNumber(notes_entries));

  n = 0;
  XtSetArg(args[n], XtNfromVert, notes); n++;
  XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
  XtSetArg(args[n], XtNstring, text); n++;
  XtSetArg(args[n], XtNwidth, width); n++;
  XtSetArg(args[n], XtNheight, height); n++;
  XtSetArg(args[n], XtNscrollVertical, XawtextScrollAlways); n++;
  XtSetArg(args[n], XtNinternational, wide); n++;
  XtCreateManagedWidget("NoteText", asciiTextWidgetClass, form, args, n);
  XtPopup(shell, XtGrabNone);
}

int main(int argc, char **argv) {
  XtAppContext app;
  Widget top, control, menu;
  FILE *notes;
  Boolean wide;
  int x, y, width, height;
  long bytes;
  char name[4096];

  XtSetLanguageProc(NULL, NULL, NULL);
  wide = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  top = XtAppInitialize(&app, "Floor", NULL, 0, &argc, argv, NULL, NULL, 0);
  if (argc < 2 || !(notes = fopen(argv[argc - 1], "rb"))) {
    fprintf(stderr, "usage: floor NOTES\n");
    return 2;
  }
  control = XtVaCreateManagedWidget("control", simpleWidgetClass, top, XtNwidth, 70, XtNheight, 70, NULL);
  (void)control;
  menu = XtCreatePopupShell("Menu", simpleMenuWidgetClass, top, NULL, 0);
  Fill(menu, main_entries, XtNumber(main_entries));
  XtRealizeWidget(top);

  while (fscanf(notes, "%d %d %d %d %ld\n", &x, &y, &width, &height, &bytes) == 5 && bytes >= 0) {
    char *text;
    size_t len;
    if (!fgets(name, sizeof name, notes)) break;
    len = strcspn(name, "\n");
    name[len] = '\0';
    text = malloc((size_t)bytes + 1);
    if (!text || fread(text, 1, (size_t)bytes, notes) != (size_t)bytes) return 1;
    text[bytes] = '\0';
    Note(top, x, y, width, height, name, text, wide);
    /* The text widget copies the string it is given. */
    free(text);
  }
  fclose(notes);
  XtAppMainLoop(app);
  return 0;
}
