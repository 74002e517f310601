// The watch of the note directory while the program runs: other programs
// (a sync engine, another machine through one) change, add and delete note
// files, and the notes follow once the changes have settled.
#pragma once

// How long changes settle before they are looked at, in milliseconds:
// after the last change, but never longer than kLongestSettleMs after the
// first one.
constexpr unsigned long kSettleMs = 300;
constexpr unsigned long kLongestSettleMs = 1000;

// Starts watching (inotify, watched by the main loop: nothing wakes the
// program while nothing changes). Where the system cannot watch, says so
// once on standard error; the saves still look at each file again.
void WatchNoteDir();
