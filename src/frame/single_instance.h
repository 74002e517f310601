// One running stikkel per note directory: the lock of the note directory
// (storage/dir_lock.h) and, on the X side, how a second stikkel hands the
// running one a command (storage/remote_command.h): raise the notes (what a
// plain second start asks), open a new note, show or hide them all, end.
#pragma once

#include <string>

#include "storage/remote_command.h"

// Takes the note directory's lock. When another stikkel holds it, hands it
// `request` (a raise when the command line gave none) through a selection
// it owns on this display, with the key of the note directory, and ends
// this program: status 0 once the holder took the command, 1 with a line
// on standard error when it refused it. When the holder cannot be reached
// (another display or machine, no answer within 5 seconds, its key cannot
// be read: another user's notes) prints one line naming its host and
// process and ends with status 255, or 1 for an explicit command, touching
// no file. When no other stikkel runs, -toggle, -raise and -quit end with
// status 1 and a line saying so; -new goes on (the new program opens the
// note). A file system that refuses locks is reported on standard error
// and the program goes on unlocked.
void TakeNoteDirLock(const std::string& note_dir, const RemoteRequest& request);

// Once toplevel is realized: writes a new key (remote_command.h), owns the
// selection through which a second stikkel hands this one commands, which
// `run` carries out, then writes this process's host and pid into the lock
// file. A command that does not carry the key is refused, with a line on
// standard error.
void AnnounceNoteDirLock(void (*run)(const RemoteRequest&));

// Removes the lock file and the key at a clean exit (the kernel lock goes
// with the process in any case).
void ReleaseNoteDirLock();


// The lock file was deleted, replaced or made by another program: makes
// sure this stikkel still holds it and is named in it (NoteDirLock::Keep).
// When another process got it meanwhile, says so once in an error popup.
void KeepNoteDirLock();
