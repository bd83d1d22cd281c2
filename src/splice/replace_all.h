#ifndef PLAKEN_SPLICE_REPLACE_ALL_H_
#define PLAKEN_SPLICE_REPLACE_ALL_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "linefile/text_line.h"

// A pattern ready to be looked for: the places of the two bytes to hunt
// first, its rarest, are chosen once rather than at every search.
struct SearchPattern {
  explicit SearchPattern(std::string_view pattern);
  std::string_view bytes;  // Not owned.
  std::size_t first = 0;
  std::size_t second = 0;
};

// The leftmost occurrence of `pattern` in `text`, byte for byte, or npos.
// An empty pattern is found nowhere.
std::size_t FindSubstring(std::string_view text, const SearchPattern& pattern);
std::size_t FindSubstring(std::string_view text, std::string_view pattern);

// Replaces every occurrence of `pattern` in `text` in one pass from the
// left: matches never overlap, and the replacement is never searched again.
// Works in place, so the text keeps its storage.
void ReplaceAll(std::string_view pattern, std::string_view replacement,
                TextLine& text);
void ReplaceAll(std::string_view pattern, std::string_view replacement,
                std::string& text);

#endif  // PLAKEN_SPLICE_REPLACE_ALL_H_
