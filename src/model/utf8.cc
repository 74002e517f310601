#include "model/utf8.h"

#include <cstdint>

std::size_t Utf8CharLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xbf;  // allowed range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;   // overlong
    if (lead == 0xed) high = 0x9f;  // UTF-16 surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;   // overlong
    if (lead == 0xf4) high = 0x8f;  // above U+10FFFF
  } else {
    return 0;  // a continuation byte, an overlong lead (c0, c1) or f5..ff
  }
  if (bytes.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  return length;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // ASCII runs are the common case: step over them a byte at a time
    // without decoding.
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    std::size_t n = Utf8CharLength(bytes.substr(pos));
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    auto code = static_cast<unsigned char>(c);
    if (code < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xc0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3f));
    }
  }
  return out;
}

std::size_t Utf8PrefixLength(std::string_view bytes, std::size_t max_bytes) {
  if (bytes.size() <= max_bytes) return bytes.size();
  // Only the character that straddles the limit matters; it starts at most
  // three bytes before it.
  std::size_t start = max_bytes;
  while (start > 0 && max_bytes - start < 3 && (static_cast<unsigned char>(bytes[start]) & 0xc0) == 0x80)
    --start;
  std::size_t n = Utf8CharLength(bytes.substr(start));
  return n != 0 && start + n > max_bytes ? start : max_bytes;
}

void AppendWideAsUtf8(std::string* out, const wchar_t* chars, std::size_t count) {
  // Encoded a block at a time: one append per block rather than per byte
  // (a note's text may be millions of characters).
  char block[1024];
  std::size_t used = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (used > sizeof block - 4) {
      out->append(block, used);
      used = 0;
    }
    auto code = static_cast<std::uint32_t>(chars[i]);
    if (code < 0x80) {
      block[used++] = static_cast<char>(code);
      continue;
    }
    if ((code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) code = 0xfffd;
    if (code < 0x800) {
      block[used++] = static_cast<char>(0xc0 | (code >> 6));
    } else if (code < 0x10000) {
      block[used++] = static_cast<char>(0xe0 | (code >> 12));
      block[used++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    } else {
      block[used++] = static_cast<char>(0xf0 | (code >> 18));
      block[used++] = static_cast<char>(0x80 | ((code >> 12) & 0x3f));
      block[used++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    }
    block[used++] = static_cast<char>(0x80 | (code & 0x3f));
  }
  out->append(block, used);
}

std::wstring WideFromUtf8(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[pos]);
    std::size_t n = lead < 0x80 ? 1 : Utf8CharLength(bytes.substr(pos));
    if (n <= 1) {
      out += static_cast<wchar_t>(lead);
      ++pos;
      continue;
    }
    std::uint32_t code = lead & (0xff >> (n + 1));
    for (std::size_t i = 1; i < n; ++i) code = (code << 6) | (static_cast<unsigned char>(bytes[pos + i]) & 0x3f);
    out += static_cast<wchar_t>(code);
    pos += n;
  }
  return out;
}

std::size_t Utf8CharCount(std::string_view bytes) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < bytes.size(); ++count) {
    std::size_t n = static_cast<unsigned char>(bytes[pos]) < 0x80 ? 1 : Utf8CharLength(bytes.substr(pos));
    pos += n == 0 ? 1 : n;
  }
  return count;
}

std::string StoredTextToUtf8(std::string_view stored, bool* was_latin1) {
  bool latin1 = !IsValidUtf8(stored);
  if (was_latin1) *was_latin1 = latin1;
  return latin1 ? Latin1ToUtf8(stored) : std::string(stored);
}

std::string BytesToStore(const std::string& current_utf8, const std::string& latin1_original) {
  if (!latin1_original.empty() && Latin1ToUtf8(latin1_original) == current_utf8) return latin1_original;
  return current_utf8;
}
