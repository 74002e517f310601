// The compiled-in fallback resources and help text, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "app/embedded.h"

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
