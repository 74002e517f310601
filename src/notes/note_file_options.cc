#include "notes/note_file_options.h"

#include "app/app.h"
#include "app/locale.h"

ScreenSize CurrentScreen() { return {screen_width, screen_height}; }

NoteFileReadOptions ReadOptions() {
  NoteFileReadOptions options;
  options.compatibility = app_res.compatibility;
  options.screen = CurrentScreen();
  options.utf8 = Utf8Notes();
  return options;
}
