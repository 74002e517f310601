// The compiled-in fallback resources and help text, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/embedded.h"

namespace {

// The 58 fallback lines the program is documented to carry, in order, as
// C++ literals: \t is a tab, \\n the two characters backslash and n that
// the resource manager turns into a line break inside a translation table.
const std::vector<std::string> kExpectedLines = {
    "Kleebord.geometry:               70x70-0+0",
    "Kleebord.noteDir:                .tackonnotes",
    "Kleebord.Menu*cursor:            hand1",
    "Kleebord.printCmd:\t\tlpr %s",
    "Kleebord.calendarCmd:\t\tcal",
    "Kleebord.nameWidth:              10",
    "Kleebord*Command*font:\t\t-adobe-helvetica-bold-r-normal--*-120-*-*-*-*-*-*",
    "Kleebord*Menu*font:\t\t\t-adobe-helvetica-medium-r-normal--*-120-*-*-*-*-*-*",
    "Kleebord*List*font:\t\t\t10x20",
    "Kleebord*Text*font:\t\t\t-b&h-lucidatypewriter-medium-r-normal-*-*-120-*-*-*-*-*-*",
    "Kleebord*TimerText*font:\t-b&h-lucidatypewriter-medium-r-normal-*-*-120-*-*-*-*-*-*",
    "Kleebord*InsertLabel*font:\t-b&h-lucidatypewriter-medium-r-normal-*-*-120-*-*-*-*-*-*",
    "Kleebord.TackOnNote*text*font:\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t7x13bold",
    "Kleebord*FileSelectionShell*List*font:\t\t\t\t\t\t\t\t\t\t\t\t\t-adobe-helvetica-bold-r-normal--*-120-*-*-*-*-*-*",
    "Kleebord*Background:\t\tPeachPuff",
    "Kleebord*Foreground:\t\tNavyBlue",
    "Kleebord*Text*Background:\tYellow",
    "Kleebord*Text*Foreground:\tBlack",
    "Kleebord*List*Background:\tgray",
    "Kleebord*List*Foreground:\tblue",
    "Kleebord*Plaid*Background:\tcoral",
    "Kleebord*Plaid*Foreground:\tBlack",
    "Kleebord*TackOnNote*Background:\t\t\tYellow",
    "Kleebord*TackOnNote*Foreground:\t\t\tgray",
    "Kleebord*TackOnNote*Note*Background:\tgray",
    "Kleebord*TackOnNote*Note*Foreground:\tWheat",
    "Kleebord*TackOnNote*Note*Options*Background:\t\tgray",
    "Kleebord*TackOnNote*Note*Options*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*File*Background:\t\t\tgray",
    "Kleebord*TackOnNote*Note*File*Foreground:\t\t\tblue",
    "Kleebord*TackOnNote*Note*AlarmIcon*Background:\tgray",
    "Kleebord*TackOnNote*Note*AlarmIcon*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Background:\t\t\tgray",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Foreground:\t\t\tblack",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Save*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Erase*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Destroy*Foreground:\t\tred",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Hide*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Name*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Anchor*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*UnAnchor*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*Print*Foreground:\t\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*SetAlarm*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*UnsetAlarm*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*InsertCalendar*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*InsertDate*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Options*OptionsMenu*EmailNote*Foreground:\tblue",
    "Kleebord*TackOnNote*Note*Label*Background:\tred",
    "Kleebord*TackOnNote*Note*Label*Foreground:\twhite",
    "Kleebord*TackOnNote*Note*NoteText*Background:\tYellow",
    "Kleebord*TackOnNote*Note*NoteText*Foreground:\tBlack",
    "Kleebord*Command*Background:\tred",
    "Kleebord*Command*Foreground:\twhite",
    "Kleebord*Text*wrap:\t\tword",
    "Kleebord*Command*shapeStyle:\toval",
    "Kleebord*input:\t\t\ttrue",
    "Kleebord*Dialog*Text.Translations: #override\\n \t<Key>Down:\t\tno-op(RingBell) \\n \t<Key>Return:\t\tno-op(RingBell) \\n \tCtrl<Key>M:\t\tno-op(RingBell)",
    "Kleebord*Plaid.Translations: #replace\\n \t<Btn1Down>:\traise()\t\\n\t<Btn2Down>:\tlower()\t\\n\t<Btn3Down>:\tXawPositionSimpleMenu(Menu) MenuPopup(Menu)",
};

}  // namespace

TEST(FallbackResources, EveryLineByteForByte) {
  const auto& lines = FallbackLines();
  ASSERT_EQ(kExpectedLines.size(), 58u);
  EXPECT_EQ(lines.size(), kExpectedLines.size());
  for (size_t i = 0; i < lines.size() && i < kExpectedLines.size(); ++i) {
    EXPECT_EQ(lines[i], kExpectedLines[i]) << "fallback line " << i + 1;
  }
}

TEST(FallbackResources, FiftyEightLinesWithTabsAndEscapes) {
  const auto& lines = FallbackLines();
  ASSERT_EQ(lines.size(), 58u);
  EXPECT_EQ(lines[0], "Kleebord.geometry:               70x70-0+0");
  EXPECT_EQ(lines[3], "Kleebord.printCmd:\t\tlpr %s");
  EXPECT_EQ(lines[12], "Kleebord.TackOnNote*text*font:" + std::string(15, '\t') + "7x13bold");
  EXPECT_EQ(lines[56],
            "Kleebord*Dialog*Text.Translations: #override\\n \t<Key>Down:\t\tno-op(RingBell) \\n "
            "\t<Key>Return:\t\tno-op(RingBell) \\n \tCtrl<Key>M:\t\tno-op(RingBell)");
  EXPECT_EQ(lines[57],
            "Kleebord*Plaid.Translations: #replace\\n \t<Btn1Down>:\traise()\t\\n\t<Btn2Down>:\tlower()"
            "\t\\n\t<Btn3Down>:\tXawPositionSimpleMenu(Menu) MenuPopup(Menu)");
}

TEST(HelpText, TwentyThreeLinesAndAnEmptyOne) {
  std::string help = kHelpText;
  int lines = 0;
  for (char c : help) lines += c == '\n';
  EXPECT_EQ(lines, 24);
  EXPECT_EQ(help.substr(help.size() - 2), "\n\n");
  EXPECT_NE(help.find("-bs bufsize | -dir notedir \n"), std::string::npos);
  EXPECT_NE(help.find("(used by file selection window\n"), std::string::npos);
  EXPECT_NE(help.find("print command, in \"printf\" format\n"), std::string::npos);
}
