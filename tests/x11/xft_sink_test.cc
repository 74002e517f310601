// The note text's Xft sink in a UTF-8 locale, on lines that mix Latin with
// combining accents, Greek, wide CJK characters, an emoji, a tab and a
// character no font has: where characters stand, where a click puts the
// caret, how the caret and the selection are drawn (read back from the
// window's pixels), lines, wrapping and scrolling. Runs only in UTF-8 mode
// (the x11_utf8 test).
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/TextP.h>
#include <X11/Xaw/TextSink.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/locale.h"
#include "app/one_line_field.h"
#include "model/note_list.h"
#include "notes/XftSink.h"
#include "notes/XftSinkP.h"
#include "notes/name_dialog.h"
#include "notes/note_window.h"
#include "tools/alarm_rules.h"
#include "tools/alarms.h"
#include "x11_util.h"

namespace {

// "Ae" with a combining acute (2 positions, one cell), a blank, Greek, two
// CJK characters, an emoji, a tab, "x", then U+10FFFD (no font has it).
const std::string kLine =
    "Ae\xcc\x81 \xce\xb1\xce\xb2 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80\tx\xf4\x8f\xbf\xbd";
enum Pos { kA = 0, kE, kAcute, kBlank1, kAlpha, kBeta, kBlank2, kNichi, kHon, kBlank3, kEmoji, kTab, kX, kNone, kEnd };

class XftSinkTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!::Utf8Notes()) GTEST_SKIP() << "runs in UTF-8 mode only (STIKKEL_X11_UTF8=1)";
  }
  Widget Show(const std::string& text) {
    note_ = ShowNoteAt(40, 40, text);
    text_ = NoteWidget(note_, "NoteText");
    Pump();
    return text_;
  }
  TextWidget Ctx() const { return reinterpret_cast<TextWidget>(text_); }
  Widget SinkOf() const { return Ctx()->text.sink; }
  int XOf(XawTextPosition pos) const {
    Position x = 0, y = 0;
    _XawTextPosToXY(text_, pos, &x, &y);
    return x;
  }
  int YOf(XawTextPosition pos) const {
    Position x = 0, y = 0;
    _XawTextPosToXY(text_, pos, &x, &y);
    return y;
  }
  // Where button 1 pressed at x, y of the text puts the caret.
  XawTextPosition Click(int x, int y) {
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.display = program.display;
    event.xbutton.window = XtWindow(text_);
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.button = Button1;
    event.xbutton.time = time_ += 10000;  // no double click
    XtCallActionProc(text_, "select-start", &event, nullptr, 0);
    event.xbutton.type = ButtonRelease;
    XtCallActionProc(text_, "extend-end", &event, nullptr, 0);
    Pump();
    return XawTextGetInsertionPoint(text_);
  }
  unsigned long PixelAt(int x, int y) {
    XSync(program.display, False);
    XImage* image = XGetImage(program.display, XtWindow(text_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
  }
  // How many pixels of a row of the text from x0 to x1 have `pixel`.
  int Count(int x0, int x1, int y, unsigned long pixel) {
    XSync(program.display, False);
    XImage* image = XGetImage(program.display, XtWindow(text_), x0, y, static_cast<unsigned>(x1 - x0), 1, AllPlanes,
                              ZPixmap);
    if (!image) return -1;
    int n = 0;
    for (int x = 0; x < x1 - x0; x++) n += XGetPixel(image, x, 0) == pixel;
    XDestroyImage(image);
    return n;
  }
  Pixel Colour(const char* name) {
    Pixel p = 0;
    Arg arg;
    XtSetArg(arg, const_cast<String>(name), &p);
    XtGetValues(text_, &arg, 1);
    return p;
  }

  ProgramStateGuard program_state_;
  Note* note_ = nullptr;
  Widget text_ = nullptr;
  Time time_ = 1000;
};

TEST_F(XftSinkTest, CharactersStandWhereTheirGlyphsAdvance) {
  Show(kLine);
  ASSERT_TRUE(XtIsSubclass(SinkOf(), xftSinkObjectClass));
  const int latin = XOf(kE) - XOf(kA);
  ASSERT_GT(latin, 0);
  EXPECT_EQ(XOf(kBlank1) - XOf(kAcute), 0) << "a combining accent takes no room of its own";
  EXPECT_EQ(XOf(kAcute) - XOf(kE), latin) << "the accented e is one cell";
  EXPECT_GE(XOf(kHon) - XOf(kNichi), latin * 3 / 2) << "a CJK character is wide";
  EXPECT_GT(XOf(kTab) - XOf(kEmoji), latin) << "the emoji is drawn, and wide";
  // The tab reaches the next stop, 8 figures from the left margin.
  const int left = Ctx()->text.left_margin;
  const int stop = 8 * latin;
  EXPECT_EQ((XOf(kX) - left) % stop, 0);
  EXPECT_GT(XOf(kX), XOf(kTab));
  // The character no font has shows as one placeholder of some width; the
  // text keeps it.
  EXPECT_GT(XOf(kEnd) - XOf(kNone), 0);
  EXPECT_EQ(NoteText(note_), kLine);
  // Lines are as tall as the face, and so many fit.
  const int line = XftSinkLineHeight(SinkOf());
  EXPECT_GE(line, 10);
  EXPECT_EQ(XawTextSinkMaxLines(SinkOf(), static_cast<Dimension>(line * 5 + line / 2)), 5);
  // Another note shares the face (one font per face and size).
  Widget first = SinkOf();
  Show("\xce\xb1");
  EXPECT_NE(SinkOf(), first);
  EXPECT_EQ(reinterpret_cast<XftSinkObject>(SinkOf())->xft_sink.face, reinterpret_cast<XftSinkObject>(first)->xft_sink.face);
}

TEST_F(XftSinkTest, AClickPutsTheCaretBeforeTheCharacterUnderIt) {
  Show(kLine + "\nsecond line");
  const int y = YOf(0) + 2;
  const struct {
    Pos pos;
    int from_left;  // pixels right of the character's left edge; -1: its last pixel
  } cases[] = {{kA, 0}, {kA, -1}, {kE, 1}, {kBlank1, 1}, {kAlpha, 1}, {kNichi, 1}, {kNichi, -1},
               {kHon, 2}, {kEmoji, 1}, {kEmoji, -1}, {kX, 0}, {kNone, 1}};
  for (const auto& c : cases) {
    int next = c.pos == kE ? XOf(kBlank1) : XOf(c.pos + 1);
    int x = c.from_left < 0 ? next - 1 : XOf(c.pos) + c.from_left;
    EXPECT_EQ(Click(x, y), c.pos) << "at " << c.pos << " + " << c.from_left;
  }
  // Past the end of a line: the end of that line; on the second line.
  EXPECT_EQ(Click(XOf(kEnd) + 40, y), kEnd);
  const int second = YOf(kEnd + 1);
  EXPECT_GT(second, YOf(0));
  EXPECT_EQ(second - YOf(0), XftSinkLineHeight(SinkOf()));
  EXPECT_EQ(Click(XOf(kEnd + 1 + 3) + 1, second + 2), kEnd + 1 + 3);
}

TEST_F(XftSinkTest, TheSelectionAndTheCaretAreDrawnWhereTheCharactersAre) {
  Show(kLine);
  const Pixel fg = Colour(XtNforeground), bg = Colour(XtNbackground);
  const int top = YOf(0);
  const int line = XftSinkLineHeight(SinkOf());
  const int row = top + line - 2;  // below the glyphs' baseline, above descenders' end
  // Selected: the cells of alpha to the emoji drawn reversed, the rest not.
  XawTextSetSelection(text_, kAlpha, kEmoji);
  XawTextSetInsertionPoint(text_, kEnd);
  Pump();
  const int x0 = XOf(kAlpha), x1 = XOf(kEmoji);
  EXPECT_GE(Count(x0, x1, row, fg), (x1 - x0) * 9 / 10) << "selection reversed";
  EXPECT_GE(Count(XOf(kA), XOf(kBlank1), row, bg), (XOf(kBlank1) - XOf(kA)) * 9 / 10) << "before it plain";
  XawTextUnsetSelection(text_);
  Pump();
  EXPECT_GE(Count(x0, x1, row, bg), (x1 - x0) * 9 / 10) << "unselected plain again";
  // The caret: drawn at the insertion point, on a wide character too, and
  // gone from where it was.
  // On the combining accent it stands over the blank after the accented e.
  for (Pos pos : {kNichi, kAcute, kAlpha, kEnd}) {
    XawTextSetInsertionPoint(text_, pos);
    Pump();
    EXPECT_EQ(PixelAt(XOf(pos), top + line / 2), fg) << "caret at " << pos;
  }
  EXPECT_EQ(PixelAt(XOf(kNichi), top + 1), bg) << "the caret's old place is clean";
  EXPECT_EQ(PixelAt(XOf(kAcute), top + line / 2), bg);
  EXPECT_EQ(PixelAt(XOf(kAlpha), top + 1), bg);
}

TEST_F(XftSinkTest, LongLinesWrapAtBlanksAndScroll) {
  std::string text;
  for (int i = 0; i < 60; i++) text += "\xce\xb1\xce\xb2\xce\xb3 \xe6\x97\xa5\xe6\x9c\xac ";
  Show(text);
  const TextWidget ctx = Ctx();
  ASSERT_GT(ctx->text.lt.lines, 2);
  const int right = static_cast<int>(ctx->core.width) - ctx->text.r_margin.right;
  for (int i = 0; i < ctx->text.lt.lines - 1; i++) {
    const XawTextPosition start = ctx->text.lt.info[i + 1].position;
    EXPECT_LE(static_cast<int>(ctx->text.lt.info[i].textWidth) + ctx->text.left_margin, right) << "line " << i;
    // Each visible line after the first starts a word.
    EXPECT_TRUE(start % 7 == 0 || start % 7 == 4) << "line " << i + 1 << " starts at " << start;
  }
  // The caret at the end scrolls the text up to it.
  XawTextSetInsertionPoint(text_, static_cast<XawTextPosition>(60 * 7));
  Pump();
  EXPECT_GT(ctx->text.lt.top, 0);
  EXPECT_TRUE(IsPositionVisible(ctx, 60 * 7 - 1));
}

TEST_F(XftSinkTest, CoreFontsByResourceKeepTheFontSetSink) {
  XrmDatabase db = XtDatabase(program.display);
  XrmPutStringResource(&db, "Kleebord*TackOnNote*Note*NoteText*faceName", "");
  Show(kLine);
  EXPECT_FALSE(XtIsSubclass(SinkOf(), xftSinkObjectClass));
  EXPECT_EQ(NoteText(note_), kLine);
  XrmPutStringResource(&db, "Kleebord*TackOnNote*Note*NoteText*faceName", "DejaVu Sans Mono");
  Show(kLine);
  EXPECT_TRUE(XtIsSubclass(SinkOf(), xftSinkObjectClass));
}

const char kEmojiName[] = "Party \xf0\x9f\x98\x80 \xe6\x97\xa5\xe6\x9c\xac";

int CaretX(Widget text) {
  Position x = 0, y = 0;
  _XawTextPosToXY(text, XawTextGetInsertionPoint(text), &x, &y);
  return x;
}

TEST_F(XftSinkTest, TheNameFieldIsOneLineOfTheFaceAndScrollsToTheCaret) {
  Show("");
  note_->name = kEmojiName;
  NameNote(note_);
  Widget shell = PopupNamed("Name");
  ASSERT_NE(shell, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return IsMapped(shell); }));
  Widget field = XtNameToWidget(shell, "Dialog.value");
  ASSERT_NE(field, nullptr);
  TextWidget ctx = reinterpret_cast<TextWidget>(field);
  ASSERT_TRUE(XtIsSubclass(ctx->text.sink, xftSinkObjectClass));
  EXPECT_EQ(ctx->core.height, VMargins(ctx) + XftSinkLineHeight(ctx->text.sink));
  EXPECT_EQ(SourceText(ctx->text.source), kEmojiName);
  // A name far wider than the field: the caret at its end stays in view,
  // the start scrolls out to the left, and back at the start it shows.
  const std::string long_name = std::string(kEmojiName) + std::string(200, 'x');
  SetOneLineFieldText(field, long_name);
  Pump();
  const int right = static_cast<int>(ctx->core.width) - ctx->text.r_margin.right;
  EXPECT_GE(CaretX(field), 0);
  EXPECT_LE(CaretX(field), right);
  Position x = 0, y = 0;
  _XawTextPosToXY(field, 0, &x, &y);
  EXPECT_LT(x, 0) << "the field scrolled sideways";
  XawTextSetInsertionPoint(field, 0);
  Pump();
  EXPECT_EQ(CaretX(field), ctx->text.r_margin.left);
  // The selection is drawn in the text's foreground over its characters.
  XawTextSetSelection(field, 0, 5);
  Pump();
  XSync(program.display, False);
  XImage* image = XGetImage(program.display, XtWindow(field), 0, 0, ctx->core.width, ctx->core.height, AllPlanes,
                            ZPixmap);
  ASSERT_NE(image, nullptr);
  Pixel foreground = 0;
  Arg arg;
  XtSetArg(arg, XtNforeground, &foreground);
  XtGetValues(ctx->text.sink, &arg, 1);
  _XawTextPosToXY(field, 5, &x, &y);
  const int left = ctx->text.r_margin.left;
  int selected = 0;
  for (int px = left; px < x; px++) selected += XGetPixel(image, px, ctx->text.r_margin.top + 1) == foreground;
  XDestroyImage(image);
  EXPECT_GT(selected, (x - left) / 2) << "the highlight covers the selected characters";
  DismissNameDialog();
}

// The reminder draws its message with the face unless faceName is empty;
// the Dialog's label keeps the message either way.
TEST_F(XftSinkTest, TheReminderDrawsItsMessageWithTheFace) {
  XrmDatabase db = XtDatabase(program.display);
  for (const char* face : {"DejaVu Sans Mono", ""}) {
    SCOPED_TRACE(face);
    XrmPutStringResource(&db, "Kleebord*alarmDialog*faceName", face);
    Show("");
    note_->name = kEmojiName;
    for (const auto& note : Notes()) note->alarm.set = note.get() == note_;
    ResetAlarmChecks();
    CheckAlarmsAt(std::time(nullptr));
    ResetAlarmChecks();
    std::vector<Widget> reminders = PopupsNamed("AlarmShell");
    ASSERT_EQ(reminders.size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(reminders[0]); }));
    Widget dialog = XtNameToWidget(reminders[0], "alarmDialog");
    const std::string message = alarm_rules::ReminderText(kEmojiName);
    EXPECT_EQ(LabelOf(dialog), message);
    Widget text = XtNameToWidget(dialog, "message");
    Widget ok = XtNameToWidget(dialog, "alarmconfirm");
    ASSERT_NE(ok, nullptr);
    if (!*face) {
      EXPECT_EQ(text, nullptr);
      EXPECT_TRUE(XtIsManaged(XtNameToWidget(dialog, "label")));
      DestroyPopupsNamed("AlarmShell");
      continue;
    }
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(XtIsManaged(XtNameToWidget(dialog, "label")));
    TextWidget ctx = reinterpret_cast<TextWidget>(text);
    ASSERT_TRUE(XtIsSubclass(ctx->text.sink, xftSinkObjectClass));
    EXPECT_EQ(SourceText(ctx->text.source), message);
    // Three whole lines, the longest one in full, above the button.
    EXPECT_EQ(ctx->core.height, VMargins(ctx) + 3 * XftSinkLineHeight(ctx->text.sink));
    for (XawTextPosition end : {XawTextPosition(41), XawTextLastPosition(text)}) {
      Position x = 0, y = 0;
      _XawTextPosToXY(text, end, &x, &y);
      EXPECT_LE(x, static_cast<int>(ctx->core.width) - ctx->text.r_margin.right) << end;
      EXPECT_LT(y, static_cast<int>(ctx->core.height)) << end;
    }
    EXPECT_GE(ok->core.y, text->core.y + static_cast<int>(text->core.height));
    DestroyPopupsNamed("AlarmShell");
  }
  XrmPutStringResource(&db, "Kleebord*alarmDialog*faceName", "DejaVu Sans Mono");
}

}  // namespace
