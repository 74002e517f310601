// The text of a one-line field (X-free): a path, a name or an address
// never holds a line break.
#pragma once

#include <cstddef>
#include <string>

// Whether text holds a line break (\n or \r).
bool HasLineBreak(const std::string& text);

// text as one line: line breaks at either end are dropped, and each run of
// them inside becomes one space (a pasted "a\nb" reads "a b", a pasted line
// with its newline reads as the line). When pos is given it is a byte index
// into text and is moved to the same place in the result.
std::string OneLine(const std::string& text, std::size_t* pos = nullptr);
