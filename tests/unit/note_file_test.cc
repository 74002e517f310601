// The note file format: the bytes written and the rules by which files are read.
#include <gtest/gtest.h>

#include <string>

#include "storage/note_file.h"

namespace {

NoteFileReadOptions Screen(int width, int height, bool compatibility = false) {
  NoteFileReadOptions o;
  o.screen = {width, height};
  o.compatibility = compatibility;
  return o;
}

TEST(NoteFile, WritesTheExampleByteForByte) {
  Note note;
  note.x = 40;
  note.y = 60;
  note.height = 169;
  note.width = 227;
  note.alarm = {5, 14, 9, 30, false};
  note.name = "Note 3";
  note.text = "milk\nbread\n";
  const ScreenSize screen{1024, 768};
  EXPECT_EQ(FormatNoteFile(note, screen),
            "%%!!<tackonnote> 40 60 169 227 11 0 0 768 1024 0 5 14 9 30 \nNote 3\nmilk\nbread\n");
  note.text.clear();
  note.hidden = note.anchored = note.alarm.set = true;
  note.x = -5;
  EXPECT_EQ(FormatNoteFile(note, screen), "%%!!<tackonnote> -5 60 169 227 0 1 1 768 1024 1 5 14 9 30 \nNote 3\n");
}

TEST(NoteFile, WritesTheTextUpToItsNulAndTheNameAsOneLine) {
  Note note;
  note.name = "two\nlines";
  note.text = std::string("ab\0cd", 5);
  std::string bytes = FormatNoteFile(note, {});
  EXPECT_NE(bytes.find(" 2 0 0 "), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.find('\n') + 1), "two lines\nab");
}

TEST(NoteFile, RoundTrip) {
  Note note;
  note.x = 12;
  note.y = -7;
  note.height = 300;
  note.width = 400;
  note.anchored = true;
  note.alarm = {11, 31, 23, 59, true};
  note.name = "Shopping";
  note.text = "line 1\nline 2 \t\n\n";
  const ScreenSize screen{1920, 1080};
  Note back;
  NoteFileInfo info;
  ASSERT_TRUE(ReadNoteFile(FormatNoteFile(note, screen), Screen(1920, 1080), &back, &info));
  EXPECT_EQ(FormatNoteFile(back, screen), FormatNoteFile(note, screen));
  EXPECT_FALSE(info.older_format);
  EXPECT_EQ(info.screen.width, 1920);
  EXPECT_EQ(info.screen.height, 1080);
}

struct ReadCase {
  const char* what;
  std::string bytes;
  NoteFileReadOptions options;
  bool accepted;
  int x = 0, y = 0, height = 0, width = 0;
  bool hidden = false, anchored = false;
  std::string name = {}, text = {};
};

TEST(NoteFile, ReadingRules) {
  const std::string cur = "%%!!<tackonnote> ";
  const std::string old = "%!<tackonnote> ";
  const ReadCase cases[] = {
      {"the example", cur + "40 60 169 227 11 0 0 768 1024 0 5 14 9 30 \nNote 3\nmilk\nbread\n", Screen(1024, 768),
       true, 40, 60, 169, 227, false, false, "Note 3", "milk\nbread\n"},
      {"any first word without compatibility", "hello 1 2 3 4 1 1 1 768 1024 0 0 1 0 0\nN\nab", Screen(1024, 768),
       true, 1, 2, 3, 4, true, true, "N", "a"},
      {"older format without compatibility: eight numbers are too few", old + "1 2 3 4 0 0 768 1024\nN\n",
       Screen(1024, 768), false},
      {"unknown word with compatibility", "%%!!<TACKONNOTE> 1 2 3 4 0 0 0 768 1024 0 0 1 0 0\nN\n",
       Screen(1024, 768, true), false},
      {"older format, eight numbers, rescaled", old + "512 384 300 400 2 1 768 1024\nOld\nxyz",
       Screen(2048, 1536, true), true, 1024, 768, 300, 400, true, false, "Old", "xy"},
      {"older format, seven numbers, not rescaled", old + "512 384 300 400 2 1 768\nOld\nxy", Screen(2048, 1536, true),
       true, 512, 384, 300, 400, true, false, "Old", "xy"},
      {"older format, six numbers", old + "5 6 300 400 0 1\nOld\n", Screen(2048, 1536, true), true, 5, 6, 300, 400,
       true, false, "Old", ""},
      {"older format, five numbers", old + "5 6 300 400 0\nOld\n", Screen(2048, 1536, true), true, 5, 6, 300, 400,
       false, false, "Old", ""},
      {"older format, four numbers", old + "5 6 300 400\nOld\n", Screen(2048, 1536, true), false},
      {"current format with compatibility", cur + "7 8 100 200 0 0 1 1080 1920 0 0 1 0 0 \nC\n",
       Screen(1920, 1080, true), true, 7, 8, 100, 200, false, true, "C", ""},
      {"rescaled in height only", cur + "512 384 100 200 0 0 0 768 1024 0 0 1 0 0 \nR\n", Screen(1024, 1536), true, 512,
       768, 100, 200, false, false, "R", ""},
      {"default size when the width is 0", cur + "1 1 300 0 0 0 0 768 1024 0 0 1 0 0 \nD\n", Screen(1024, 768), true,
       1, 1, 169, 227, false, false, "D", ""},
      {"a header continued on a second line", cur + "1 2 3 4 0 0 0\n768 1024 0 0 1 0 0 \nN\n", Screen(1024, 768),
       false},
      {"thirteen numbers", cur + "1 2 3 4 0 0 0 768 1024 0 0 1 0\nN\n", Screen(1024, 768), false},
      {"length 0 reads nothing after the name", cur + "1 2 3 4 0 0 0 768 1024 0 0 1 0 0 \nN\nignored",
       Screen(1024, 768), true, 1, 2, 3, 4, false, false, "N", ""},
      {"fewer text bytes than stated", cur + "1 2 3 4 50 0 0 768 1024 0 0 1 0 0 \nN\nshort", Screen(1024, 768), true,
       1, 2, 3, 4, false, false, "N", "short"},
      {"a name without its newline loses its last character", cur + "1 2 3 4 0 0 0 768 1024 0 0 1 0 0 \nName",
       Screen(1024, 768), true, 1, 2, 3, 4, false, false, "Nam", ""},
      {"flags keep their low eight bits", cur + "1 2 3 4 0 256 257 768 1024 0 0 1 0 0 \nN\n", Screen(1024, 768), true,
       1, 2, 3, 4, false, true, "N", ""},
      {"a zero screen size means no rescaling", cur + "100 200 3 4 0 0 0 0 0 0 0 1 0 0 \nZ\n", Screen(1920, 1080),
       true, 100, 200, 3, 4, false, false, "Z", ""},
      {"a negative length is not a note", cur + "1 2 3 4 -1 0 0 768 1024 0 0 1 0 0 \nN\n", Screen(1024, 768), false},
      {"an empty file", "", Screen(1024, 768), false},
      {"white space only", " \n\t\n", Screen(1024, 768), false},
  };
  for (const ReadCase& c : cases) {
    Note note;
    bool accepted = ReadNoteFile(c.bytes, c.options, &note);
    EXPECT_EQ(accepted, c.accepted) << c.what;
    if (!accepted || !c.accepted) continue;
    EXPECT_EQ(note.x, c.x) << c.what;
    EXPECT_EQ(note.y, c.y) << c.what;
    EXPECT_EQ(note.height, c.height) << c.what;
    EXPECT_EQ(note.width, c.width) << c.what;
    EXPECT_EQ(note.hidden, c.hidden) << c.what;
    EXPECT_EQ(note.anchored, c.anchored) << c.what;
    EXPECT_EQ(note.name, c.name) << c.what;
    EXPECT_EQ(note.text, c.text) << c.what;
  }
}

TEST(NoteFile, AlarmFieldsAndTheOlderFormat) {
  Note note;
  ASSERT_TRUE(ReadNoteFile("%%!!<tackonnote> 1 2 3 4 0 0 1 768 1024 1 5 14 25 30 \nA\n", Screen(1024, 768), &note));
  EXPECT_TRUE(note.alarm.set);
  EXPECT_EQ(note.alarm.month, 5);
  EXPECT_EQ(note.alarm.day, 14);
  EXPECT_EQ(note.alarm.hour, 23) << "an hour of 25 is brought into range";
  EXPECT_EQ(note.alarm.minute, 30);
  EXPECT_TRUE(note.anchored);
  NoteFileInfo info;
  ASSERT_TRUE(ReadNoteFile("%!<tackonnote> 1 2 3 4 0 0 768 1024\nA\n", Screen(1024, 768, true), &note, &info));
  EXPECT_TRUE(info.older_format);
  EXPECT_FALSE(note.alarm.set);
  EXPECT_FALSE(note.anchored);
  EXPECT_EQ(note.alarm.month, 5) << "the older format keeps the note's own alarm time";
  EXPECT_EQ(note.alarm.minute, 30);
}

TEST(NoteFile, BytesThatAreNoNoteLeaveTheRecordAsItWas) {
  Note note;
  note.name = "kept";
  note.text = "kept text";
  note.x = 7;
  note.anchored = true;
  for (const char* bytes : {"", "%%!!<tackonnote> 1 2 3 4 -1 0 0 768 1024 0 0 1 0 0 \nN\n",
                            "%%!!<tackonnote> 1 2 3 4 0 0 0 768 1024 0 0 1 0\nN\n"}) {
    EXPECT_FALSE(ReadNoteFile(bytes, Screen(1024, 768), &note)) << bytes;
    EXPECT_EQ(note.name, "kept");
    EXPECT_EQ(note.text, "kept text");
    EXPECT_EQ(note.x, 7);
    EXPECT_TRUE(note.anchored);
  }
}

// Hostile stored numbers: every note that loads has a window size X can
// make and an alarm the dialog can show and step without overflowing.
TEST(NoteFile, UnusableStoredSizesAndAlarmsAreMadeSane) {
  struct Case {
    const char* what;
    const char* numbers;  // height width, then month day hour minute
    int height, width, month, day, hour, minute;
  } cases[] = {
      {"usable values stay", "300 400 | 11 31 23 59", 300, 400, 11, 31, 23, 59},
      {"smallest usable values stay", "1 1 | 0 1 0 0", 1, 1, 0, 1, 0, 0},
      {"negative height", "-1 400 | 5 14 9 30", 169, 227, 5, 14, 9, 30},
      {"very negative height", "-30000 400 | 5 14 9 30", 169, 227, 5, 14, 9, 30},
      {"negative width", "300 -5 | 5 14 9 30", 169, 227, 5, 14, 9, 30},
      {"largest usable side", "32767 32767 | 5 14 9 30", 32767, 32767, 5, 14, 9, 30},
      {"one above the largest side", "32768 400 | 5 14 9 30", 169, 227, 5, 14, 9, 30},
      {"height beyond int", "99999999999 400 | 5 14 9 30", 169, 227, 5, 14, 9, 30},
      {"month INT_MAX", "300 400 | 2147483647 14 9 30", 300, 400, 11, 14, 9, 30},
      {"month -1", "300 400 | -1 14 9 30", 300, 400, 0, 14, 9, 30},
      {"month 12", "300 400 | 12 14 9 30", 300, 400, 11, 14, 9, 30},
      {"day 0", "300 400 | 5 0 9 30", 300, 400, 5, 1, 9, 30},
      {"day 31 of June", "300 400 | 5 31 9 30", 300, 400, 5, 30, 9, 30},
      {"day 30 of February", "300 400 | 1 30 9 30", 300, 400, 1, 29, 9, 30},
      {"hour 24", "300 400 | 5 14 24 30", 300, 400, 5, 14, 23, 30},
      {"hour INT_MIN", "300 400 | 5 14 -2147483648 30", 300, 400, 5, 14, 0, 30},
      {"minute 60", "300 400 | 5 14 9 60", 300, 400, 5, 14, 9, 59},
      {"minute -1", "300 400 | 5 14 9 -1", 300, 400, 5, 14, 9, 0},
  };
  for (const Case& c : cases) {
    std::string numbers = c.numbers;
    std::size_t bar = numbers.find(" | ");
    std::string bytes = "%%!!<tackonnote> 10 20 " + numbers.substr(0, bar) + " 0 0 0 768 1024 1 " +
                        numbers.substr(bar + 3) + " \nN\n";
    Note note;
    ASSERT_TRUE(ReadNoteFile(bytes, Screen(1024, 768), &note)) << c.what;
    EXPECT_EQ(note.height, c.height) << c.what;
    EXPECT_EQ(note.width, c.width) << c.what;
    EXPECT_EQ(note.alarm.month, c.month) << c.what;
    EXPECT_EQ(note.alarm.day, c.day) << c.what;
    EXPECT_EQ(note.alarm.hour, c.hour) << c.what;
    EXPECT_EQ(note.alarm.minute, c.minute) << c.what;
  }
}

// A candidate file is read only as far as its header says: the header and
// the name line, then the stated text and one byte more.
TEST(NoteFile, HowMuchOfACandidateIsRead) {
  const std::string head = "%%!!<tackonnote> 1 2 3 4 5 0 0 768 1024 0 0 1 0 0 \nName\n";
  const std::string header_only = "%%!!<tackonnote> 1 2 3 4 5 0 0 768 1024 0 0 1 0 0 \n";
  const std::string huge = "%%!!<tackonnote> 1 2 3 4 99999999999 0 0 768 1024 0 0 1 0 0 \nName\n";
  using V = NoteFileExtent::Verdict;
  struct Case {
    const char* what;
    std::string head;
    bool at_end;
    V verdict;
    std::size_t bytes;
  } cases[] = {
      {"header and name in: the stated text and one byte", head + "ab", false, V::kRead, head.size() + 5 + 1},
      {"a short file is read to its end", head + "ab", true, V::kRead, head.size() + 5 + 1},
      {"header line not yet ended", header_only.substr(0, 20), false, V::kNeedMore, 0},
      {"name line not yet ended", header_only + "Na", false, V::kNeedMore, 0},
      {"a header that ends the file", header_only.substr(0, header_only.size() - 1), true, V::kRead,
       header_only.size() - 1 + 5 + 1},
      {"a stated length beyond what a note may hold", huge, false, V::kRead, huge.size() + kMaxStoredTextBytes + 1},
      {"junk with no line break", std::string(kMaxHeaderLineBytes + 1, 'x'), false, V::kNotNote, 0},
      {"a first line too long to be a header", std::string(kMaxHeaderLineBytes, ' ') + "\n", false, V::kNotNote, 0},
      {"a first line that is no header", "PK\x03\x04 binary\nstuff\n", false, V::kNotNote, 0},
      {"a name line that does not end", header_only + std::string(kMaxHeadBytes, 'n'), false, V::kNotNote, 0},
      {"empty", "", true, V::kNotNote, 0},
      {"nothing read yet", "", false, V::kNeedMore, 0},
  };
  for (const Case& c : cases) {
    NoteFileExtent e = MeasureNoteFile(c.head, c.at_end, Screen(1024, 768));
    EXPECT_EQ(e.verdict, c.verdict) << c.what;
    if (c.verdict == V::kRead) {
      EXPECT_EQ(e.bytes, c.bytes) << c.what;
    }
    if (c.verdict == V::kNotNote) {
      EXPECT_FALSE(e.reason.empty()) << c.what;
    }
  }
}

TEST(NoteFile, LongNameLineIsCutWithoutOverrun) {
  std::string name(5000, 'n');
  Note note;
  ASSERT_TRUE(ReadNoteFile("%%!!<tackonnote> 1 2 3 4 2 0 0 768 1024 0 0 1 0 0 \n" + name + "\nhi", Screen(1024, 768),
                           &note));
  EXPECT_EQ(note.name, std::string(1022, 'n'));
  EXPECT_EQ(note.text, "hi");
}

TEST(NoteFile, LongUtf8NameIsCutAndWrittenOnACharacterBoundary) {
  std::string name;
  for (int i = 0; i < 400; ++i) name += "\xe6\x97\xa5";  // 1200 bytes of three-byte characters
  Note note;
  ASSERT_TRUE(ReadNoteFile("%%!!<tackonnote> 1 2 3 4 2 0 0 768 1024 0 0 1 0 0 \n" + name + "\nhi", Screen(1024, 768),
                           &note));
  EXPECT_EQ(note.name, name.substr(0, 1020));
  EXPECT_EQ(note.text, "hi");
  note.name = name;
  std::string bytes = FormatNoteFile(note, {1024, 768});
  std::size_t start = bytes.find('\n') + 1;
  EXPECT_EQ(bytes.substr(start, bytes.find('\n', start) - start), name.substr(0, 1020));
}

TEST(NoteFile, IdsComeFromFileNames) {
  struct {
    const char* name;
    int id;
    bool candidate;
  } cases[] = {{"note7", 7, true},   {"note07", 7, true},     {"note", 0, true},      {"notes.txt", 0, true},
               {"note-3", -3, true}, {"note 12x", 12, true},  {"Note5", 0, false},    {"sk1.123", 0, false},
               {"not", 0, false},    {"note99999999999", 2147483647, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsNoteFileName(c.name), c.candidate) << c.name;
    if (c.candidate) {
      EXPECT_EQ(NoteIdFromFileName(c.name), c.id) << c.name;
    }
  }
}

// A note that holds UTF-8 reads a file as StoredTextToUtf8 shows it and
// writes it back byte for byte until its name or text changes; then each of
// the two keeps the encoding the file held it in, as long as its characters
// allow: no text is ever encoded twice.
TEST(NoteFile, Utf8NotesShowLatin1FilesAndKeepTheirEncodingWhenChanged) {
  struct Case {
    const char* what;
    std::string name, text;          // the file's name line and text
    std::string shown_name, shown;   // what the note shows
    bool latin1_name, latin1_text;   // the file held them in Latin-1
  } cases[] = {
      {"Latin-1", "K\xf6ln", "Gr\xfc\xdf" "e", "K\xc3\xb6ln", "Gr\xc3\xbc\xc3\x9f" "e", true, true},
      {"UTF-8", "\xce\xb1\xce\xb2", "\xe6\x97\xa5 \xf0\x9f\x99\x82", "\xce\xb1\xce\xb2", "\xe6\x97\xa5 \xf0\x9f\x99\x82",
       false, false},
      {"stray byte in UTF-8", "ok", "Gr\xc3\xbc\xc3\x9f" "e\xff", "ok", "Gr\xc3\x83\xc2\xbc\xc3\x83\xc2\x9f" "e\xc3\xbf",
       false, true},
      {"Latin-1 name, UTF-8 text", "K\xf6ln", "\xce\xb1", "K\xc3\xb6ln", "\xce\xb1", true, false},
  };
  const auto file_of = [](const std::string& name, const std::string& text) {
    return "%%!!<tackonnote> 1 2 3 4 " + std::to_string(text.size()) + " 0 0 768 1024 0 0 1 0 0 \n" + name + "\n" + text;
  };
  for (const Case& c : cases) {
    const std::string file = file_of(c.name, c.text);
    NoteFileReadOptions options = Screen(1024, 768);
    options.utf8 = true;
    Note note;
    NoteFileInfo info;
    ASSERT_TRUE(ReadNoteFile(file, options, &note, &info)) << c.what;
    EXPECT_EQ(note.name, c.shown_name) << c.what;
    EXPECT_EQ(note.text, c.shown) << c.what;
    EXPECT_EQ(info.text_bytes, c.text.size()) << c.what;
    EXPECT_EQ(FormatNoteFile(note, {1024, 768}), file) << c.what << ": unchanged, the same bytes";
    struct Change {
      const char* what;
      std::string name, text;  // what the note shows after the change
      std::string stored_name, stored_text;
    } changes[] = {
        {"renamed", c.shown_name + "!", c.shown, (c.latin1_name ? c.name : c.shown_name) + "!", c.text},
        {"an e-acute typed", c.shown_name, c.shown + "\xc3\xa9", c.name,
         c.latin1_text ? c.text + "\xe9" : c.shown + "\xc3\xa9"},
        // A dash has no Latin-1 byte: the text is written as it is shown.
        {"a dash typed", c.shown_name, c.shown + "\xe2\x80\x93", c.name, c.shown + "\xe2\x80\x93"},
    };
    for (const Change& change : changes) {
      note.name = change.name;
      note.text = change.text;
      EXPECT_EQ(FormatNoteFile(note, {1024, 768}), file_of(change.stored_name, change.stored_text))
          << c.what << ": " << change.what;
    }
  }
}

TEST(NoteFile, ALatin1TextWithANulKeepsItsBytesUpToIt) {
  NoteFileReadOptions options = Screen(1024, 768);
  options.utf8 = true;
  Note note;
  ASSERT_TRUE(ReadNoteFile(std::string("%%!!<tackonnote> 1 2 3 4 9 0 0 768 1024 0 0 1 0 0 \nn\nK\xf6ln\0rest", 62),
                           options, &note));
  note.text.resize(note.text.find('\0'));  // what the text widget shows and hands back
  EXPECT_EQ(FormatNoteFile(note, {1024, 768}), "%%!!<tackonnote> 1 2 3 4 4 0 0 768 1024 0 0 1 0 0 \nn\nK\xf6ln");
}

TEST(NoteFile, TheCLocaleReadsAndWritesBytesAsTheyAre) {
  const std::string file = "%%!!<tackonnote> 1 2 3 4 4 0 0 768 1024 0 0 1 0 0 \nK\xf6ln\nGr\xfc\xdf";
  Note note;
  ASSERT_TRUE(ReadNoteFile(file, Screen(1024, 768), &note));
  EXPECT_EQ(note.name, "K\xf6ln");
  EXPECT_EQ(note.text, "Gr\xfc\xdf");
  EXPECT_FALSE(note.file_bytes.kept);
  EXPECT_EQ(FormatNoteFile(note, {1024, 768}), file);
}

TEST(NoteFile, ALatin1NameLineIsCutAtItsBytesAndKept) {
  const std::string name(1100, '\xe9');
  NoteFileReadOptions options = Screen(1024, 768);
  options.utf8 = true;
  Note note;
  ASSERT_TRUE(ReadNoteFile("%%!!<tackonnote> 1 2 3 4 2 0 0 768 1024 0 0 1 0 0 \n" + name + "\nhi", options, &note));
  std::string shown;
  for (int i = 0; i < 1022; ++i) shown += "\xc3\xa9";
  EXPECT_EQ(note.name, shown);
  std::string bytes = FormatNoteFile(note, {1024, 768});
  std::size_t start = bytes.find('\n') + 1;
  const auto name_line = [&start](const std::string& file) { return file.substr(start, file.find('\n', start) - start); };
  EXPECT_EQ(name_line(bytes), name.substr(0, 1022)) << "unchanged";
  note.text = "hi there";  // an edit of the text keeps the whole name
  EXPECT_EQ(name_line(FormatNoteFile(note, {1024, 768})), name.substr(0, 1022));
  note.name = shown.substr(0, 2 * 1000);  // renamed: still Latin-1, its 1,000 characters whole
  EXPECT_EQ(name_line(FormatNoteFile(note, {1024, 768})), name.substr(0, 1000));
  note.name += "\xe2\x80\x93";  // a character Latin-1 lacks: UTF-8, cut on a character boundary
  EXPECT_EQ(name_line(FormatNoteFile(note, {1024, 768})), shown.substr(0, 1022));
}

}  // namespace
