#include "notes/note_file_options.h"

#include "app/app.h"
#include "app/locale.h"

ScreenSize CurrentScreen() { return {program.screen_width, program.screen_height}; }

NoteFileReadOptions ReadOptions() {
  NoteFileReadOptions options;
  options.compatibility = program.res.compatibility;
  options.screen = CurrentScreen();
  options.utf8 = Utf8Notes();
  return options;
}
