#include "splice/replace_all.h"

#include <cstring>

std::size_t FindSubstring(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return std::string_view::npos;
  return text.find(pattern);
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
