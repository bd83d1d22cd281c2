// ReplaceAll and FindSubstring against plain loops over the bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "splice/replace_all.h"

namespace {

std::size_t ModelFind(std::string_view text, std::string_view pattern,
                      std::size_t from) {
  if (pattern.empty()) return std::string_view::npos;
  for (std::size_t i = from; i + pattern.size() <= text.size(); ++i)
    if (text.compare(i, pattern.size(), pattern) == 0) return i;
  return std::string_view::npos;
}

// One pass from the left; matches never overlap and the replacement is
// never searched again.
std::string ModelReplaceAll(std::string_view pattern,
                            std::string_view replacement,
                            std::string_view text) {
  std::string result;
  std::size_t read = 0;
  for (std::size_t match = ModelFind(text, pattern, 0);
       match != std::string_view::npos;
       match = ModelFind(text, pattern, read)) {
    result.append(text.substr(read, match - read));
    result.append(replacement);
    read = match + pattern.size();
  }
  result.append(text.substr(read));
  return result;
}

}  // namespace

// The first two bytes give the lengths of the pattern and the replacement,
// which follow; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 2) return 0;
  std::size_t pattern_length = data[0] % 16;
  std::size_t replacement_length = data[1] % 24;
  if (size < 2 + pattern_length + replacement_length) return 0;
  const char* bytes = reinterpret_cast<const char*>(data) + 2;
  std::string pattern(bytes, pattern_length);
  std::string replacement(bytes + pattern_length, replacement_length);
  std::string text(bytes + pattern_length + replacement_length,
                   size - 2 - pattern_length - replacement_length);

  if (FindSubstring(text, pattern) != ModelFind(text, pattern, 0)) std::abort();
  std::string replaced = text;
  ReplaceAll(pattern, replacement, replaced);
  if (replaced != ModelReplaceAll(pattern, replacement, text)) std::abort();
  TextLine line;
  line.append(text);
  ReplaceAll(pattern, replacement, line);
  if (std::string_view(line) != replaced) std::abort();
  return 0;
}
