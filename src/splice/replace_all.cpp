#include "splice/replace_all.h"

#include <cstring>

namespace {

// How often a byte turns up in HTML and text, roughly: markup and blanks
// most, then letters by their frequency in English; digits, punctuation,
// control and high bytes least.
struct CommonnessTable {
  unsigned char rank[256] = {};
  constexpr CommonnessTable() {
    const char by_frequency[] = " etaoinsrhldcumfpgwybvkxjqz";
    for (int i = 0; by_frequency[i] != '\0'; ++i) {
      unsigned char byte = static_cast<unsigned char>(by_frequency[i]);
      rank[byte] = static_cast<unsigned char>(99 - i);
      if (byte >= 'a' && byte <= 'z') rank[byte - 32] = rank[byte];
    }
    for (unsigned char byte : {'<', '>', '/', '"', '='}) rank[byte] = 100;
  }
};
constexpr CommonnessTable kCommonness;

}  // namespace

std::size_t FindSubstring(std::string_view text, std::string_view pattern) {
  if (pattern.empty() || pattern.size() > text.size())
    return std::string_view::npos;
  // Hunts the pattern's rarest byte with memchr and compares around it.
  std::size_t anchor = 0;
  for (std::size_t i = 1; i < pattern.size(); ++i)
    if (kCommonness.rank[static_cast<unsigned char>(pattern[i])] <
        kCommonness.rank[static_cast<unsigned char>(pattern[anchor])])
      anchor = i;
  const char* begin = text.data();
  const char* last = begin + (text.size() - pattern.size());  // Last start.
  const char* from = begin + anchor;
  while (from <= last + anchor) {
    const void* hit = std::memchr(
        from, pattern[anchor], static_cast<std::size_t>(last + anchor - from) + 1);
    if (hit == nullptr) break;
    const char* start = static_cast<const char*>(hit) - anchor;
    if (std::memcmp(start, pattern.data(), pattern.size()) == 0)
      return static_cast<std::size_t>(start - begin);
    from = static_cast<const char*>(hit) + 1;
  }
  return std::string_view::npos;
}

void ReplaceAll(std::string_view pattern, std::string_view replacement,
                std::string& text) {
  std::size_t match = FindSubstring(text, pattern);
  if (match == std::string_view::npos) return;
  if (replacement.size() <= pattern.size()) {
    // Shrinks or keeps the length: copy forward over the text itself.
    std::size_t read = 0;
    std::size_t write = 0;
    while (match != std::string_view::npos) {
      std::size_t keep = match - read;
      std::memmove(&text[write], &text[read], keep);
      write += keep;
      std::memcpy(&text[write], replacement.data(), replacement.size());
      write += replacement.size();
      read = match + pattern.size();
      match = FindSubstring(std::string_view(text).substr(read), pattern);
      if (match != std::string_view::npos) match += read;
    }
    std::memmove(&text[write], &text[read], text.size() - read);
    text.resize(write + text.size() - read);
    return;
  }
  // Grows: the text cannot be rewritten in place, so build it anew.
  std::string result;
  std::size_t read = 0;
  while (match != std::string_view::npos) {
    result.append(text, read, match - read);
    result.append(replacement);
    read = match + pattern.size();
    match = FindSubstring(std::string_view(text).substr(read), pattern);
    if (match != std::string_view::npos) match += read;
  }
  result.append(text, read, std::string::npos);
  text.swap(result);
}
