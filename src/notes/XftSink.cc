#include "notes/XftSink.h"

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextP.h>
#include <X11/Xresource.h>
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "app/display_dpi.h"
#include "app/locale.h"
#include "model/text_scale.h"
#include "notes/XftSinkP.h"

// The fonts of one face at one pixel size on one display: the face itself
// and, opened when a character first needs one, the fonts fontconfig ranks
// after it. Each character is looked up once.
struct XftSinkFace {
  struct Glyph {
    XftFont* font;  // null: drawn as nothing
    FT_UInt index;
    int advance;
  };
  Display* display = nullptr;
  XftFont* primary = nullptr;
  FcPattern* pattern = nullptr;      // the matched request, for the fallbacks
  FcFontSet* fallbacks = nullptr;    // fontconfig's ranking, made when needed
  std::vector<XftFont*> opened;      // by index in `fallbacks`; null until used
  std::unordered_map<unsigned, Glyph> glyphs;
  Glyph ascii[128] = {};             // the common case without hashing
  bool ascii_known[128] = {};
  int ascent = 0;
  int descent = 0;
  int figure_width = 0;              // width of '0': the step of tab stops
};

namespace {

// Faces by display, name and pixel size. They stay open while the program
// runs: every note shares them.
std::map<std::tuple<Display*, std::string, int>, std::unique_ptr<XftSinkFace>>& Faces() {
  static auto* faces = new std::map<std::tuple<Display*, std::string, int>, std::unique_ptr<XftSinkFace>>();
  return *faces;
}

XftSinkFace* OpenFace(Display* display, const char* name, float points) {
  if (!name || !*name) return nullptr;
  int pixels = FacePixels(points > 0 ? points : 11, DisplayDpi());
  auto key = std::make_tuple(display, std::string(name), pixels);
  auto found = Faces().find(key);
  if (found != Faces().end()) return found->second.get();
  FcPattern* request = FcNameParse(reinterpret_cast<const FcChar8*>(name));
  if (!request) return nullptr;
  FcPatternDel(request, FC_SIZE);
  FcPatternDel(request, FC_PIXEL_SIZE);
  FcPatternAddDouble(request, FC_PIXEL_SIZE, pixels);
  FcResult result = FcResultNoMatch;
  FcPattern* match = XftFontMatch(display, DefaultScreen(display), request, &result);
  XftFont* font = match ? XftFontOpenPattern(display, match) : nullptr;  // takes `match`
  if (!font) {
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(request);
    return nullptr;
  }
  auto face = std::make_unique<XftSinkFace>();
  face->display = display;
  face->primary = font;
  // The request as Xft completes it, for ranking the fonts behind the face.
  XftDefaultSubstitute(display, DefaultScreen(display), request);
  FcConfigSubstitute(nullptr, request, FcMatchPattern);
  FcDefaultSubstitute(request);
  face->pattern = request;
  // A pixel more above the face's ascent: accents over capitals reach it.
  face->ascent = font->ascent + 1;
  face->descent = font->descent;
  FT_UInt zero = XftCharIndex(display, font, '0');
  XGlyphInfo info{};
  XftGlyphExtents(display, font, &zero, 1, &info);
  face->figure_width = info.xOff > 0 ? info.xOff : font->max_advance_width;
  XftSinkFace* raw = face.get();
  Faces().emplace(key, std::move(face));
  return raw;
}

// Emoji that are drawn as pictures by default: a colour font is preferred.
bool IsPictureEmoji(unsigned c) {
  return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2B00 && c <= 0x2BFF);
}

// The font of the fontconfig ranking that has `c`, colour ones only when
// `colour` is set; null when none has it.
XftFont* FallbackFor(XftSinkFace* face, unsigned c, bool colour) {
  if (!face->fallbacks) {
    FcResult result = FcResultNoMatch;
    face->fallbacks = FcFontSort(nullptr, face->pattern, FcTrue, nullptr, &result);
    if (!face->fallbacks) return nullptr;
    face->opened.assign(static_cast<std::size_t>(face->fallbacks->nfont), nullptr);
  }
  for (int i = 0; i < face->fallbacks->nfont; i++) {
    FcPattern* candidate = face->fallbacks->fonts[i];
    FcCharSet* chars = nullptr;
    if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &chars) != FcResultMatch || !FcCharSetHasChar(chars, c))
      continue;
    if (colour) {
      FcBool is_colour = FcFalse;
      if (FcPatternGetBool(candidate, FC_COLOR, 0, &is_colour) != FcResultMatch || !is_colour) continue;
    }
    XftFont*& font = face->opened[static_cast<std::size_t>(i)];
    if (!font) {
      FcPattern* prepared = FcFontRenderPrepare(nullptr, face->pattern, candidate);
      if (!prepared) continue;
      font = XftFontOpenPattern(face->display, prepared);
      if (!font) {
        FcPatternDestroy(prepared);
        continue;
      }
    }
    if (XftCharIndex(face->display, font, c) != 0) return font;
  }
  return nullptr;
}

XftSinkFace::Glyph LookUp(XftSinkFace* face, unsigned c) {
  XftSinkFace::Glyph glyph{face->primary, 0, 0};
  bool control = c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
  if (!control) {
    XftFont* font = nullptr;
    if (IsPictureEmoji(c)) font = FallbackFor(face, c, true);
    if (!font && XftCharIndex(face->display, face->primary, c) != 0) font = face->primary;
    if (!font) font = FallbackFor(face, c, false);
    if (font) glyph = {font, XftCharIndex(face->display, font, c), 0};
  }
  // A combining mark or another character of no width of its own takes no
  // room: it is drawn over the one before it (monospaced faces give their
  // marks a whole cell), or not at all when no font has it.
  if (!control && wcwidth(static_cast<wchar_t>(c)) == 0) {
    glyph.advance = 0;
    if (glyph.index == 0) glyph.font = nullptr;
    return glyph;
  }
  // Glyph 0 of the face is its placeholder box.
  XGlyphInfo info{};
  XftGlyphExtents(face->display, glyph.font, &glyph.index, 1, &info);
  glyph.advance = info.xOff;
  return glyph;
}

const XftSinkFace::Glyph& GlyphOf(XftSinkFace* face, unsigned c) {
  if (c < 128) {
    if (!face->ascii_known[c]) {
      face->ascii[c] = LookUp(face, c);
      face->ascii_known[c] = true;
    }
    return face->ascii[c];
  }
  auto found = face->glyphs.find(c);
  if (found != face->glyphs.end()) return found->second;
  return face->glyphs.emplace(c, LookUp(face, c)).first->second;
}

XftSinkObject Sink(Widget w) { return reinterpret_cast<XftSinkObject>(w); }
TextWidget TextOf(Widget w) { return reinterpret_cast<TextWidget>(XtParent(w)); }
int LineHeight(XftSinkObject sink) { return sink->xft_sink.face->ascent + sink->xft_sink.face->descent; }

// The character at `i` of a block read from the source.
unsigned CharAt(const XawTextBlock& block, int i) {
  if (block.format == XawFmtWide) return static_cast<unsigned>(reinterpret_cast<const wchar_t*>(block.ptr)[i]);
  return static_cast<unsigned char>(block.ptr[i]);
}

// The width of `c` drawn at `x`: a tab reaches the next tab stop.
int CharWidth(XftSinkObject sink, int x, unsigned c) {
  if (c == '\n') return 0;
  if (c == '\t') {
    const TextSinkPart& ts = sink->text_sink;
    int left = TextOf(reinterpret_cast<Widget>(sink))->text.left_margin;
    int offset = x - left;
    if (offset < 0) return left - x;
    int last = ts.tab_count > 0 ? ts.tabs[ts.tab_count - 1] : 0;
    for (int i = 0; i < ts.tab_count; i++)
      if (ts.tabs[i] > offset) return ts.tabs[i] - offset;
    // Past the last stop: stops every 8 figures.
    int step = sink->xft_sink.face->figure_width * 8;
    if (step <= 0) return 0;
    int from = offset - last;
    return step - from % step;
  }
  return GlyphOf(sink->xft_sink.face, c).advance;
}

// Colours by pixel value, asked of the server once each.
XftColor* ColorOf(Widget w, Pixel pixel) {
  static auto* colors = new std::unordered_map<Pixel, XftColor>();
  auto found = colors->find(pixel);
  if (found != colors->end()) return &found->second;
  Display* display = XtDisplayOfObject(w);
  XColor x{};
  x.pixel = pixel;
  XQueryColor(display, TextOf(w)->core.colormap, &x);
  XRenderColor render{x.red, x.green, x.blue, 0xffff};
  XftColor color{};
  color.pixel = pixel;
  color.color = render;
  return &colors->emplace(pixel, color).first->second;
}

XftDraw* DrawOf(XftSinkObject sink) {
  if (!sink->xft_sink.draw) {
    Widget text = XtParent(reinterpret_cast<Widget>(sink));
    Display* display = XtDisplay(text);
    sink->xft_sink.draw = XftDrawCreate(display, XtWindow(text), DefaultVisualOfScreen(XtScreen(text)),
                                        text->core.colormap);
  }
  return sink->xft_sink.draw;
}

void XftSinkDisplayText(Widget w, int x, int y, XawTextPosition pos1, XawTextPosition pos2, Bool highlight) {
  XftSinkObject sink = Sink(w);
  TextWidget ctx = TextOf(w);
  if (!sink->multi_sink.echo || !XtIsRealized(reinterpret_cast<Widget>(ctx)) || !ctx->text.lt.lines) return;
  XftSinkFace* face = sink->xft_sink.face;
  XftDraw* draw = DrawOf(sink);
  XftColor* fg = ColorOf(w, highlight ? sink->text_sink.background : sink->text_sink.foreground);
  XftColor* bg = ColorOf(w, highlight ? sink->text_sink.foreground : sink->text_sink.background);
  int max_x = static_cast<int>(ctx->core.width) - ctx->text.r_margin.right;
  int baseline = y + face->ascent;
  int height = LineHeight(sink);
  int start_x = x;
  std::vector<XftGlyphFontSpec> specs;
  Widget source = ctx->text.source;
  XawTextBlock block;
  while (pos1 < pos2 && x < max_x) {
    XawTextPosition next = XawTextSourceRead(source, pos1, &block, static_cast<int>(pos2 - pos1));
    if (block.length <= 0) break;
    for (int i = 0; i < block.length && x < max_x; i++) {
      unsigned c = CharAt(block, i);
      if (c == '\n') continue;
      if (c == '\t') {
        x += CharWidth(sink, x, c);
        continue;
      }
      const XftSinkFace::Glyph& g = GlyphOf(face, c);
      if (g.font) specs.push_back({g.font, g.index, static_cast<short>(x), static_cast<short>(baseline)});
      x += g.advance;
    }
    pos1 = next;
  }
  if (x > max_x) x = max_x;
  if (x <= start_x) return;
  // Glyphs taller than the line (some emoji, stacked accents) are cut at
  // its edges: ink outside it would stay behind when the line changes.
  XRectangle line{static_cast<short>(start_x), static_cast<short>(y), static_cast<unsigned short>(x - start_x),
                  static_cast<unsigned short>(height)};
  XftDrawSetClipRectangles(draw, 0, 0, &line, 1);
  XftDrawRect(draw, bg, start_x, y, static_cast<unsigned>(x - start_x), static_cast<unsigned>(height));
  if (!specs.empty()) XftDrawGlyphFontSpec(draw, fg, specs.data(), static_cast<int>(specs.size()));
  XftDrawSetClip(draw, nullptr);
}

// The cursor is a block over the character at the insertion point (an
// outline while the note has not the keyboard focus); taking it away draws
// that character again.
void XftSinkInsertCursor(Widget w, int x, int, XawTextInsertState state) {
  XftSinkObject sink = Sink(w);
  TextWidget ctx = TextOf(w);
  Widget text = reinterpret_cast<Widget>(ctx);
  if (state == sink->multi_sink.laststate || !XtIsRealized(text)) {
    sink->multi_sink.laststate = state;
    return;
  }
  XawTextPosition pos;
  int top;
  if (state == XawisOn) {
    pos = ctx->text.insertPos;
    Position px = 0, py = 0;
    _XawTextPosToXY(text, pos, &px, &py);
    top = py;
    sink->multi_sink.cursor_x = static_cast<short>(x);
    sink->multi_sink.cursor_position = pos;
    sink->xft_sink.cursor_top = top;
  } else {
    pos = sink->multi_sink.cursor_position;
    x = sink->multi_sink.cursor_x;
    top = sink->xft_sink.cursor_top;
  }
  XRectangle cell;
  XawTextSinkGetCursorBounds(w, &cell);
  bool in_selection = pos >= ctx->text.s.left && pos < ctx->text.s.right;
  XawTextBlock block;
  XawTextSourceRead(ctx->text.source, pos, &block, 1);
  unsigned c = block.length > 0 ? CharAt(block, 0) : '\n';
  if (state == XawisOn) {
    XftDraw* draw = DrawOf(sink);
    XftColor* fg = ColorOf(w, sink->text_sink.cursor_color);
    if (ctx->text.hasfocus) {
      XftDrawRect(draw, fg, x, top, cell.width, cell.height);
      const XftSinkFace::Glyph& g = GlyphOf(sink->xft_sink.face, c);
      if (c != '\n' && c != '\t' && g.font) {
        XftGlyphFontSpec glyph{g.font, g.index, static_cast<short>(x), static_cast<short>(top + sink->xft_sink.face->ascent)};
        XftDrawGlyphFontSpec(draw, ColorOf(w, sink->text_sink.background), &glyph, 1);
      }
    } else {
      XftDrawRect(draw, fg, x, top, cell.width, 1);
      XftDrawRect(draw, fg, x, top + cell.height - 1, cell.width, 1);
      XftDrawRect(draw, fg, x, top, 1, cell.height);
      XftDrawRect(draw, fg, x + cell.width - 1, top, 1, cell.height);
    }
  } else if (c != '\n' && c != '\t' && GlyphOf(sink->xft_sink.face, c).advance > 0) {
    XftSinkDisplayText(w, x, top, pos, pos + 1, in_selection);
  } else {
    XftDrawRect(DrawOf(sink), ColorOf(w, in_selection && c == '\t' ? sink->text_sink.foreground : sink->text_sink.background),
                x, top, cell.width, cell.height);
    // A mark of no width: the cell was the next character's.
    if (c != '\n' && c != '\t')
      XftSinkDisplayText(w, x, top, pos + 1, pos + 2, pos + 1 >= ctx->text.s.left && pos + 1 < ctx->text.s.right);
  }
  sink->multi_sink.laststate = state;
}

void XftSinkGetCursorBounds(Widget w, XRectangle* rect) {
  XftSinkObject sink = Sink(w);
  XawTextBlock block;
  XawTextSourceRead(TextOf(w)->text.source, sink->multi_sink.cursor_position, &block, 1);
  unsigned c = block.length > 0 ? CharAt(block, 0) : ' ';
  if (c == '\n' || c == '\t') c = ' ';
  int width = GlyphOf(sink->xft_sink.face, c).advance;
  rect->x = sink->multi_sink.cursor_x;
  rect->y = static_cast<short>(sink->xft_sink.cursor_top);
  if (width <= 0) width = sink->xft_sink.face->figure_width;
  rect->width = static_cast<unsigned short>(width > 0 ? width : 1);
  rect->height = static_cast<unsigned short>(LineHeight(sink));
}

// From `fromPos` at `fromx`: the first position whose character does not
// fit in `width` pixels (the one after a newline when the line ends first),
// breaking after a blank when `stopAtWordBreak` allows.
void XftSinkFindPosition(Widget w, XawTextPosition fromPos, int fromx, int width, Bool stopAtWordBreak,
                         XawTextPosition* resPos, int* resWidth, int* resHeight) {
  XftSinkObject sink = Sink(w);
  TextWidget ctx = TextOf(w);
  XawTextBlock block;
  XawTextPosition pos = XawTextSourceRead(ctx->text.source, fromPos, &block, BUFSIZ);
  int rwidth = 0, last_width = 0, blank_width = 0;
  XawTextPosition idx = fromPos, blank_pos = 0;
  bool blank_seen = false;
  unsigned c = 0;
  for (int i = 0; rwidth <= width; i++, idx++) {
    if (i >= block.length) {
      i = 0;
      pos = XawTextSourceRead(ctx->text.source, pos, &block, BUFSIZ);
      if (block.length <= 0) break;
    }
    c = CharAt(block, i);
    last_width = rwidth;
    rwidth += CharWidth(sink, fromx + rwidth, c);
    if (c == '\n') {
      idx++;
      break;
    }
    if ((c == ' ' || c == '\t') && rwidth <= width) {
      blank_seen = true;
      blank_pos = idx;
      blank_width = rwidth;
    }
  }
  if (rwidth > width && idx > fromPos) {
    idx--;
    rwidth = last_width;
    if (stopAtWordBreak && blank_seen) {
      idx = blank_pos + 1;
      rwidth = blank_width;
    }
  }
  if (idx >= ctx->text.lastPos && c != '\n') idx = ctx->text.lastPos + 1;
  *resPos = idx;
  *resWidth = rwidth;
  *resHeight = LineHeight(sink);
}

void XftSinkFindDistance(Widget w, XawTextPosition fromPos, int fromx, XawTextPosition toPos, int* resWidth,
                         XawTextPosition* resPos, int* resHeight) {
  XftSinkObject sink = Sink(w);
  Widget source = TextOf(w)->text.source;
  XawTextBlock block;
  XawTextPosition pos = XawTextSourceRead(source, fromPos, &block, static_cast<int>(toPos - fromPos));
  int width = 0;
  XawTextPosition idx = fromPos;
  for (int i = 0; idx < toPos; i++, idx++) {
    if (i >= block.length) {
      i = 0;
      pos = XawTextSourceRead(source, pos, &block, static_cast<int>(toPos - pos));
      if (block.length <= 0) break;
    }
    unsigned c = CharAt(block, i);
    width += CharWidth(sink, fromx + width, c);
    if (c == '\n') {
      idx++;
      break;
    }
  }
  *resWidth = width;
  *resPos = idx;
  *resHeight = LineHeight(sink);
}

void XftSinkResolve(Widget w, XawTextPosition pos, int fromx, int width, XawTextPosition* pos_return) {
  int res_width = 0, res_height = 0;
  XftSinkFindPosition(w, pos, fromx, width, False, pos_return, &res_width, &res_height);
  XawTextPosition last = TextOf(w)->text.lastPos;
  if (*pos_return > last) *pos_return = last;
}

int XftSinkMaxLines(Widget w, unsigned int height) {
  int line = LineHeight(Sink(w));
  return line > 0 ? static_cast<int>(height) / line : 0;
}

int XftSinkMaxHeight(Widget w, int lines) { return lines * LineHeight(Sink(w)); }

void XftSinkSetTabs(Widget w, int tab_count, short* tabs) {
  XftSinkObject sink = Sink(w);
  TextSinkPart& ts = sink->text_sink;
  if (tab_count > ts.tab_count) {
    ts.tabs = reinterpret_cast<Position*>(XtRealloc(reinterpret_cast<char*>(ts.tabs), sizeof(Position) * tab_count));
    ts.char_tabs = reinterpret_cast<short*>(XtRealloc(reinterpret_cast<char*>(ts.char_tabs), sizeof(short) * tab_count));
  }
  int figure = sink->xft_sink.face->figure_width;
  for (int i = 0; i < tab_count; i++) {
    ts.tabs[i] = static_cast<Position>(tabs[i] * figure);
    ts.char_tabs[i] = tabs[i];
  }
  ts.tab_count = tab_count;
}

void XftSinkInitialize(Widget, Widget created, ArgList, Cardinal*) {
  XftSinkObject sink = Sink(created);
  sink->xft_sink.draw = nullptr;
  sink->xft_sink.cursor_top = 0;
  sink->xft_sink.face = OpenFace(XtDisplayOfObject(created), sink->xft_sink.face_name, sink->xft_sink.face_size);
}

Boolean XftSinkSetValues(Widget current, Widget, Widget updated, ArgList, Cardinal*) {
  XftSinkObject old_sink = Sink(current), sink = Sink(updated);
  if (old_sink->xft_sink.face_size == sink->xft_sink.face_size &&
      old_sink->xft_sink.face_name == sink->xft_sink.face_name)
    return False;
  XftSinkFace* face = OpenFace(XtDisplayOfObject(updated), sink->xft_sink.face_name, sink->xft_sink.face_size);
  if (face) sink->xft_sink.face = face;
  return True;
}

void XftSinkDestroy(Widget w) {
  XftSinkObject sink = Sink(w);
  if (sink->xft_sink.draw) XftDrawDestroy(sink->xft_sink.draw);
  sink->xft_sink.draw = nullptr;
}

#define Offset(field) XtOffsetOf(XftSinkRec, xft_sink.field)
XtResource resources[] = {
    {const_cast<String>(XtNfaceName), const_cast<String>(XtCFaceName), const_cast<String>(XtRString), sizeof(String),
     Offset(face_name), const_cast<String>(XtRString), const_cast<char*>("DejaVu Sans Mono")},
    {const_cast<String>(XtNfaceSize), const_cast<String>(XtCFaceSize), const_cast<String>(XtRFloat), sizeof(float),
     Offset(face_size), const_cast<String>(XtRString), const_cast<char*>("11")},
};
#undef Offset

// Painting in one pass (the toolkit's paint lists) is not used: the widget
// draws through DisplayText.
TextSinkExtRec paint_extension = {nullptr, NULLQUARK, 1, sizeof(TextSinkExtRec), nullptr, nullptr, nullptr, nullptr};

// The full names and classes of `w` from the application down, as quarks.
void QuarksOf(Widget w, std::vector<XrmQuark>* names, std::vector<XrmQuark>* classes) {
  std::vector<Widget> chain;
  for (Widget p = w; p; p = XtParent(p)) chain.push_back(p);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    names->push_back((*it)->core.xrm_name);
    WidgetClass cls = XtClass(*it);
    if (!XtParent(*it)) {
      String name = nullptr, cls_name = nullptr;
      XtGetApplicationNameAndClass(XtDisplay(*it), &name, &cls_name);
      classes->push_back(XrmStringToQuark(cls_name));
    } else {
      classes->push_back(cls->core_class.xrm_class);
    }
  }
  names->push_back(NULLQUARK);
  classes->push_back(NULLQUARK);
}

// Whether the font set of the sink `multi` is the one the program's
// built-in lines give it: the user has not chosen core fonts.
bool BuiltInFontSet(Widget multi) {
  XFontSet set = reinterpret_cast<MultiSinkObject>(multi)->multi_sink.fontset;
  if (!set) return false;
  // The toolkit shares one font set among the widgets that ask for the
  // same fonts: every note's text is checked against the lines once.
  static auto* known_names = new std::string();
  static bool known_builtin = false;
  const char* base_names = XBaseFontNameListOfFontSet(set);
  if (!known_names->empty() && *known_names == base_names) return known_builtin;
  std::vector<XrmQuark> names, classes;
  QuarksOf(multi, &names, &classes);
  names.back() = XrmStringToQuark("fontSet");
  classes.back() = XrmStringToQuark("FontSet");
  names.push_back(NULLQUARK);
  classes.push_back(NULLQUARK);
  XrmDatabase builtin = XrmGetStringDatabase(InternationalResourceLines().c_str());
  XrmRepresentation type = NULLQUARK;
  XrmValue value{};
  bool same = XrmQGetResource(builtin, names.data(), classes.data(), &type, &value) && value.addr &&
              std::strcmp(value.addr, base_names) == 0;
  XrmDestroyDatabase(builtin);
  known_names->assign(base_names);
  known_builtin = same;
  return same;
}

}  // namespace

XftSinkClassRec xftSinkClassRec = {
    {
        /* object_class fields */
        /* superclass               */ reinterpret_cast<WidgetClass>(&multiSinkClassRec),
        /* class_name               */ const_cast<String>("MultiSink"),
        /* widget_size              */ sizeof(XftSinkRec),
        /* class_initialize         */ nullptr,
        /* class_part_initialize    */ nullptr,
        /* class_inited             */ False,
        /* initialize               */ XftSinkInitialize,
        /* initialize_hook          */ nullptr,
        /* obj1 (realize)           */ nullptr,
        /* obj2 (actions)           */ nullptr,
        /* obj3 (num_actions)       */ 0,
        /* resources                */ resources,
        /* num_resources            */ XtNumber(resources),
        /* xrm_class                */ NULLQUARK,
        /* obj4 (compress_motion)   */ False,
        /* obj5 (compress_exposure) */ False,
        /* obj6 (compress_enterleave) */ False,
        /* obj7 (visible_interest)  */ False,
        /* destroy                  */ XftSinkDestroy,
        /* obj8 (resize)            */ nullptr,
        /* obj9 (expose)            */ nullptr,
        /* set_values               */ XftSinkSetValues,
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
        /* text_sink_class fields */
        /* DisplayText              */ XftSinkDisplayText,
        /* InsertCursor             */ XftSinkInsertCursor,
        /* ClearToBackground        */ XtInheritClearToBackground,
        /* FindPosition             */ XftSinkFindPosition,
        /* FindDistance             */ XftSinkFindDistance,
        /* Resolve                  */ XftSinkResolve,
        /* MaxLines                 */ XftSinkMaxLines,
        /* MaxHeight                */ XftSinkMaxHeight,
        /* SetTabs                  */ XftSinkSetTabs,
        /* GetCursorBounds          */ XftSinkGetCursorBounds,
        /* extension                */ &paint_extension,
    },
    {
        /* multi_sink_class fields */
        /* extension                */ nullptr,
    },
    {
        /* xft_sink_class fields */
        /* extension                */ nullptr,
    },
};

WidgetClass xftSinkObjectClass = reinterpret_cast<WidgetClass>(&xftSinkClassRec);

bool XftSinkInstall(Widget text) {
  TextWidget ctx = reinterpret_cast<TextWidget>(text);
  Widget old_sink = ctx->text.sink;
  if (!old_sink || !XtIsSubclass(old_sink, multiSinkObjectClass) || !BuiltInFontSet(old_sink)) return false;
  Widget sink = XtCreateWidget("textSink", xftSinkObjectClass, text, nullptr, 0);
  if (!Sink(sink)->xft_sink.face) {
    XtDestroyWidget(sink);
    return false;
  }
  ctx->text.sink = sink;
  int tabs[32];
  for (int i = 0; i < 32; i++) tabs[i] = 8 * (i + 1);
  XawTextSinkSetTabs(sink, 32, tabs);
  XtDestroyWidget(old_sink);
  return true;
}

bool XftSinkInstallOneLine(Widget text) {
  TextWidget ctx = reinterpret_cast<TextWidget>(text);
  Widget old_sink = ctx->text.sink;
  // The height the widget gave itself for one line of the sink it made.
  int one_line = old_sink ? VMargins(ctx) + XawTextSinkMaxHeight(old_sink, 1) : -1;
  if (!XftSinkInstall(text)) return false;
  if (ctx->core.height == one_line) {
    Arg args[1];
    XtSetArg(args[0], XtNheight, static_cast<Dimension>(VMargins(ctx) + XftSinkMaxHeight(ctx->text.sink, 1)));
    XtSetValues(text, args, 1);
  }
  return true;
}

int XftSinkLineHeight(Widget sink) { return LineHeight(Sink(sink)); }
