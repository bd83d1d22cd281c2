#include "splice/replace_all.h"

#include <gtest/gtest.h>

namespace {

struct ReplaceCase {
  std::string pattern, replacement, source, result;
};

TEST(ReplaceAllTest, OnePassFromTheLeft) {
  const ReplaceCase cases[] = {
      {"</textarea>", "", "<textarea>old</textarea> tail", "<textarea>old tail"},
      {"</textarea>", "", "x</textarea>y</textarea>z", "xyz"},
      {"</textarea>", "", "</text</textarea>area>", "</textarea>"},
      {"</textarea>", "", "</textarea>", ""},
      {"</textarea>", "", "no tag here", "no tag here"},
      {"</textarea>", "", "</TEXTAREA>", "</TEXTAREA>"},
      {"aa", "b", "aaa", "ba"},
      {"aa", "b", "aaaa", "bb"},
      {"ab", "ab", "abab", "abab"},
      {"a", "aa", "aXa", "aaXaa"},
      {"a", "xyz", "aaa", "xyzxyzxyz"},
      {"", "x", "abc", "abc"},
      {"abc", "x", "", ""},
      {"abcd", "x", "abc", "abc"},
      {std::string("\0b", 2), "-", std::string("a\0b\0bc", 6), "a--c"},
  };
  for (const ReplaceCase& c : cases) {
    std::string text = c.source;
    ReplaceAll(c.pattern, c.replacement, text);
    EXPECT_EQ(text, c.result) << "pattern '" << c.pattern << "' in '"
                              << c.source << "'";
  }
}

TEST(FindSubstringTest, LeftmostExactMatch) {
  EXPECT_EQ(FindSubstring("a<textarea<textarea", "<textarea"), 1u);
  EXPECT_EQ(FindSubstring("<TEXTAREA>", "<textarea"), std::string::npos);
  EXPECT_EQ(FindSubstring("< textarea>", "<textarea"), std::string::npos);
  EXPECT_EQ(FindSubstring("<textareas", "<textarea"), 0u);
  EXPECT_EQ(FindSubstring("abc", ""), std::string::npos);
  EXPECT_EQ(FindSubstring("", "a"), std::string::npos);
}

TEST(FindSubstringTest, EveryPlaceAroundTheBlocksItLooksAtTogether) {
  // Texts of every length over a few blocks, full of near misses that
  // share the pattern's rarer bytes, with the pattern at every place.
  const std::string pattern = "<textarea";
  const std::string decoys = "xtaxrea<tex_areatextarea<textarex";
  for (std::size_t length = 0; length < 70; ++length) {
    std::string filler;
    while (filler.size() < length) filler += decoys;
    filler.resize(length);
    ASSERT_EQ(FindSubstring(filler, pattern), filler.find(pattern)) << filler;
    for (std::size_t at = 0; at + pattern.size() <= length; ++at) {
      std::string text = filler;
      text.replace(at, pattern.size(), pattern);
      ASSERT_EQ(FindSubstring(text, pattern), text.find(pattern)) << text;
      const SearchPattern ready(pattern);
      ASSERT_EQ(FindSubstring(text, ready), text.find(pattern)) << text;
    }
  }
}

TEST(ReplaceAllTest, TextLineIsRewrittenLikeAString) {
  TextLine line;
  line.append("a</textarea>b</textarea>");
  ReplaceAll("</textarea>", "", line);
  EXPECT_EQ(std::string_view(line), "ab");
  ReplaceAll("b", "[b]", line);
  EXPECT_EQ(std::string_view(line), "a[b]");
}

}  // namespace
