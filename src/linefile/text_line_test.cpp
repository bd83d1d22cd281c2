#include "linefile/text_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextLineTest, GrowsKeepingItsBytesAndKeepsItsStorageWhenCleared) {
  TextLine line;
  std::string model;
  // Pieces of every size up to well past a block that the allocator maps
  // on its own, so growth in the heap and by remapping both happen.
  for (std::size_t piece = 1; model.size() < (3u << 20); piece = piece * 3 + 1) {
    std::string bytes(piece, static_cast<char>('a' + piece % 26));
    bytes[0] = '\0';
    line.append(bytes);
    model += bytes;
    ASSERT_EQ(std::string_view(line), model);
  }
  const char* storage = line.data();
  line.clear();
  EXPECT_TRUE(line.empty());
  line.append("short");
  EXPECT_EQ(line.data(), storage);
  EXPECT_EQ(std::string_view(line), "short");
}

TEST(TextLineTest, ResizeAndSwap) {
  TextLine line, other;
  line.append("abcdef");
  line.resize(2);
  EXPECT_EQ(std::string_view(line), "ab");
  line.resize(4);
  EXPECT_EQ(std::string_view(line), std::string_view("ab\0\0", 4));
  other.append("xyz");
  line.swap(other);
  EXPECT_EQ(std::string_view(line), "xyz");
  EXPECT_EQ(std::string_view(other), std::string_view("ab\0\0", 4));
  TextLine empty;
  EXPECT_EQ(std::string_view(empty), "");
  empty.append("", 0);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
