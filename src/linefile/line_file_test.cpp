#include "linefile/line_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "linefile/failure.h"

namespace {

class LineFileTest : public testing::Test {
 protected:
  void SetUp() override {
    IoErrorCode = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("plaken-line-file-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
              testing::UnitTest::GetInstance()->current_test_info()->name()))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }

  void WriteBytes(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  std::string ReadBytes() {
    std::ifstream file(path_, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }

  std::vector<std::string> ReadLines(const std::string& bytes) {
    WriteBytes(bytes);
    LineFile file;
    SetLineFileName(file, path_);
    OpenForReading(file);
    EXPECT_EQ(IoErrorCode, 0);
    std::vector<std::string> lines;
    std::string line;
    while (!AtEndOfFile(file)) {
      ReadTextLine(file, line);
      lines.push_back(line);
    }
    CloseLineFile(file);
    EXPECT_EQ(IoErrorCode, 0);
    return lines;
  }

  std::string path_;
};

using Lines = std::vector<std::string>;

TEST_F(LineFileTest, ReadsLinesUpToLfWithEveryCrDropped) {
  struct Case {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\n", {"a"}},
      {"a\n\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"a\rb\n", {"ab"}},
      {"x\ry\r", {"xy"}},
      {"a\r\r\n", {"a"}},
      {"a\n\rb\n", {"a", "b"}},
      {"a\r\n\x1a" "b\r\n", {"a"}},
      {"\x1a" "abc", {}},
      {"a\x1a" "b\n\x1a", {"a\x1a" "b"}},
      {"\r", {""}},
      {std::string("a\0b\n\0", 5), {std::string("a\0b", 3), std::string(1, '\0')}},
      {"\xff\xfe\x80 invalid \xc3\n", {"\xff\xfe\x80 invalid \xc3"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadLines(c.bytes), c.lines) << "bytes: " << c.bytes;
}

TEST_F(LineFileTest, CrAtTheEndOfABlockWaitsForTheNextBlock) {
  std::string head(127, 'h');
  EXPECT_EQ(ReadLines(head + "\r\nnext"), (Lines{head, "next"}));
  EXPECT_EQ(ReadLines(head + "\rx\n"), (Lines{head + "x"}));
  // A 0x1A that starts a block mid-line is text like any other byte.
  std::string full(128, 'f');
  EXPECT_EQ(ReadLines(full + "\x1a" "z\n"), (Lines{full + "\x1a" "z"}));
}

TEST_F(LineFileTest, LongLinesAreReadAndWrittenWhole) {
  std::string line(100000, 'q');
  line[5000] = '\0';
  EXPECT_EQ(ReadLines(line), (Lines{line}));

  LineFile file;
  SetLineFileName(file, path_);
  CreateForWriting(file);
  WriteTextLine(file, line);
  WriteTextLine(file, "");
  CloseLineFile(file);
  EXPECT_EQ(IoErrorCode, 0);
  EXPECT_EQ(ReadBytes(), line + "\r\n\r\n");
}

TEST_F(LineFileTest, WritesWholeBlocksUntilClosed) {
  LineFile file;
  SetLineFileName(file, path_);
  CreateForWriting(file);
  ASSERT_EQ(IoErrorCode, 0);
  WriteTextLine(file, std::string(98, 'a'));  // 100 bytes with CR LF.
  EXPECT_EQ(ReadBytes(), "");
  WriteTextLine(file, std::string(198, 'b'));
  EXPECT_EQ(ReadBytes().size(), 256u);
  CloseLineFile(file);
  EXPECT_EQ(ReadBytes().size(), 300u);
}

TEST_F(LineFileTest, CreatingEmptiesAnExistingFile) {
  WriteBytes(std::string(1000, 'x'));
  LineFile file;
  SetLineFileName(file, path_);
  CreateForWriting(file);
  WriteTextLine(file, "new");
  CloseLineFile(file);
  EXPECT_EQ(ReadBytes(), "new\r\n");
}

TEST_F(LineFileTest, OneFileOpenTwice) {
  WriteBytes("one\ntwo\n");
  LineFile first, second, writer;
  for (LineFile* file : {&first, &second, &writer})
    SetLineFileName(*file, path_);
  OpenForReading(first);
  OpenForReading(second);
  EXPECT_EQ(IoErrorCode, 0);
  std::string line;
  ReadTextLine(first, line);
  ReadTextLine(second, line);
  EXPECT_EQ(line, "one");  // Each reader has a position of its own.

  CreateForWriting(writer);
  EXPECT_EQ(IoErrorCode, 32);
  EXPECT_EQ(writer.mode, LineFileMode::kClosed);
  CloseLineFile(first);
  CloseLineFile(second);
  IoErrorCode = 0;

  // Another name for the same file is the same file.
  SetLineFileName(writer, path_);
  CreateForWriting(writer);
  ASSERT_EQ(IoErrorCode, 0);
  OpenForReading(first);
  EXPECT_EQ(IoErrorCode, 32);
  CloseLineFile(writer);
  EXPECT_EQ(ReadBytes(), "");
}

TEST_F(LineFileTest, MisusedLineFilesStoreTheirCodes) {
  WriteBytes("x\n");
  LineFile file;
  SetLineFileName(file, path_);
  std::string line;
  EXPECT_TRUE(AtEndOfFile(file));
  EXPECT_EQ(IoErrorCode, 104);
  IoErrorCode = 0;
  ReadTextLine(file, line);
  EXPECT_EQ(IoErrorCode, 104);
  IoErrorCode = 0;
  WriteTextLine(file, "x");
  EXPECT_EQ(IoErrorCode, 103);
  IoErrorCode = 0;
  CloseLineFile(file);
  EXPECT_EQ(IoErrorCode, 103);
  IoErrorCode = 0;
  FlushLineFile(file);
  EXPECT_EQ(IoErrorCode, 103);
  IoErrorCode = 0;
  OpenForReading(file);
  WriteTextLine(file, "x");
  EXPECT_EQ(IoErrorCode, 105);
  CloseLineFile(file);
}

TEST_F(LineFileTest, NamesLongerThanTheLineFileHoldsAreRefused) {
  LineFile file;
  SetLineFileName(file, std::string(300, 'n'));
  CreateForWriting(file);
  EXPECT_EQ(IoErrorCode, 206);
  IoErrorCode = 0;
  OpenForReading(file);
  EXPECT_EQ(IoErrorCode, 206);
  EXPECT_EQ(file.mode, LineFileMode::kClosed);
  IoErrorCode = 0;
}

TEST_F(LineFileTest, LargeBlocksReadTheSameLines) {
  // CRs and LFs on both sides of a large block's end, and a 0x1A there.
  const std::size_t end = LineFile::kLargeBufferSize;
  struct Case {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {std::string(end - 1, 'h') + "\r\nnext", {std::string(end - 1, 'h'), "next"}},
      {std::string(end - 1, 'h') + "\rx\n", {std::string(end - 1, 'h') + "x"}},
      {std::string(end - 2, 'h') + "\r\r\n\x1a", {std::string(end - 2, 'h')}},
      {std::string(end, 'f') + "\x1a" "z\n", {std::string(end, 'f') + "\x1a" "z"}},
      {std::string(end - 1, 'g') + "\n\x1a" "z\n", {std::string(end - 1, 'g')}},
      {std::string(3 * end + 5, 'r') + "\r", {std::string(3 * end + 5, 'r')}},
      {"a\rb\rc\r\nd", {"abc", "d"}},
  };
  for (const Case& c : cases) {
    WriteBytes(c.bytes);
    LineFile file;
    SetLineFileName(file, path_);
    UseLargeBlocks(file);
    OpenForReading(file);
    Lines lines;
    std::string line;
    while (!AtEndOfFile(file)) {
      ReadTextLine(file, line);
      lines.push_back(line);
    }
    CloseLineFile(file);
    EXPECT_EQ(IoErrorCode, 0);
    EXPECT_TRUE(lines == c.lines) << c.bytes.size() << " bytes";
  }
}

TEST_F(LineFileTest, LargeBlocksFollowTheLineRulesOnRandomBytes) {
  // Runs of LFs, CRs and text of every length, over several large blocks:
  // a CR looked for once serves all the lines before it, in any block.
  std::uint64_t state = 7;
  auto next = [&state](std::uint64_t bound) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return (state >> 33) % bound;
  };
  std::string bytes;
  while (bytes.size() < 5 * LineFile::kLargeBufferSize) {
    const char kinds[] = {'\n', '\r', 't'};
    char kind = kinds[next(3)];
    std::size_t run = kind == 't' ? next(next(4) == 0 ? 3000 : 60) : 1 + next(2);
    bytes.append(run, kind);
  }
  bytes[0] = 't';  // A 0x1A first would end the file at once.
  Lines model(1);
  for (char byte : bytes) {
    if (byte == '\n') model.emplace_back();
    else if (byte != '\r') model.back() += byte;
  }
  if (bytes.back() == '\n') model.pop_back();

  WriteBytes(bytes);
  LineFile file;
  SetLineFileName(file, path_);
  UseLargeBlocks(file);
  OpenForReading(file);
  Lines lines;
  TextLine line;
  while (!AtEndOfFile(file)) {
    ReadTextLine(file, line);
    lines.emplace_back(line);
  }
  CloseLineFile(file);
  EXPECT_EQ(IoErrorCode, 0);
  ASSERT_EQ(lines.size(), model.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    ASSERT_EQ(lines[i], model[i]) << "line " << i;
}

TEST_F(LineFileTest, LargeBlocksHandOverWholeBlocksAtAnEarlyEnd) {
  LineFile file;
  SetLineFileName(file, path_);
  UseLargeBlocks(file);
  CreateForWriting(file);
  ASSERT_EQ(IoErrorCode, 0);
  WriteTextLine(file, std::string(298, 'a'));  // 300 bytes with CR LF.
  EXPECT_EQ(ReadBytes(), "");  // Held back, unlike 128-byte blocks.
  HandOverWholeBlocks(file);
  EXPECT_EQ(ReadBytes(), std::string(256, 'a'));
  HandOverWholeBlocks(file);  // Nothing whole is left.
  EXPECT_EQ(ReadBytes().size(), 256u);
  // A line longer than the buffer goes on in order after the kept bytes.
  std::string long_line(LineFile::kLargeBufferSize * 2 + 7, 'b');
  WriteTextLine(file, long_line);
  HandOverWholeBlocks(file);
  std::size_t total = 300 + long_line.size() + 2;
  EXPECT_EQ(ReadBytes().size(), total / 128 * 128);
  CloseLineFile(file);
  EXPECT_EQ(IoErrorCode, 0);
  EXPECT_TRUE(ReadBytes() ==
              std::string(298, 'a') + "\r\n" + long_line + "\r\n");
}

TEST(CheckIoErrorTest, TurnsTheStoredCodeIntoAFailureWithItsMessage) {
  struct Case {
    std::int32_t code;
    const char* message;
  } cases[] = {
      {2, "File not found"},       {3, "Invalid filename"},
      {4, "Too many open files"},  {5, "File access denied"},
      {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"},   {32, "I/O error 32"},
      {103, "I/O error 103"},      {-7, "I/O error -7"},
      {INT32_MIN, "I/O error -2147483648"},
  };
  for (const Case& c : cases) {
    IoErrorCode = c.code;
    try {
      CheckIoError();
      ADD_FAILURE() << "no failure for " << c.code;
    } catch (const EInOutError& failure) {
      EXPECT_STREQ(failure.Message(), c.message);
      EXPECT_EQ(failure.ErrorCode(), c.code);
      EXPECT_STREQ(failure.ClassName(), "EInOutError");
    }
    EXPECT_EQ(IoErrorCode, 0);
  }
  EXPECT_NO_THROW(CheckIoError());
}

}  // namespace
