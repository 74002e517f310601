// Private definitions of the NoteSource classes.
#pragma once

#include <X11/IntrinsicP.h>
#include <X11/Xaw/AsciiSrcP.h>
#include <X11/Xaw/MultiSrcP.h>

#include "notes/NoteSource.h"

typedef struct {
  XtPointer extension;
} NoteSourceClassPart;

typedef struct _NoteSourceClassRec {
  ObjectClassPart object_class;
  TextSrcClassPart text_src_class;
  AsciiSrcClassPart ascii_src_class;
  NoteSourceClassPart note_source_class;
} NoteSourceClassRec;

typedef struct _NoteMultiSourceClassRec {
  ObjectClassPart object_class;
  TextSrcClassPart text_src_class;
  MultiSrcClassPart multi_src_class;
  NoteSourceClassPart note_source_class;
} NoteMultiSourceClassRec;

extern NoteSourceClassRec noteSourceClassRec;
extern NoteMultiSourceClassRec noteMultiSourceClassRec;

typedef struct {
  /* resources */
  int max_length;                  // cap of the text in bytes
  XtCallbackList limit_callback;   // told of every edit refused by the cap
  /* private */
  XawTextPosition bytes;           // MultiSrc class: the text's UTF-8 length
  struct NoteSourceEdit* edit;     // the multi-step edit running, or NULL
} NoteSourcePart;

typedef struct _NoteSourceRec {
  ObjectPart object;
  TextSrcPart text_src;
  AsciiSrcPart ascii_src;
  NoteSourcePart note_src;
} NoteSourceRec;

typedef struct _NoteMultiSourceRec {
  ObjectPart object;
  TextSrcPart text_src;
  MultiSrcPart multi_src;
  NoteSourcePart note_src;
} NoteMultiSourceRec;
