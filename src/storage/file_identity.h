// Whether a note file is still what this program read or wrote (X-free).
// A sync engine replaces a note file by renaming a new one over it, which
// gives the file a new inode and time; a file with the same inode, size and
// time is taken as unchanged, any other is compared by its bytes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "model/note.h"
#include "storage/note_file.h"

// A hash of a file's bytes, the same in every run and on every machine.
std::uint64_t ContentHash(std::string_view bytes);

// What a file is, from its status and the bytes read from it.
StoredFile IdentityOf(const struct stat& st, std::string_view bytes);

// Whether two identities name the same file in the same state (device,
// inode, size and modification time).
bool SameFileState(const StoredFile& a, const StoredFile& b);
// Whether they hold the same bytes (size and hash).
bool SameBytes(const StoredFile& a, const StoredFile& b);

