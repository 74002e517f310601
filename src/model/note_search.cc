#include "model/note_search.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>

namespace {

// The locale whose character classes fold case for all of Unicode; C.UTF-8
// is part of the C library (null when even that is missing: then only
// ASCII letters fold).
locale_t UnicodeLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

const std::array<unsigned char, 256>& AsciiFold() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    return t;
  }();
  return table;
}

// Decodes one UTF-8 character at text[i]; its length in *length, 0 for a
// byte that does not begin a valid character.
char32_t Decode(std::string_view text, std::size_t i, std::size_t* length) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b = byte(i);
  std::size_t n = b >= 0xf0 && b <= 0xf4 ? 4 : b >= 0xe0 ? (b < 0xf0 ? 3 : 0) : b >= 0xc2 && b < 0xe0 ? 2 : 0;
  *length = 0;
  if (n == 0 || i + n > text.size()) return 0;
  char32_t c = b & (0x7f >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xc0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3f);
  }
  // Overlong forms, surrogates and values past Unicode are not characters.
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10ffff)) || (c >= 0xd800 && c <= 0xdfff))
    return 0;
  *length = n;
  return c;
}

void Encode(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

char32_t FoldChar(char32_t c) {
  locale_t locale = UnicodeLocale();
  if (!locale) return c;
  // Upper then lower: final sigma, long s, the Kelvin sign and their kind
  // meet their ordinary letters.
  wint_t upper = towupper_l(static_cast<wint_t>(c), locale);
  return static_cast<char32_t>(towlower_l(upper, locale));
}

// The line of text around [from, to): the whole line when short, else
// about kShownLine bytes around the match, cut on whole characters.
std::string LineAround(std::string_view text, std::size_t from, std::size_t to) {
  std::size_t begin = from == 0 ? std::string_view::npos : text.rfind('\n', from - 1);
  begin = begin == std::string_view::npos ? 0 : begin + 1;
  std::size_t end = text.find('\n', to);
  if (end == std::string_view::npos) end = text.size();
  if (end - begin > kShownLine) {
    std::size_t start = from > begin + kShownLine / 4 ? from - kShownLine / 4 : begin;
    end = std::min(end, std::max(to, start + kShownLine));
    begin = start;
  }
  auto continuation = [&](std::size_t k) { return k < text.size() && (static_cast<unsigned char>(text[k]) & 0xc0) == 0x80; };
  while (begin < from && continuation(begin)) ++begin;
  while (end > to && continuation(end)) --end;
  std::string line(text.substr(begin, end - begin));
  for (char& c : line)
    if (c == '\t' || c == '\r' || c == '\0') c = ' ';
  return line;
}

// FoldCase into a buffer the caller keeps.
void FoldInto(std::string_view text, std::string* folded, std::vector<std::size_t>* starts) {
  const auto& ascii = AsciiFold();
  std::string& out = *folded;
  out.clear();
  out.reserve(text.size());
  if (!starts) {
    // The common case, plain ASCII, a byte at a time without decoding.
    std::size_t i = 0;
    while (i < text.size()) {
      std::size_t ascii_end = i;
      while (ascii_end < text.size() && static_cast<unsigned char>(text[ascii_end]) < 0x80) ++ascii_end;
      for (; i < ascii_end; ++i) out.push_back(static_cast<char>(ascii[static_cast<unsigned char>(text[i])]));
      if (i == text.size()) break;
      std::size_t length = 0;
      char32_t c = Decode(text, i, &length);
      if (length == 0) {
        out.push_back(text[i]);
        length = 1;
      } else {
        Encode(FoldChar(c), &out);
      }
      i += length;
    }
    return;
  }
  if (starts) {
    starts->clear();
    starts->reserve(text.size() + 1);
  }
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = b < 0x80 ? 0 : Decode(text, i, &length);
    std::size_t before = out.size();
    if (length == 0) {
      out.push_back(static_cast<char>(ascii[b]));
      length = 1;
    } else {
      Encode(FoldChar(c), &out);
    }
    if (starts) starts->insert(starts->end(), out.size() - before, i);
    i += length;
  }
  starts->push_back(text.size());
}

}  // namespace

std::string FoldCase(std::string_view text, std::vector<std::size_t>* starts) {
  std::string out;
  FoldInto(text, &out, starts);
  return out;
}

CaseFreeMatcher::CaseFreeMatcher(std::string_view query) : folded_(FoldCase(query)) {}

bool CaseFreeMatcher::Find(std::string_view text, std::size_t* from, std::size_t* to) const {
  if (folded_.empty()) return false;
  // Most text is ASCII: fold it into a buffer kept from call to call and
  // look there; the offsets are only worked out for a match.
  thread_local std::string folded;
  FoldInto(text, &folded, nullptr);
  std::size_t at = std::string_view(folded).find(folded_);
  if (at == std::string_view::npos) return false;
  if (from || to) {
    std::vector<std::size_t> starts;
    std::string again;
    FoldInto(text, &again, &starts);
    std::size_t end = at + folded_.size();
    if (from) *from = starts[at];
    if (to) {
      // The end of the character the match's last byte comes from.
      std::size_t last = starts[end - 1];
      std::size_t next = end;
      while (next < starts.size() - 1 && starts[next] == last) ++next;
      *to = starts[next];
    }
  }
  return true;
}

std::vector<SearchHit> SearchNotes(const std::vector<SearchSubject>& subjects, std::string_view query,
                                   std::size_t limit) {
  std::vector<SearchHit> hits;
  CaseFreeMatcher matcher(query);
  if (matcher.empty()) return hits;
  for (std::size_t i = 0; i < subjects.size() && hits.size() < limit; ++i) {
    const SearchSubject& s = subjects[i];
    SearchHit hit;
    hit.index = i;
    if (matcher.Find(s.text, &hit.from, &hit.to)) {
      hit.line = LineAround(s.text, hit.from, hit.to);
    } else if (matcher.Find(s.name)) {
      hit.line = LineAround(s.text, 0, 0);
    } else {
      continue;
    }
    hits.push_back(std::move(hit));
  }
  return hits;
}

int CompareNames(std::string_view a, std::string_view b) {
  std::string fa = FoldCase(a), fb = FoldCase(b);
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0, j = 0;
  while (i < fa.size() && j < fb.size()) {
    if (digit(fa[i]) && digit(fb[j])) {
      std::size_t si = i, sj = j;
      while (i < fa.size() && digit(fa[i])) ++i;
      while (j < fb.size() && digit(fb[j])) ++j;
      std::string_view na = std::string_view(fa).substr(si, i - si);
      std::string_view nb = std::string_view(fb).substr(sj, j - sj);
      na.remove_prefix(std::min(na.find_first_not_of('0'), na.size()));
      nb.remove_prefix(std::min(nb.find_first_not_of('0'), nb.size()));
      if (na.size() != nb.size()) return na.size() < nb.size() ? -1 : 1;
      if (int c = na.compare(nb)) return c < 0 ? -1 : 1;
      continue;
    }
    if (fa[i] != fb[j]) return static_cast<unsigned char>(fa[i]) < static_cast<unsigned char>(fb[j]) ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < fa.size() || j < fb.size()) return i < fa.size() ? 1 : -1;
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::size_t FirstWithPrefix(const std::vector<std::string>& names, std::string_view typed) {
  std::string prefix = FoldCase(typed);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string name = FoldCase(names[i].substr(0, std::min(names[i].size(), typed.size() * 4)));
    if (name.compare(0, prefix.size(), prefix) == 0) return i;
  }
  return names.size();
}
