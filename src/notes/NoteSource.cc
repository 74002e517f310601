// NoteSource: AsciiSrc and MultiSrc with a cap on the length of the text.
#include "notes/NoteSourceP.h"

#include <X11/StringDefs.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "model/utf8.h"

namespace {

#define RESOURCES(Rec)                                                                                     \
  {                                                                                                        \
    /* {name, class, type, size, offset, default_type, default_addr}, */                                  \
    {const_cast<String>(XtNmaxLength), const_cast<String>(XtCMaxLength), const_cast<String>(XtRInt),       \
     sizeof(int), offsetof(Rec, note_src.max_length), const_cast<String>(XtRImmediate),                   \
     reinterpret_cast<XtPointer>(NoteSourceDefaultMaxLength)},                                             \
    {const_cast<String>(XtNlimitCallback), const_cast<String>(XtCCallback), const_cast<String>(XtRCallback), \
     sizeof(XtCallbackList), offsetof(Rec, note_src.limit_callback), const_cast<String>(XtRCallback),      \
     nullptr},                                                                                             \
  }

XtResource ascii_resources[] = RESOURCES(NoteSourceRec);
XtResource multi_resources[] = RESOURCES(NoteMultiSourceRec);
#undef RESOURCES

// The NoteSource part follows the superclass's instance record, so the
// private headers must describe the record the library was built with.
void CheckLayout(Cardinal library_size, std::size_t header_size, const char* name) {
  if (library_size != header_size)
    XtErrorMsg("layoutMismatch", "classInitialize", "NoteSource",
               const_cast<String>(name), nullptr, nullptr);
}

// The text formats XawFmt8Bit and XawFmtWide are set up by the Text class;
// a source can be used (and blocks told apart) before any text widget exists.
void InitializeTextFormats() { XtInitializeWidgetClass(textWidgetClass); }

void NoteSourceClassInitialize() {
  InitializeTextFormats();
  CheckLayout(asciiSrcClassRec.object_class.widget_size, sizeof(AsciiSrcRec),
              "NoteSource: the AsciiSrc instance record differs from AsciiSrcP.h");
}

void NoteMultiSourceClassInitialize() {
  InitializeTextFormats();
  CheckLayout(multiSrcClassRec.object_class.widget_size, sizeof(MultiSrcRec),
              "NoteSource: the MultiSrc instance record differs from MultiSrcP.h");
}

// Characters of [start, end) that lie inside a text of the given length.
XawTextPosition RemovedSpan(XawTextPosition start, XawTextPosition end, XawTextPosition length) {
  if (start < 0) start = 0;
  if (end > length) end = length;
  return end > start ? end - start : 0;
}

// Tells the limitCallback list of a refused edit; the edit is then refused
// with XawEditError, so the text widget changes nothing.
int Refuse(Widget w, NoteSourcePart* part, XawTextPosition after) {
  NoteSourceLimit limit;
  limit.length = after;
  limit.max_length = part->max_length;
  XtCallCallbackList(w, part->limit_callback, &limit);
  return XawEditError;
}

// An edit is refused when it makes the text longer and the result would
// pass the cap.
bool OverCap(const NoteSourcePart* part, XawTextPosition before, XawTextPosition after) {
  return after > before && after > part->max_length;
}

int NoteSourceReplace(Widget w, XawTextPosition start, XawTextPosition end, XawTextBlock* block) {
  NoteSourceObject src = reinterpret_cast<NoteSourceObject>(w);
  XawTextPosition before = src->ascii_src.length;
  XawTextPosition after = before - RemovedSpan(start, end, before) + (block->length > 0 ? block->length : 0);
  if (OverCap(&src->note_src, before, after)) return Refuse(w, &src->note_src, after);
  return asciiSrcClassRec.text_src_class.Replace(w, start, end, block);
}

// Bytes of one character in UTF-8.
XawTextPosition Utf8Bytes(wchar_t c) {
  auto code = static_cast<unsigned long>(static_cast<unsigned int>(c));
  if (code < 0x80) return 1;
  if (code < 0x800) return 2;
  if (code < 0x10000) return 3;
  return 4;
}

XawTextPosition Utf8Bytes(const wchar_t* text, XawTextPosition count) {
  XawTextPosition bytes = 0;
  for (XawTextPosition i = 0; i < count; ++i) bytes += Utf8Bytes(text[i]);
  return bytes;
}

// UTF-8 bytes of the characters [start, end) of a MultiSrc's text, read
// piece by piece through the superclass.
XawTextPosition CountBytes(Widget w, XawTextPosition start, XawTextPosition end) {
  XawTextPosition bytes = 0;
  XawTextPosition pos = start;
  while (pos < end) {
    XawTextBlock block;
    multiSrcClassRec.text_src_class.Read(w, pos, &block, static_cast<int>(end - pos));
    if (block.length <= 0) break;
    bytes += Utf8Bytes(reinterpret_cast<const wchar_t*>(block.ptr), block.length);
    pos += block.length;
  }
  return bytes;
}

XawTextPosition BlockBytes(const XawTextBlock* block) {
  if (block->length <= 0) return 0;
  if (block->format == XawFmtWide)
    return Utf8Bytes(reinterpret_cast<const wchar_t*>(block->ptr) + block->firstPos, block->length);
  return block->length;  // multibyte text: bytes as given
}

void NoteMultiSourceInitialize(Widget, Widget cnew, ArgList, Cardinal*) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(cnew);
  src->note_src.bytes = CountBytes(cnew, 0, src->multi_src.length);
}

Boolean NoteMultiSourceSetValues(Widget current, Widget, Widget cnew, ArgList args, Cardinal* num_args) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(cnew);
  NoteMultiSourceObject old = reinterpret_cast<NoteMultiSourceObject>(current);
  bool reloaded = old->multi_src.type != src->multi_src.type;
  for (Cardinal i = 0; i < *num_args; ++i)
    if (std::strcmp(args[i].name, XtNstring) == 0) reloaded = true;
  // MultiSrc has read the new text: count it once.
  if (reloaded) src->note_src.bytes = CountBytes(cnew, 0, src->multi_src.length);
  return False;
}

int NoteMultiSourceReplace(Widget w, XawTextPosition start, XawTextPosition end, XawTextBlock* block) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(w);
  XawTextPosition chars = src->multi_src.length;
  XawTextPosition removed_chars = RemovedSpan(start, end, chars);
  XawTextPosition first = start < 0 ? 0 : start;
  XawTextPosition removed = CountBytes(w, first, first + removed_chars);
  XawTextPosition before = src->note_src.bytes;
  XawTextPosition after = before - removed + BlockBytes(block);
  if (OverCap(&src->note_src, before, after)) return Refuse(w, &src->note_src, after);
  // The superclass calls the change callbacks: they see the new length.
  src->note_src.bytes = after;
  int result = multiSrcClassRec.text_src_class.Replace(w, start, end, block);
  if (result != XawEditDone) {
    src->note_src.bytes = before;
  } else if (block->format != XawFmtWide) {
    // MultiSrc converted the multibyte text (an invalid sequence may not
    // come out as the same bytes): count what it inserted.
    XawTextPosition inserted_chars = src->multi_src.length - (chars - removed_chars);
    src->note_src.bytes = before - removed + CountBytes(w, first, first + inserted_chars);
  }
  return result;
}

}  // namespace

void NoteSourceLoadWide(Widget w, const wchar_t* text, XawTextPosition count) {
  if (!XtIsSubclass(w, noteMultiSourceObjectClass)) return;
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(w);
  XawTextBlock block;
  block.firstPos = 0;
  block.length = static_cast<int>(count);
  block.ptr = reinterpret_cast<char*>(const_cast<wchar_t*>(text));
  block.format = XawFmtWide;
  // The superclass's own replace: past the cap check, with the change
  // callbacks held back for the while.
  XtCallbackList callbacks = src->text_src.callback;
  src->text_src.callback = nullptr;
  multiSrcClassRec.text_src_class.Replace(w, 0, src->multi_src.length, &block);
  src->text_src.callback = callbacks;
  src->text_src.changed = False;
  src->note_src.bytes = Utf8Bytes(text, count);
}

Widget NoteSourceInstall(Widget text, ArgList args, Cardinal num_args) {
  Boolean international = False;
  Arg arg;
  XtSetArg(arg, XtNinternational, &international);
  XtGetValues(text, &arg, 1);
  WidgetClass cls = international ? noteMultiSourceObjectClass : noteSourceObjectClass;
  Widget source = XtCreateWidget("textSource", cls, text, args, num_args);
  // The text widget destroys its former source when it is the source's parent.
  XawTextSetSource(text, source, 0);
  return source;
}

XawTextPosition NoteSourceLength(Widget w) {
  if (XtIsSubclass(w, noteMultiSourceObjectClass))
    return reinterpret_cast<NoteMultiSourceObject>(w)->note_src.bytes;
  if (XtIsSubclass(w, noteSourceObjectClass)) return reinterpret_cast<NoteSourceObject>(w)->ascii_src.length;
  return XawTextSourceScan(w, 0, XawstAll, XawsdRight, 1, True);
}

std::string NoteSourceText(Widget w) {
  std::string text;
  text.reserve(static_cast<std::size_t>(NoteSourceLength(w)));
  if (XtIsSubclass(w, noteMultiSourceObjectClass)) {
    for (const MultiPiece* p = reinterpret_cast<NoteMultiSourceObject>(w)->multi_src.first_piece; p; p = p->next)
      AppendWideAsUtf8(&text, p->text, static_cast<std::size_t>(p->used));
  } else {
    for (const Piece* p = reinterpret_cast<NoteSourceObject>(w)->ascii_src.first_piece; p; p = p->next)
      text.append(p->text, static_cast<std::size_t>(p->used));
  }
  return text;
}

// The classes keep the class names of their superclasses, as AsciiText keeps
// Text's: resource lines that name the source by class ("*AsciiSrc*...")
// still reach it.
NoteSourceClassRec noteSourceClassRec = {
    {
        /* object_class fields */
        /* superclass               */ reinterpret_cast<WidgetClass>(&asciiSrcClassRec),
        /* class_name               */ const_cast<String>("AsciiSrc"),
        /* widget_size              */ sizeof(NoteSourceRec),
        /* class_initialize         */ NoteSourceClassInitialize,
        /* class_part_initialize    */ nullptr,
        /* class_inited             */ False,
        /* initialize               */ nullptr,
        /* initialize_hook          */ nullptr,
        /* obj1 (realize)           */ nullptr,
        /* obj2 (actions)           */ nullptr,
        /* obj3 (num_actions)       */ 0,
        /* resources                */ ascii_resources,
        /* num_resources            */ XtNumber(ascii_resources),
        /* xrm_class                */ NULLQUARK,
        /* obj4 (compress_motion)   */ False,
        /* obj5 (compress_exposure) */ False,
        /* obj6 (compress_enterleave) */ False,
        /* obj7 (visible_interest)  */ False,
        /* destroy                  */ nullptr,
        /* obj8 (resize)            */ nullptr,
        /* obj9 (expose)            */ nullptr,
        /* set_values               */ nullptr,
        /* set_values_hook          */ nullptr,
        /* obj10 (set_values_almost) */ nullptr,
        /* get_values_hook          */ nullptr,
        /* obj11 (accept_focus)     */ nullptr,
        /* version                  */ XtVersion,
        /* callback_private         */ nullptr,
        /* obj12 (tm_table)         */ nullptr,
        /* obj13 (query_geometry)   */ nullptr,
        /* obj14 (display_accelerator) */ nullptr,
        /* extension                */ nullptr,
    },
    {
        /* text_src_class fields */
        /* Read                     */ XtInheritRead,
        /* Replace                  */ NoteSourceReplace,
        /* Scan                     */ XtInheritScan,
        /* Search                   */ XtInheritSearch,
        /* SetSelection             */ XtInheritSetSelection,
        /* ConvertSelection         */ XtInheritConvertSelection,
        /* extension                */ nullptr,
    },
    {
        /* ascii_src_class fields */
        /* extension                */ nullptr,
    },
    {
        /* note_source_class fields */
        /* extension                */ nullptr,
    },
};

NoteMultiSourceClassRec noteMultiSourceClassRec = {
    {
        /* object_class fields */
        /* superclass               */ reinterpret_cast<WidgetClass>(&multiSrcClassRec),
        /* class_name               */ const_cast<String>("MultiSrc"),
        /* widget_size              */ sizeof(NoteMultiSourceRec),
        /* class_initialize         */ NoteMultiSourceClassInitialize,
        /* class_part_initialize    */ nullptr,
        /* class_inited             */ False,
        /* initialize               */ NoteMultiSourceInitialize,
        /* initialize_hook          */ nullptr,
        /* obj1 (realize)           */ nullptr,
        /* obj2 (actions)           */ nullptr,
        /* obj3 (num_actions)       */ 0,
        /* resources                */ multi_resources,
        /* num_resources            */ XtNumber(multi_resources),
        /* xrm_class                */ NULLQUARK,
        /* obj4 (compress_motion)   */ False,
        /* obj5 (compress_exposure) */ False,
        /* obj6 (compress_enterleave) */ False,
        /* obj7 (visible_interest)  */ False,
        /* destroy                  */ nullptr,
        /* obj8 (resize)            */ nullptr,
        /* obj9 (expose)            */ nullptr,
        /* set_values               */ NoteMultiSourceSetValues,
        /* set_values_hook          */ nullptr,
        /* obj10 (set_values_almost) */ nullptr,
        /* get_values_hook          */ nullptr,
        /* obj11 (accept_focus)     */ nullptr,
        /* version                  */ XtVersion,
        /* callback_private         */ nullptr,
        /* obj12 (tm_table)         */ nullptr,
        /* obj13 (query_geometry)   */ nullptr,
        /* obj14 (display_accelerator) */ nullptr,
        /* extension                */ nullptr,
    },
    {
        /* text_src_class fields */
        /* Read                     */ XtInheritRead,
        /* Replace                  */ NoteMultiSourceReplace,
        /* Scan                     */ XtInheritScan,
        /* Search                   */ XtInheritSearch,
        /* SetSelection             */ XtInheritSetSelection,
        /* ConvertSelection         */ XtInheritConvertSelection,
        /* extension                */ nullptr,
    },
    {
        /* multi_src_class fields */
        /* extension                */ nullptr,
    },
    {
        /* note_source_class fields */
        /* extension                */ nullptr,
    },
};

WidgetClass noteSourceObjectClass = reinterpret_cast<WidgetClass>(&noteSourceClassRec);
WidgetClass noteMultiSourceObjectClass = reinterpret_cast<WidgetClass>(&noteMultiSourceClassRec);
