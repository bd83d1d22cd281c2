// The line reader against a model of the line rules, for any bytes read in
// blocks of any sizes, and the line writer against the bytes it must write.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/memory_platform.h"
#include "linefile/line_file.h"

namespace {

// A line ends at LF, every CR is dropped, a 0x1A where a line would start
// ends the file, and a last line needs no line end.
std::vector<std::string> ModelLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < bytes.size() && bytes[i] != '\x1a') {
    std::string line;
    while (i < bytes.size() && bytes[i] != '\n') {
      if (bytes[i] != '\r') line += bytes[i];
      ++i;
    }
    if (i < bytes.size()) ++i;  // The LF.
    lines.push_back(line);
  }
  return lines;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// The first byte gives the number of block sizes that follow, each 1 to 256;
// the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  std::size_t block_count = data[0] % 8;
  if (size < 1 + block_count) return 0;
  fuzz::g_input = {};
  for (std::size_t i = 0; i < block_count; ++i)
    fuzz::g_input.blocks.push_back(std::size_t{data[1 + i]} + 1);
  fuzz::g_input.bytes.assign(reinterpret_cast<const char*>(data) + 1 + block_count,
                             size - 1 - block_count);
  fuzz::g_writes.clear();

  LineFile in, out;
  SetLineFileName(in, "in");
  SetLineFileName(out, "out");
  OpenForReading(in);
  CreateForWriting(out);
  std::vector<std::string> lines;
  std::string line;
  std::string expected_output;
  while (!AtEndOfFile(in)) {
    ReadTextLine(in, line);
    lines.push_back(line);
    WriteTextLine(out, line);
    expected_output += line + "\r\n";
  }
  CloseLineFile(in);
  CloseLineFile(out);
  Check(IoErrorCode == 0);
  Check(lines == ModelLines(fuzz::g_input.bytes));

  // Whole blocks, then what is left at the close.
  std::string written;
  for (std::size_t i = 0; i < fuzz::g_writes.size(); ++i) {
    const std::string& block = fuzz::g_writes[i];
    Check(block.size() == LineFile::kBufferSize ||
          (i + 1 == fuzz::g_writes.size() && !block.empty() &&
           block.size() < LineFile::kBufferSize));
    written += block;
  }
  Check(written == expected_output);
  return 0;
}
