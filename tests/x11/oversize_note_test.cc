// A note read from a file that holds more than the 16 MiB a note may grow
// to (written by another program): it shows the whole text, says in its
// window that it takes only cuts, and does so until it is below the cap.
#include <gtest/gtest.h>

#include <X11/StringDefs.h>
#include <X11/Xaw/Text.h>

#include <string>

#include "model/note_list.h"
#include "notes/note_window.h"
#include "x11_util.h"

namespace {

class OversizeNoteTest : public testing::Test {
 protected:
  void TearDown() override { DestroyPopupsNamed("ErrorShell"); }
  ProgramStateGuard program_state_;
};

XawTextBlock Empty() {
  XawTextBlock block{};
  block.format = XawFmt8Bit;
  block.ptr = const_cast<char*>("");
  return block;
}

TEST_F(OversizeNoteTest, TakesOnlyCutsAndSaysSoUntilBelowTheCap) {
  const std::string text = "head " + std::string(kMaxTextLength, 'o');  // 5 bytes over
  Note* note = ShowNoteAt(100, 100, text);
  NoteWindow* window = WindowOf(note);
  Widget label = NoteWidget(note, "OverCap");
  ASSERT_NE(label, nullptr) << "the window says why it takes no more";
  EXPECT_NE(LabelOf(label).find("Read-only"), std::string::npos);
  EXPECT_EQ(window->Length(), text.size()) << "loaded whole";
  EXPECT_EQ(note->Text(), text);

  // Nothing goes in, not even one character.
  window->SetInsertionPoint(0);
  EXPECT_FALSE(window->InsertAtCaret("x"));
  EXPECT_EQ(window->Length(), text.size());
  EXPECT_FALSE(note->changed());

  // Cuts go in; the note says so until the text is below the cap.
  Widget text_widget = NoteWidget(note, "NoteText");
  XawTextBlock none = Empty();
  ASSERT_EQ(XawTextReplace(text_widget, 0, 4, &none), XawEditDone);  // 1 byte over
  EXPECT_NE(NoteWidget(note, "OverCap"), nullptr);
  ASSERT_EQ(XawTextReplace(text_widget, 0, 1, &none), XawEditDone);  // at the cap
  Pump();
  EXPECT_EQ(NoteWidget(note, "OverCap"), nullptr);
  EXPECT_TRUE(note->changed());
  EXPECT_EQ(window->Length(), kMaxTextLength);
  EXPECT_EQ(note->Text(), std::string(kMaxTextLength, 'o'));
}

TEST_F(OversizeNoteTest, ANoteAtTheCapSaysNothing) {
  Note* note = ShowNoteAt(100, 100, std::string(kMaxTextLength, 'a'));
  EXPECT_EQ(NoteWidget(note, "OverCap"), nullptr);
}

}  // namespace
