// Rules for a note's name that need no X server: what a confirmed value
// becomes, and how wide the name dialog opens.
#pragma once

#include <cstddef>
#include <string>

#include "model/note.h"

// The name a confirmed value of the name field stands for: one line, with
// every line break (\n or \r, which a paste can bring in) turned into a
// space, cut at kMaxNameLength bytes, the most the name line of a note file
// holds, without splitting a UTF-8 character. An empty value stays empty.
std::string NoteNameFromValue(const std::string& value);

// Width in pixels of the name dialog for a name of name_length characters,
// at name_width pixels per character: room for the name and 10 more, or 30
// characters for a note without a name. Kept between 1 and 32767 so that an
// odd nameWidth can never ask the server for an impossible window.
int NameDialogWidth(std::size_t name_length, int name_width);
