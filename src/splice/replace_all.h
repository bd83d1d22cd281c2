#ifndef PLAKEN_SPLICE_REPLACE_ALL_H_
#define PLAKEN_SPLICE_REPLACE_ALL_H_

#include <cstddef>
#include <string>
#include <string_view>

// The leftmost occurrence of `pattern` in `text`, byte for byte, or npos.
// An empty pattern is found nowhere.
std::size_t FindSubstring(std::string_view text, std::string_view pattern);

// Replaces every occurrence of `pattern` in `text` in one pass from the
// left: matches never overlap, and the replacement is never searched again.
// Works in place, so the text keeps its storage.
void ReplaceAll(std::string_view pattern, std::string_view replacement,
                std::string& text);

#endif  // PLAKEN_SPLICE_REPLACE_ALL_H_
