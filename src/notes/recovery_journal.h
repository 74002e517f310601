// The recovery journal: while a note has changes not yet saved, its text and
// name are kept in its recovery file (storage/recovery.h), written from a
// timer on the monotonic clock. A change only marks the note and arms that
// timer; the timer copies the text and hands it to the writer's thread
// (storage/recovery_writer.h), which writes it. No timer is armed while
// every change is written.
#pragma once

#include <vector>

#include "model/note.h"

// Marks a change of the note's text, name or other fields; called for every
// change (every keystroke), so it does no more than that.
void RecordChange(const Note* note);

// The note was saved or destroyed: its recovery file goes (after any write
// of it still under way; gone when this returns).
void RecoveryNoteGone(int id);

// The user discarded every change: every recovery file the program wrote or
// recovered goes.
void DiscardRecovery();

// Writes now every note with changes not yet in its recovery file; used
// just before the program ends with notes still unsaved. Asks the X server
// nothing.
void FlushRecovery();

// Writes now the recovery files of the notes of `which` that have changes
// not yet there: done before they are saved, so that a crash in the middle
// of the save leaves the recovery file holding what the save writes (the
// next start then sees it is stale), and a save's temporary never holds
// anything that is not also in a note file or a recovery file.
void CatchUpRecovery(const std::vector<Note*>& which);

// After notes were saved from memory (the display is lost): the recovery
// files of the saved notes go, the others are brought up to date. Asks the
// X server nothing.
void SettleRecoveryWithoutDisplay();

// At start-up, after the note files are loaded and before their windows are
// made: applies the recovery files to the notes (adding the notes that were
// never saved). Returns the notes that hold recovered changes.
std::vector<Note*> RecoverNotes();

// Shows the one popup that lists the recovered notes by name.
void ShowRecoveredNotes(const std::vector<Note*>& notes);
