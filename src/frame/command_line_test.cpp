#include "frame/command_line.h"

#include <gtest/gtest.h>

namespace {

const char* NextByte(const char* position) {
  return *position != '\0' ? position + 1 : position;
}

struct CutCase {
  const char* line;  // After the program's name.
  std::vector<std::string> arguments;
};

TEST(CutCommandLineTest, QuotesGroupAndEmptyPairsVanish) {
  const CutCase cases[] = {
      {"page.html text.txt out.html", {"page.html", "text.txt", "out.html"}},
      {"\"my page.html\" text.txt out.html",
       {"my page.html", "text.txt", "out.html"}},
      {"my\" \"page.html text.txt out.html",
       {"my page.html", "text.txt", "out.html"}},
      {"page.html \"\" text.txt out.html",
       {"page.html", "text.txt", "out.html"}},
      {"a\"\"b c d", {"ab", "c", "d"}},
      {"page.html text.txt \"\"", {"page.html", "text.txt"}},
      {"page.html text.txt out.html extra",
       {"page.html", "text.txt", "out.html", "extra"}},
      {"page.html\ttext.txt\t\tout.html", {"page.html", "text.txt", "out.html"}},
      {"page.html text.txt \"out dir\\out.html",
       {"page.html", "text.txt", "out dir\\out.html"}},
      {"page.html text.txt out.html \"", {"page.html", "text.txt", "out.html"}},
      {"", {}},
      {"   ", {}},
      {"\"\" \"\" \"\"", {}},
      {"\"\"\"\"x", {"x"}},
      {"\x81\x82 \"\xe9 \xff\"", {"\x81\x82", "\xe9 \xff"}},
      {"a\x01" "b\x1f" "c", {"a", "b", "c"}},
  };
  for (const CutCase& c : cases) {
    std::string line = std::string("plaken.exe ") + c.line;
    EXPECT_EQ(CutCommandLine(line.c_str(), NextByte), c.arguments)
        << "line: " << c.line;
  }
}

TEST(CutCommandLineTest, ProgramNameMayBeQuotedWithBlanks) {
  EXPECT_EQ(CutCommandLine("\"C:\\My Tools\\plaken.exe\" a b c", NextByte),
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(CutCommandLine("  plaken", NextByte), std::vector<std::string>{});
}

// A double-byte character is taken whole, even when its second byte is a
// quote or a blank.
const char* NextDoubleByte(const char* position) {
  if (*position == '\0') return position;
  if (static_cast<unsigned char>(*position) == 0x81 && position[1] != '\0')
    return position + 2;
  return position + 1;
}

TEST(CutCommandLineTest, StepsByCharactersInsideQuotes) {
  EXPECT_EQ(CutCommandLine("p \"a\x81\"b\" c d", NextDoubleByte),
            (std::vector<std::string>{"a\x81\"b", "c", "d"}));
}

}  // namespace
