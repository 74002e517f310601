// Finding notes (X-free): text compared without regard to case in every
// script (UTF-8 aware), the search of all notes for a string, and the
// order of note names in the lists (numbers in names in numeric order).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The text with every character in one case: Unicode's simple case
// folding, so "Straße", "STRASSE" do not meet but "ΣΊΣΥΦΟΣ", "σίσυφος"
// and "ς" do. Bytes that are not UTF-8 are kept as they are (ASCII letters
// folded). With `starts`, starts[i] is the offset in `text` of the
// character that byte i of the result comes from, and one more entry maps
// the end of the result to the end of the text.
std::string FoldCase(std::string_view text, std::vector<std::size_t>* starts = nullptr);

// Finds a string in texts, without regard to case.
class CaseFreeMatcher {
 public:
  explicit CaseFreeMatcher(std::string_view query);
  bool empty() const { return folded_.empty(); }
  // Whether the text holds the query; *from and *to (when given) get the
  // first match's bytes in `text`.
  bool Find(std::string_view text, std::size_t* from = nullptr, std::size_t* to = nullptr) const;

 private:
  std::string folded_;
};

// What the search sees of one note.
struct SearchSubject {
  std::string_view name;
  std::string_view text;
};

// One note found: its index among the subjects, where the match stands in
// its text (from == to when only the name matched) and the line to show:
// the text's line that holds the match (its first line for a name match),
// cut to about `kShownLine` bytes around the match on whole characters.
struct SearchHit {
  std::size_t index = 0;
  std::size_t from = 0;
  std::size_t to = 0;
  std::string line;
};
constexpr std::size_t kShownLine = 80;

// Every subject whose name or text holds the query, in the subjects' order;
// none for an empty query. Stops after `limit` hits.
std::vector<SearchHit> SearchNotes(const std::vector<SearchSubject>& subjects, std::string_view query,
                                   std::size_t limit);

// The order of names in the lists: without regard to case, a run of
// digits compared as the number it writes ("Note 2" before "Note 10"),
// names equal that way then by their bytes. Negative, 0 or positive.
int CompareNames(std::string_view a, std::string_view b);

// The first of sorted names that begins with `typed`, without regard to
// case; names.size() when none does.
std::size_t FirstWithPrefix(const std::vector<std::string>& names, std::string_view typed);
