// NoteSource: the text source of a note's text widget. The text lives in the
// source itself (Athena's pieces), never in a caller's buffer, and grows as
// the user types, up to a cap: an edit that would make the text longer than
// maxLength bytes is refused as a whole before anything is written, and the
// limitCallback list is told why.
//
// Two classes share the resources below: noteSourceObjectClass is a subclass
// of AsciiSrc, for text in bytes; noteMultiSourceObjectClass is a subclass of
// MultiSrc, for a text widget in international mode, where the cap counts the
// bytes of the text in UTF-8. Either checks an edit in time proportional to
// the edit, not to the text. Create the source as the child "textSource" of
// the text widget and hand it over with XawTextSetSource.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xaw/Text.h>

#include <string>
#include <string_view>

/* Resources (besides those of AsciiSrc or MultiSrc):

 Name                Class              RepType         Default Value
 ----                -----              -------         -------------
 limitCallback       Callback           Callback        NULL
 maxLength           MaxLength          Int             16777216

 limitCallback is called, with a NoteSourceLimit as call data, for every
 edit refused because the text would outgrow maxLength. An edit that does
 not make the text longer is never refused, so a text loaded above the cap
 can still be cut down.
*/

#define XtNlimitCallback "limitCallback"
#define XtNmaxLength "maxLength"
#define XtCMaxLength "MaxLength"

// The cap of a note's text unless the resource says otherwise: 16 MiB.
#define NoteSourceDefaultMaxLength (16 * 1024 * 1024)

// Call data of limitCallback.
typedef struct {
  XawTextPosition length;      // bytes the text would have held after the edit
  XawTextPosition max_length;  // the cap, maxLength
} NoteSourceLimit;

typedef struct _NoteSourceClassRec* NoteSourceObjectClass;
typedef struct _NoteSourceRec* NoteSourceObject;
typedef struct _NoteMultiSourceClassRec* NoteMultiSourceObjectClass;
typedef struct _NoteMultiSourceRec* NoteMultiSourceObject;

extern WidgetClass noteSourceObjectClass;
extern WidgetClass noteMultiSourceObjectClass;

// Creates a source of the class that matches the text widget (the MultiSrc
// subclass when the widget is international) as its child "textSource",
// with the given resources, and makes it the widget's source. The source the
// widget made for itself is destroyed. Returns the new source.
Widget NoteSourceInstall(Widget text, ArgList args, Cardinal num_args);

// Replaces the whole text of a source of the MultiSrc class with the
// characters of UTF-8 text (a byte that starts no character is the
// character of its Latin-1 code), as a new string resource would (no cap, no
// change callbacks), without the toolkit's conversion from the locale's
// encoding, which leaks a copy of every string it converts: in time
// proportional to the text, and holding nothing but the source's pieces.
// The text widgets that show the source must be told (XawTextSetSource)
// when they are realized.
void NoteSourceLoadUtf8(Widget w, std::string_view utf8);

// A multi-step edit (Athena's Replace All makes one replacement after
// another): between NoteSourceBeginEdit and NoteSourceEndEdit the source
// keeps what each step changed and holds its change callbacks back. Once a
// step is refused for the cap, every later step is refused too, and
// NoteSourceEndEdit undoes the steps made, so that the edit goes in whole or
// not at all; it returns whether it went in, and then calls the change
// callbacks once when anything changed. After an undo the text widgets that
// show the source must be told (XawTextSetSource).
void NoteSourceBeginEdit(Widget w);
bool NoteSourceEndEdit(Widget w);

// The length of the source's text in bytes (UTF-8 bytes for the MultiSrc
// class), in constant time.
XawTextPosition NoteSourceLength(Widget w);

// The whole text of a source of either class (UTF-8 for the MultiSrc
// class), taken from its pieces in order: in time proportional to the text,
// however many pieces hold it.
std::string NoteSourceText(Widget w);
// The same text appended to *out.
void NoteSourceAppendText(Widget w, std::string* out);
