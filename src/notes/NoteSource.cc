// NoteSource: AsciiSrc and MultiSrc with a cap on the length of the text.
#include "notes/NoteSourceP.h"

#include <X11/StringDefs.h>
#include <malloc.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/utf8.h"

// What a multi-step edit has changed so far: each step's place, the
// characters it put in and the characters (raw: bytes, or wchar_t) it took
// out, to be undone in reverse order.
struct NoteSourceEdit {
  struct Step {
    XawTextPosition start;
    XawTextPosition inserted;
    XawTextPosition removed;
    std::string removed_raw;
  };
  std::vector<Step> steps;
  bool refused = false;
  XawTextPosition bytes_before = 0;  // the MultiSrc class's byte count
  XtCallbackList callbacks = nullptr;  // the change callbacks held back
};

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

// libXaw reads the character after a piece's last one when it edits a full
// piece (one character past the block it allocated for it). Every piece of
// a note's source thus gets a character of slack behind it: the allocator's
// own rounding gives it already (glibc rounds 8,192 and 32,768 bytes up by
// 8), so a piece is only reallocated where it does not (under a memory
// checker, which gives a block exactly its size).
constexpr XawTextPosition kPieceSlack = 1;

// Pads the pieces that hold any of the characters [from, to] (and the
// pieces beside them).
template <typename PieceT>
void PadPieces(PieceT* first, XawTextPosition piece_size, XawTextPosition from, XawTextPosition to) {
  using Char = std::remove_pointer_t<decltype(first->text)>;
  const std::size_t want = static_cast<std::size_t>(piece_size + kPieceSlack) * sizeof(Char);
  XawTextPosition pos = 0;
  for (PieceT* p = first; p && pos <= to + 1; pos += p->used, p = p->next) {
    if (pos + p->used + 1 < from || !p->text) continue;
    if (malloc_usable_size(p->text) < want)
      p->text = reinterpret_cast<Char*>(XtRealloc(reinterpret_cast<char*>(p->text), static_cast<Cardinal>(want)));
  }
}

void PadPieces(Widget w, XawTextPosition from, XawTextPosition to) {
  if (XtIsSubclass(w, noteMultiSourceObjectClass)) {
    MultiSrcPart& multi = reinterpret_cast<NoteMultiSourceObject>(w)->multi_src;
    PadPieces(multi.first_piece, multi.piece_size, from, to);
  } else if (XtIsSubclass(w, noteSourceObjectClass)) {
    AsciiSrcPart& ascii = reinterpret_cast<NoteSourceObject>(w)->ascii_src;
    PadPieces(ascii.first_piece, ascii.piece_size, from, to);
  }
}

// Whether a set_values call gave the source a new text.
bool NewString(ArgList args, Cardinal num_args) {
  for (Cardinal i = 0; i < num_args; ++i)
    if (std::strcmp(args[i].name, XtNstring) == 0) return true;
  return false;
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

// The characters [first, first + count) of a source, raw (bytes, or
// wchar_t for the MultiSrc class), read piece by piece through the
// superclass.
std::string ReadRaw(Widget w, const TextSrcClassPart& super, XawTextPosition first, XawTextPosition count,
                    std::size_t char_size) {
  std::string raw;
  XawTextPosition pos = first;
  while (pos < first + count) {
    XawTextBlock block;
    super.Read(w, pos, &block, static_cast<int>(first + count - pos));
    if (block.length <= 0) break;
    raw.append(block.ptr, static_cast<std::size_t>(block.length) * char_size);
    pos += block.length;
  }
  return raw;
}

// One step of an edit through the superclass: refused, as the steps before
// it were, once an earlier step of a multi-step edit was; recorded when a
// multi-step edit is running.
int EditStep(Widget w, NoteSourcePart* part, const TextSrcClassPart& super, XawTextPosition* length,
             std::size_t char_size, XawTextPosition start, XawTextPosition end, XawTextBlock* block) {
  NoteSourceEdit* edit = part->edit;
  XawTextPosition first = start < 0 ? 0 : start;
  if (!edit) {
    XawTextPosition before = *length;
    int result = super.Replace(w, start, end, block);
    if (result == XawEditDone) PadPieces(w, first, first + *length - (before - RemovedSpan(start, end, before)));
    return result;
  }
  if (edit->refused) return XawEditError;
  NoteSourceEdit::Step step;
  step.start = start < 0 ? 0 : start;
  step.removed = RemovedSpan(start, end, *length);
  step.removed_raw = ReadRaw(w, super, step.start, step.removed, char_size);
  XawTextPosition before = *length;
  int result = super.Replace(w, start, end, block);
  if (result == XawEditDone) {
    step.inserted = *length - (before - step.removed);
    PadPieces(w, step.start, step.start + step.inserted);
    edit->steps.push_back(std::move(step));
  }
  return result;
}

int NoteSourceReplace(Widget w, XawTextPosition start, XawTextPosition end, XawTextBlock* block) {
  NoteSourceObject src = reinterpret_cast<NoteSourceObject>(w);
  XawTextPosition before = src->ascii_src.length;
  XawTextPosition after = before - RemovedSpan(start, end, before) + (block->length > 0 ? block->length : 0);
  if (src->note_src.edit && src->note_src.edit->refused) return XawEditError;
  if (OverCap(&src->note_src, before, after)) {
    if (src->note_src.edit) src->note_src.edit->refused = true;
    return Refuse(w, &src->note_src, after);
  }
  return EditStep(w, &src->note_src, asciiSrcClassRec.text_src_class, &src->ascii_src.length, 1, start, end,
                  block);
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

void NoteSourceInitialize(Widget, Widget cnew, ArgList, Cardinal*) {
  NoteSourceObject src = reinterpret_cast<NoteSourceObject>(cnew);
  src->note_src.edit = nullptr;
  PadPieces(cnew, 0, src->ascii_src.length);
}

Boolean NoteSourceSetValues(Widget, Widget, Widget cnew, ArgList args, Cardinal* num_args) {
  // AsciiSrc has read the new text into new pieces.
  if (NewString(args, *num_args)) PadPieces(cnew, 0, reinterpret_cast<NoteSourceObject>(cnew)->ascii_src.length);
  return False;
}

void NoteMultiSourceInitialize(Widget, Widget cnew, ArgList, Cardinal*) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(cnew);
  src->note_src.edit = nullptr;
  src->note_src.bytes = CountBytes(cnew, 0, src->multi_src.length);
  PadPieces(cnew, 0, src->multi_src.length);
}

Boolean NoteMultiSourceSetValues(Widget current, Widget, Widget cnew, ArgList args, Cardinal* num_args) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(cnew);
  NoteMultiSourceObject old = reinterpret_cast<NoteMultiSourceObject>(current);
  bool reloaded = old->multi_src.type != src->multi_src.type || NewString(args, *num_args);
  // MultiSrc has read the new text: count it once.
  if (reloaded) {
    src->note_src.bytes = CountBytes(cnew, 0, src->multi_src.length);
    PadPieces(cnew, 0, src->multi_src.length);
  }
  return False;
}

int NoteMultiSourceReplace(Widget w, XawTextPosition start, XawTextPosition end, XawTextBlock* block) {
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(w);
  if (src->note_src.edit && src->note_src.edit->refused) return XawEditError;
  XawTextPosition chars = src->multi_src.length;
  XawTextPosition removed_chars = RemovedSpan(start, end, chars);
  XawTextPosition first = start < 0 ? 0 : start;
  XawTextPosition removed = CountBytes(w, first, first + removed_chars);
  XawTextPosition before = src->note_src.bytes;
  XawTextPosition after = before - removed + BlockBytes(block);
  if (OverCap(&src->note_src, before, after)) {
    if (src->note_src.edit) src->note_src.edit->refused = true;
    return Refuse(w, &src->note_src, after);
  }
  // The superclass calls the change callbacks: they see the new length.
  src->note_src.bytes = after;
  int result = EditStep(w, &src->note_src, multiSrcClassRec.text_src_class, &src->multi_src.length,
                        sizeof(wchar_t), start, end, block);
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

NoteSourcePart* PartOf(Widget w) {
  if (XtIsSubclass(w, noteMultiSourceObjectClass)) return &reinterpret_cast<NoteMultiSourceObject>(w)->note_src;
  if (XtIsSubclass(w, noteSourceObjectClass)) return &reinterpret_cast<NoteSourceObject>(w)->note_src;
  return nullptr;
}

void NoteSourceDestroy(Widget w) {
  NoteSourcePart* part = PartOf(w);
  delete part->edit;
  part->edit = nullptr;
}

}  // namespace

void NoteSourceLoadUtf8(Widget w, std::string_view utf8) {
  if (!XtIsSubclass(w, noteMultiSourceObjectClass)) return;
  NoteMultiSourceObject src = reinterpret_cast<NoteMultiSourceObject>(w);
  MultiSrcPart& multi = src->multi_src;
  // The pieces are made here, as MultiSrc makes them from a string: filling
  // them through its replace would walk the piece list once per piece and
  // need the whole text in wide characters first.
  for (MultiPiece* p = multi.first_piece; p;) {
    MultiPiece* next = p->next;
    XtFree(reinterpret_cast<char*>(p->text));
    XtFree(reinterpret_cast<char*>(p));
    p = next;
  }
  const XawTextPosition piece_size = multi.piece_size > 0 ? multi.piece_size : 1;
  const auto new_piece = [piece_size](MultiPiece* prev) {
    auto* piece = reinterpret_cast<MultiPiece*>(XtMalloc(sizeof(MultiPiece)));
    piece->text = reinterpret_cast<wchar_t*>(
        XtMalloc(static_cast<Cardinal>(static_cast<std::size_t>(piece_size + kPieceSlack) * sizeof(wchar_t))));
    piece->used = 0;
    piece->prev = prev;
    piece->next = nullptr;
    if (prev) prev->next = piece;
    return piece;
  };
  MultiPiece* first = new_piece(nullptr);
  MultiPiece* last = first;
  XawTextPosition chars = 0;
  XawTextPosition bytes = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    // At most as many bytes as the piece has room for characters, ending
    // on a character's end.
    std::size_t take = Utf8PrefixLength(utf8.substr(pos), static_cast<std::size_t>(piece_size - last->used));
    if (take == 0) {
      if (last->used == 0) take = 1;  // cannot happen: a piece holds a character
      else {
        last = new_piece(last);
        continue;
      }
    }
    const std::wstring part = WideFromUtf8(utf8.substr(pos, take));
    std::memcpy(last->text + last->used, part.data(), part.size() * sizeof(wchar_t));
    last->used += static_cast<XawTextPosition>(part.size());
    chars += static_cast<XawTextPosition>(part.size());
    bytes += Utf8Bytes(part.data(), static_cast<XawTextPosition>(part.size()));
    pos += take;
    if (last->used == piece_size && pos < utf8.size()) last = new_piece(last);
  }
  multi.first_piece = first;
  multi.length = chars;
  src->text_src.changed = False;
  src->note_src.bytes = bytes;
}

void NoteSourceBeginEdit(Widget w) {
  NoteSourcePart* part = PartOf(w);
  if (!part || part->edit) return;
  auto* src = reinterpret_cast<TextSrcObject>(w);
  part->edit = new NoteSourceEdit;
  part->edit->bytes_before = part->bytes;
  part->edit->callbacks = src->textSrc.callback;
  src->textSrc.callback = nullptr;
}

bool NoteSourceEndEdit(Widget w) {
  NoteSourcePart* part = PartOf(w);
  if (!part || !part->edit) return true;
  std::unique_ptr<NoteSourceEdit> edit(part->edit);
  part->edit = nullptr;
  auto* src = reinterpret_cast<TextSrcObject>(w);
  const bool wide = XtIsSubclass(w, noteMultiSourceObjectClass);
  const TextSrcClassPart& super = wide ? multiSrcClassRec.text_src_class : asciiSrcClassRec.text_src_class;
  if (edit->refused) {
    for (auto step = edit->steps.rbegin(); step != edit->steps.rend(); ++step) {
      XawTextBlock block;
      block.firstPos = 0;
      block.length = static_cast<int>(step->removed);
      block.ptr = const_cast<char*>(step->removed_raw.data());
      block.format = wide ? XawFmtWide : XawFmt8Bit;
      super.Replace(w, step->start, step->start + step->inserted, &block);
      PadPieces(w, step->start, step->start + step->removed);
    }
    part->bytes = edit->bytes_before;
  }
  src->textSrc.callback = edit->callbacks;
  if (!edit->refused && !edit->steps.empty()) XtCallCallbackList(w, src->textSrc.callback, nullptr);
  return !edit->refused;
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
  NoteSourceAppendText(w, &text);
  return text;
}

void NoteSourceAppendText(Widget w, std::string* out) {
  out->reserve(out->size() + static_cast<std::size_t>(NoteSourceLength(w)));
  if (XtIsSubclass(w, noteMultiSourceObjectClass)) {
    for (const MultiPiece* p = reinterpret_cast<NoteMultiSourceObject>(w)->multi_src.first_piece; p; p = p->next)
      AppendWideAsUtf8(out, p->text, static_cast<std::size_t>(p->used));
  } else {
    for (const Piece* p = reinterpret_cast<NoteSourceObject>(w)->ascii_src.first_piece; p; p = p->next)
      out->append(p->text, static_cast<std::size_t>(p->used));
  }
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
        /* initialize               */ NoteSourceInitialize,
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
        /* destroy                  */ NoteSourceDestroy,
        /* obj8 (resize)            */ nullptr,
        /* obj9 (expose)            */ nullptr,
        /* set_values               */ NoteSourceSetValues,
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
        /* destroy                  */ NoteSourceDestroy,
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
