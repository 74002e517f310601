// One running stikkel per note directory: the lock of the note directory
// (storage/dir_lock.h) and, on the X side, how a second stikkel reaches the
// running one to show its notes.
#pragma once

#include <string>

// Takes the note directory's lock. When another stikkel holds it, asks that
// one to raise its notes (through a selection it owns on this display) and
// ends this program with status 0; when it cannot be reached (another
// display or machine) prints one line naming the holder's host and process
// and ends with status 255, touching no file. A file system that refuses
// locks is reported on standard error and the program goes on unlocked.
void TakeNoteDirLock(const std::string& note_dir);

// Once toplevel is realized: owns the selection through which a second
// stikkel asks this one to show its notes, then writes this process's host
// and pid into the lock file.
void AnnounceNoteDirLock();

// Removes the lock file at a clean exit (the kernel lock goes with the
// process in any case).
void ReleaseNoteDirLock();

// The lock file was deleted, replaced or made by another program: makes
// sure this stikkel still holds it and is named in it (NoteDirLock::Keep).
// When another process got it meanwhile, says so once in an error popup.
void KeepNoteDirLock();
