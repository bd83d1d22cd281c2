#include "splice/replace_all.h"

#include <cstdint>
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

// Sixteen bytes compared at once where the machine can.
using Block = unsigned char __attribute__((vector_size(16)));

// The first of the sizeof(Block) starts from `start` at which the pattern
// stands, or npos. Inlined into the search loop, which keeps the wanted
// bytes in registers.
[[gnu::always_inline]] inline std::size_t FindInBlock(
    const char* text, std::size_t start, const SearchPattern& pattern,
    Block want_first, Block want_second) {
  Block at_first, at_second;
  std::memcpy(&at_first, text + start + pattern.first, sizeof at_first);
  std::memcpy(&at_second, text + start + pattern.second, sizeof at_second);
  auto both = (at_first == want_first) & (at_second == want_second);
  std::uint64_t halves[2];
  std::memcpy(halves, &both, sizeof halves);
  if ((halves[0] | halves[1]) == 0) return std::string_view::npos;
  unsigned char hit[sizeof(Block)];
  std::memcpy(hit, &both, sizeof hit);
  for (std::size_t at = start; at < start + sizeof(Block); ++at)
    if (hit[at - start] != 0 &&
        std::memcmp(text + at, pattern.bytes.data(), pattern.bytes.size()) == 0)
      return at;
  return std::string_view::npos;
}

}  // namespace

SearchPattern::SearchPattern(std::string_view pattern) : bytes(pattern) {
  if (pattern.size() < 2) return;
  auto rank = [&](std::size_t i) {
    return kCommonness.rank[static_cast<unsigned char>(pattern[i])];
  };
  for (std::size_t i = 1; i < pattern.size(); ++i)
    if (rank(i) < rank(first)) first = i;
  second = first == 0 ? 1 : 0;
  for (std::size_t i = 0; i < pattern.size(); ++i)
    if (i != first && rank(i) < rank(second)) second = i;
}

std::size_t FindSubstring(std::string_view text, const SearchPattern& pattern) {
  const std::size_t size = pattern.bytes.size();
  if (size == 0 || size > text.size()) return std::string_view::npos;
  const char* begin = text.data();
  const std::size_t starts = text.size() - size + 1;
  if (starts < sizeof(Block)) {
    for (std::size_t start = 0; start < starts; ++start)
      if (std::memcmp(begin + start, pattern.bytes.data(), size) == 0)
        return start;
    return std::string_view::npos;
  }
  const Block want_first =
      Block{} + static_cast<unsigned char>(pattern.bytes[pattern.first]);
  const Block want_second =
      Block{} + static_cast<unsigned char>(pattern.bytes[pattern.second]);
  std::size_t start = 0;
  for (; start + sizeof(Block) <= starts; start += sizeof(Block)) {
    std::size_t found =
        FindInBlock(begin, start, pattern, want_first, want_second);
    if (found != std::string_view::npos) return found;
  }
  // The last block overlaps the one before: the starts it shares with that
  // one hold no match, so a match in it is still the leftmost.
  if (start == starts) return std::string_view::npos;
  return FindInBlock(begin, starts - sizeof(Block), pattern, want_first,
                     want_second);
}

std::size_t FindSubstring(std::string_view text, std::string_view pattern) {
  return FindSubstring(text, SearchPattern(pattern));
}

namespace {

template <typename Text>
void Replace(std::string_view pattern, std::string_view replacement,
             Text& text) {
  const SearchPattern search(pattern);
  std::size_t match = FindSubstring(text, search);
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
      match = FindSubstring(std::string_view(text).substr(read), search);
      if (match != std::string_view::npos) match += read;
    }
    std::memmove(&text[write], &text[read], text.size() - read);
    text.resize(write + text.size() - read);
    return;
  }
  // Grows: the text cannot be rewritten in place, so build it anew.
  Text result;
  std::string_view source = text;
  std::size_t read = 0;
  while (match != std::string_view::npos) {
    result.append(source.data() + read, match - read);
    result.append(replacement.data(), replacement.size());
    read = match + pattern.size();
    match = FindSubstring(source.substr(read), search);
    if (match != std::string_view::npos) match += read;
  }
  result.append(source.data() + read, source.size() - read);
  text.swap(result);
}

}  // namespace

void ReplaceAll(std::string_view pattern, std::string_view replacement,
                TextLine& text) {
  Replace(pattern, replacement, text);
}
void ReplaceAll(std::string_view pattern, std::string_view replacement,
                std::string& text) {
  Replace(pattern, replacement, text);
}
