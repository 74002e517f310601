// What the names in a note directory are (X-free): the program's own
// temporaries, the temporaries and conflict copies of sync engines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A save's temporary: "sk1.", a process id, a dot and six characters.
bool IsSaveTemporaryName(std::string_view name);

// A file a sync engine writes before it renames it into place (Syncthing's
// ".syncthing.*.tmp" and "~syncthing~*", the ".~*" of others, "*.part"):
// never a note, even when its name begins with "note".
bool IsSyncTemporaryName(std::string_view name);

// A copy a sync engine made when a file changed on two machines at once
// (Syncthing's "note1.sync-conflict-20261211-101010-ABCDEFG", Nextcloud's
// and ownCloud's "note1 (conflicted copy 2026-12-11 101010)", Dropbox's
// "note1 (Ann's conflicted copy 2026-12-11)"): a note of its own.
bool IsConflictCopyName(std::string_view name);

// Whether a file of the note directory is read as a note: its name begins
// with "note" and it is no sync engine's temporary.
bool IsNoteCandidateName(std::string_view name);

// Removes the save temporaries that a crash left in the note directory
// (run at start-up, while the program holds the directory's lock, so none
// is in use); returns their names. Each is only a copy: a save brings the
// note's recovery file up to date before it writes its temporary, and the
// temporary becomes the note file only by its rename.
std::vector<std::string> RemoveCrashTemporaries(const std::string& note_dir);
