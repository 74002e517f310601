// The note's text source: the text lives in the source, grows, and an edit
// that would pass the cap is refused whole, before anything is written.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/locale.h"
#include "model/utf8.h"
#include "notes/NoteSourceP.h"
#include "x11_util.h"

namespace {

// Resident set size of this process in bytes.
long ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * sysconf(_SC_PAGESIZE);
}

XawTextBlock Block(const std::string& bytes) {
  XawTextBlock block;
  block.firstPos = 0;
  block.length = static_cast<int>(bytes.size());
  block.ptr = const_cast<char*>(bytes.data());
  block.format = XawFmt8Bit;
  return block;
}

XawTextBlock WideBlock(const std::wstring& chars) {
  XawTextBlock block;
  block.firstPos = 0;
  block.length = static_cast<int>(chars.size());
  block.ptr = reinterpret_cast<char*>(const_cast<wchar_t*>(chars.data()));
  block.format = XawFmtWide;
  return block;
}

// The whole text of an 8-bit source.
void CountCall(Widget, XtPointer client_data, XtPointer) { ++*static_cast<int*>(client_data); }

void RecordLimit(Widget, XtPointer client_data, XtPointer call_data) {
  static_cast<std::vector<NoteSourceLimit>*>(client_data)->push_back(*static_cast<NoteSourceLimit*>(call_data));
}

void FlagDestroyed(Widget, XtPointer client_data, XtPointer) { *static_cast<bool*>(client_data) = true; }

// A realized shell holding one text widget that edits a NoteSource.
class NoteSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { Build(); }
  void TearDown() override { Discard(); }

  void Build() {
    changes = 0;
    limits.clear();
    shell = XtCreatePopupShell("SourceShell", topLevelShellWidgetClass, program.toplevel, nullptr, 0);
    Arg args[3];
    XtSetArg(args[0], XtNeditType, XawtextEdit);
    XtSetArg(args[1], XtNwidth, 300);
    XtSetArg(args[2], XtNheight, 200);
    text = XtCreateManagedWidget("NoteText", asciiTextWidgetClass, shell, args, 3);
  }
  void Discard() {
    if (shell) XtDestroyWidget(shell);
    shell = nullptr;
    Pump();
  }

  // Installs a source holding `initial` with the given cap.
  Widget Install(const std::string& initial, int cap) {
    Arg args[5];
    Cardinal n = 0;
    XtSetArg(args[n], XtNstring, initial.c_str()); n++;
    XtSetArg(args[n], XtNeditType, XawtextEdit); n++;
    XtSetArg(args[n], const_cast<String>(XtNmaxLength), cap); n++;
    source = NoteSourceInstall(text, args, n);
    XtAddCallback(source, XtNcallback, CountCall, &changes);
    XtAddCallback(source, XtNlimitCallback, RecordLimit, &limits);
    XtRealizeWidget(shell);
    return source;
  }

  int Insert(XawTextPosition pos, const std::string& bytes) {
    XawTextBlock block = Block(bytes);
    return XawTextReplace(text, pos, pos, &block);
  }

  Widget shell = nullptr;
  Widget text = nullptr;
  Widget source = nullptr;
  int changes = 0;
  std::vector<NoteSourceLimit> limits;
};

TEST_F(NoteSourceTest, TakesThePlaceOfTheWidgetsOwnSource) {
  if (Utf8Notes()) GTEST_SKIP() << "the single-byte source of the C locale";
  Widget own = XawTextGetSource(text);
  bool own_destroyed = false;
  XtAddCallback(own, XtNdestroyCallback, FlagDestroyed, &own_destroyed);
  Install("hello", 100);
  EXPECT_TRUE(own_destroyed);
  EXPECT_EQ(XawTextGetSource(text), source);
  EXPECT_EQ(XtClass(source), noteSourceObjectClass);
  EXPECT_TRUE(XtIsSubclass(source, asciiSrcObjectClass));
  EXPECT_STREQ(XtName(source), "textSource");
  EXPECT_EQ(XtParent(source), text);
  // Resource lines that name the source by class keep reaching it.
  EXPECT_STREQ(XtClass(source)->core_class.class_name, "AsciiSrc");
  EXPECT_EQ(SourceText(source), "hello");
  EXPECT_EQ(NoteSourceLength(source), 5);
  // The text widget reads its text through the new source.
  String string = nullptr;
  Arg arg;
  XtSetArg(arg, XtNstring, &string);
  XtGetValues(source, &arg, 1);
  EXPECT_STREQ(string, "hello");
}

TEST_F(NoteSourceTest, DefaultCapIs16MiB) {
  Widget s = NoteSourceInstall(text, nullptr, 0);
  int cap = 0;
  Arg arg;
  XtSetArg(arg, const_cast<String>(XtNmaxLength), &cap);
  XtGetValues(s, &arg, 1);
  EXPECT_EQ(cap, 16 * 1024 * 1024);
}

TEST_F(NoteSourceTest, EditsUpToTheCapGoInAndOneByteMoreIsRefusedWhole) {
  struct Case {
    const char* what;
    std::size_t added;
    bool accepted;
  } cases[] = {
      {"one below the cap", 5, true},
      {"exactly at the cap", 6, true},
      {"one above the cap", 7, false},
      {"far above the cap", 5000, false},
  };
  for (const Case& c : cases) {
    Discard();
    Build();
    Install("0123456789", 16);
    std::string added(c.added, 'x');
    int result = Insert(5, added);
    Pump();
    if (c.accepted) {
      EXPECT_EQ(result, XawEditDone) << c.what;
      EXPECT_EQ(SourceText(source), "01234" + added + "56789") << c.what;
      EXPECT_EQ(changes, 1) << c.what;
      EXPECT_TRUE(limits.empty()) << c.what;
    } else {
      EXPECT_EQ(result, XawEditError) << c.what;
      EXPECT_EQ(SourceText(source), "0123456789") << c.what;
      EXPECT_EQ(changes, 0) << c.what << ": a refused edit is no change";
      ASSERT_EQ(limits.size(), 1u) << c.what;
      EXPECT_EQ(limits[0].length, static_cast<XawTextPosition>(10 + c.added)) << c.what;
      EXPECT_EQ(limits[0].max_length, 16) << c.what;
    }
    EXPECT_EQ(NoteSourceLength(source), static_cast<XawTextPosition>(SourceText(source).size())) << c.what;
  }
}

TEST_F(NoteSourceTest, UserEditsThroughTheWidgetObeyTheCap) {
  Install("abc", 6);
  XawTextSetInsertionPoint(text, 3);
  String params[] = {const_cast<String>("xyz")};
  XtCallActionProc(text, "insert-string", nullptr, params, 1);
  EXPECT_EQ(SourceText(source), "abcxyz");
  XtCallActionProc(text, "insert-string", nullptr, params, 1);
  EXPECT_EQ(SourceText(source), "abcxyz");
  EXPECT_EQ(limits.size(), 1u);
  // Deleting makes room again.
  XtCallActionProc(text, "delete-previous-character", nullptr, nullptr, 0);
  EXPECT_EQ(SourceText(source), "abcxy");
  String one[] = {const_cast<String>("!")};
  XtCallActionProc(text, "insert-string", nullptr, one, 1);
  EXPECT_EQ(SourceText(source), "abcxy!");
}

TEST_F(NoteSourceTest, EditsThatDoNotLengthenAreTakenAboveTheCap) {
  // A text loaded above the cap can still be cut down and changed in place.
  Install(std::string(20, 'a'), 16);
  const std::string bb = "bb", empty;
  XawTextBlock same = Block(bb);
  EXPECT_EQ(XawTextReplace(text, 0, 2, &same), XawEditDone);
  XawTextBlock none = Block(empty);
  EXPECT_EQ(XawTextReplace(text, 0, 1, &none), XawEditDone);
  EXPECT_EQ(SourceText(source), "b" + std::string(18, 'a'));
  EXPECT_EQ(Insert(0, "c"), XawEditError);
  EXPECT_EQ(NoteSourceLength(source), 19);
}

TEST_F(NoteSourceTest, RefusingReadsNothingOfTheRefusedText) {
  // The block claims a gigabyte behind a four-byte buffer: a refusal that
  // looked at it would fault. The default cap applies.
  Arg arg;
  XtSetArg(arg, XtNeditType, XawtextEdit);
  Widget s = NoteSourceInstall(text, &arg, 1);
  XtAddCallback(s, XtNlimitCallback, RecordLimit, &limits);
  char tiny[4] = {'a', 'b', 'c', 'd'};
  XawTextBlock block;
  block.firstPos = 0;
  block.length = 1 << 30;
  block.ptr = tiny;
  block.format = XawFmt8Bit;
  EXPECT_EQ(XawTextReplace(text, 0, 0, &block), XawEditError);
  EXPECT_EQ(NoteSourceLength(s), 0);
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_EQ(limits[0].length, 1 << 30);
}

TEST_F(NoteSourceTest, RefusedPastesLeaveNoMemoryBehind) {
  Install("small", 1000);
  std::string paste(200 * 1024, 'p');
  Insert(0, paste);  // the first one may warm up allocations
  long before = ResidentBytes();
  for (int i = 0; i < 40; ++i) EXPECT_EQ(Insert(0, paste), XawEditError);
  long grown = ResidentBytes() - before;
  EXPECT_LT(grown, 1024 * 1024) << "40 refused pastes of 200 KB";
  EXPECT_EQ(SourceText(source), "small");
}

TEST_F(NoteSourceTest, TextGrowsFarBeyondOnePiece) {
  Install("", 4 * 1024 * 1024);
  std::string expected;
  std::string chunk;
  for (int i = 0; i < 300; ++i) {
    chunk = std::to_string(i) + std::string(3000, 'a' + i % 26) + "\n";
    ASSERT_EQ(Insert(static_cast<XawTextPosition>(expected.size()), chunk), XawEditDone);
    expected += chunk;
  }
  EXPECT_EQ(NoteSourceLength(source), static_cast<XawTextPosition>(expected.size()));
  EXPECT_EQ(SourceText(source), expected);
  // The whole text is taken from the pieces in order, wherever edits split
  // them.
  EXPECT_EQ(NoteSourceText(source), expected);
  const XawTextPosition middle = static_cast<XawTextPosition>(expected.size() / 2);
  ASSERT_EQ(Insert(middle, "middle"), XawEditDone);
  ASSERT_EQ(Insert(0, "head"), XawEditDone);
  expected.insert(static_cast<std::size_t>(middle), "middle");
  expected.insert(0, "head");
  EXPECT_EQ(NoteSourceText(source), expected);
  EXPECT_EQ(SourceText(source), expected);
}

TEST_F(NoteSourceTest, SettingTheWholeTextBypassesNothingButTheCheck) {
  Install("before", 10);
  Arg arg;
  XtSetArg(arg, XtNstring, "a longer text than the cap");
  XtSetValues(source, &arg, 1);
  EXPECT_EQ(SourceText(source), "a longer text than the cap");
  EXPECT_EQ(NoteSourceLength(source), 26);
  EXPECT_EQ(Insert(0, "x"), XawEditError);
}

// The MultiSrc subclass counts the text's length in UTF-8 bytes.
class NoteMultiSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Arg args[3];
    XtSetArg(args[0], XtNeditType, XawtextEdit);
    XtSetArg(args[1], XtNstring, "ab");
    XtSetArg(args[2], const_cast<String>(XtNmaxLength), 12);
    source = XtCreateWidget("textSource", noteMultiSourceObjectClass, program.toplevel, args, 3);
    XtAddCallback(source, XtNlimitCallback, RecordLimit, &limits);
    XtAddCallback(source, XtNcallback, RecordLength, this);
  }
  void TearDown() override { XtDestroyWidget(source); }

  static void RecordLength(Widget w, XtPointer client_data, XtPointer) {
    static_cast<NoteMultiSourceTest*>(client_data)->seen_by_callback = NoteSourceLength(w);
  }

  int Replace(XawTextPosition from, XawTextPosition to, const std::wstring& chars) {
    XawTextBlock block = WideBlock(chars);
    return XawTextSourceReplace(source, from, to, &block);
  }

  XawTextPosition Chars() { return XawTextSourceScan(source, 0, XawstAll, XawsdRight, 1, True); }

  Widget source = nullptr;
  std::vector<NoteSourceLimit> limits;
  XawTextPosition seen_by_callback = -1;
};

TEST_F(NoteMultiSourceTest, CountsUtf8BytesAsTheTextChanges) {
  EXPECT_TRUE(XtIsSubclass(source, multiSrcObjectClass));
  EXPECT_STREQ(XtClass(source)->core_class.class_name, "MultiSrc");
  EXPECT_EQ(NoteSourceLength(source), 2);
  struct Step {
    const char* what;
    XawTextPosition from, to;
    std::wstring chars;
    int result;
    XawTextPosition bytes;
  } steps[] = {
      {"e acute, euro sign and an emoji", 1, 1, L"\u00e9\u20ac\U0001F600", XawEditDone, 11},
      {"one byte more: exactly at the cap", 0, 0, L"x", XawEditDone, 12},
      {"a two-byte character past the cap", 0, 0, L"\u00e9", XawEditError, 12},
      {"replacing the euro sign by a two-byte one", 3, 4, L"\u00e9", XawEditDone, 11},
      {"replacing it by a four-byte one: one above", 3, 4, L"\U0001F600", XawEditError, 11},
      {"deleting the emoji", 4, 5, L"", XawEditDone, 7},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Replace(s.from, s.to, s.chars), s.result) << s.what;
    EXPECT_EQ(NoteSourceLength(source), s.bytes) << s.what;
    if (s.result == XawEditDone) {
      EXPECT_EQ(seen_by_callback, s.bytes) << s.what << ": the change callback";
    }
  }
  EXPECT_EQ(Chars(), 5);
  EXPECT_EQ(NoteSourceText(source), "xa\xc3\xa9\xc3\xa9" "b") << "the text as UTF-8";
  ASSERT_EQ(limits.size(), 2u);
  EXPECT_EQ(limits[0].length, 14);
  EXPECT_EQ(limits[1].length, 13);
}

TEST_F(NoteMultiSourceTest, WholeTextOfManyPiecesComesOutAsUtf8InOrder) {
  Arg arg;
  XtSetArg(arg, const_cast<String>(XtNmaxLength), 4 * 1024 * 1024);
  XtSetValues(source, &arg, 1);
  std::wstring chars = L"ab";
  for (int i = 0; i < 200; ++i) {
    const std::wstring chunk = std::wstring(2000, i % 2 ? L'\u00e9' : L'\u20ac') + L"\n";
    const XawTextPosition at = i % 3 == 0 ? 0 : static_cast<XawTextPosition>(chars.size() / 2);
    ASSERT_EQ(Replace(at, at, chunk), XawEditDone);
    chars.insert(static_cast<std::size_t>(at), chunk);
  }
  std::string expected;
  AppendWideAsUtf8(&expected, chars.data(), chars.size());
  EXPECT_EQ(NoteSourceText(source), expected);
  EXPECT_EQ(NoteSourceLength(source), static_cast<XawTextPosition>(expected.size()));
}

TEST_F(NoteMultiSourceTest, MultibyteInsertionsAndWholeTextsAreCounted) {
  const std::string xyz = "xyz", abc = "abc";
  XawTextBlock block = Block(xyz);
  EXPECT_EQ(XawTextSourceReplace(source, 2, 2, &block), XawEditDone);
  EXPECT_EQ(NoteSourceLength(source), 5);
  Arg arg;
  XtSetArg(arg, XtNstring, "0123456789");
  XtSetValues(source, &arg, 1);
  EXPECT_EQ(NoteSourceLength(source), 10);
  XawTextBlock three = Block(abc);
  EXPECT_EQ(XawTextSourceReplace(source, 0, 0, &three), XawEditError);
  EXPECT_EQ(NoteSourceLength(source), 10);
}

}  // namespace

namespace {

TEST(NoteSourceInstall, InternationalTextGetsTheMultiSrcSubclass) {
  Widget shell = XtCreatePopupShell("SourceShell", topLevelShellWidgetClass, program.toplevel, nullptr, 0);
  Arg args[2];
  XtSetArg(args[0], XtNinternational, True);
  XtSetArg(args[1], XtNeditType, XawtextEdit);
  Widget text = XtCreateManagedWidget("NoteText", asciiTextWidgetClass, shell, args, 2);
  Widget own = XawTextGetSource(text);
  bool own_destroyed = false;
  XtAddCallback(own, XtNdestroyCallback, FlagDestroyed, &own_destroyed);
  XtSetArg(args[0], XtNstring, "abc");
  Widget source = NoteSourceInstall(text, args, 2);
  EXPECT_TRUE(own_destroyed);
  EXPECT_EQ(XtClass(source), noteMultiSourceObjectClass);
  EXPECT_EQ(XawTextGetSource(text), source);
  // The widget edits the new source (it stays unrealized: drawing needs
  // the fonts of a UTF-8 locale, which this test process does not set).
  const std::wstring de = L"d\u00e9";
  XawTextBlock block = WideBlock(de);
  EXPECT_EQ(XawTextReplace(text, 3, 3, &block), XawEditDone);
  EXPECT_EQ(NoteSourceLength(source), 6);
  XtDestroyWidget(shell);
  Pump();
}

}  // namespace
