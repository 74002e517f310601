// UTF-8 rules for note text and names (X-free). In a UTF-8 locale a note
// holds UTF-8; files written in a Latin-1 (or C) locale hold one byte per
// character, and such bytes are almost never valid UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whether bytes are well-formed UTF-8: no stray continuation bytes, no
// truncated, overlong or surrogate sequences, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The length of the well-formed UTF-8 character that bytes starts with, or
// 0 when bytes is empty or does not start with one.
std::size_t Utf8CharLength(std::string_view bytes);

// Every byte taken as the Latin-1 character of that code, in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// The length of the longest prefix of bytes that is at most max_bytes long
// and never ends inside a well-formed multi-byte character; a byte that
// starts no well-formed character counts as a character of its own.
std::size_t Utf8PrefixLength(std::string_view bytes, std::size_t max_bytes);

// The number of characters in bytes: well-formed UTF-8 characters, and each
// byte that starts none counted as one.
std::size_t Utf8CharCount(std::string_view bytes);

// The text a UTF-8 note shows for bytes stored in a file: valid UTF-8 as it
// is; anything else read as Latin-1 as a whole, the way a note of an older
// or C-locale run holds its characters. A stray invalid byte in mostly UTF-8
// text thus shows the whole text as Latin-1: nothing is dropped or replaced,
// and saving the shown text unchanged could give back the very bytes.
// was_latin1, when given, tells which of the two it was.
std::string StoredTextToUtf8(std::string_view stored, bool* was_latin1 = nullptr);

// Characters as the toolkit keeps them in its international mode (one
// wchar_t per Unicode character, as in glibc) to UTF-8 and back. A wchar_t
// that is no Unicode character (a surrogate, above U+10FFFF) becomes U+FFFD;
// a byte that starts no well-formed UTF-8 character becomes the character
// of its Latin-1 code.
void AppendWideAsUtf8(std::string* out, const wchar_t* chars, std::size_t count);
std::wstring WideFromUtf8(std::string_view bytes);

// The bytes to write for a note that shows current_utf8, given the bytes its
// file held when they were not valid UTF-8 (empty when they were): those
// very bytes as long as the note shows exactly what they were read as, so a
// note loaded from a Latin-1 file keeps its file byte for byte until it is
// changed; otherwise current_utf8.
std::string BytesToStore(const std::string& current_utf8, const std::string& latin1_original);
