// The cutting of the command line: against a model for single-byte
// characters, and for safety alone with double-byte ones. The line sits in
// a heap block of its exact size, so a read past its zero byte is caught.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/command_line.h"

namespace {

const char* NextByte(const char* position) {
  return *position != '\0' ? position + 1 : position;
}

// A lead byte 0x81 takes the byte after it along, unless that is the end.
const char* NextDoubleByte(const char* position) {
  if (*position == '\0') return position;
  if (static_cast<unsigned char>(*position) == 0x81 && position[1] != '\0')
    return position + 2;
  return position + 1;
}

bool IsWhiteSpace(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

// Blanks outside quotes separate items, quotes switch quoting and are
// dropped; items left empty vanish. The first item is the program.
std::vector<std::string> ModelCut(const char* line) {
  std::vector<std::string> items;
  std::string item;
  bool quoted = false, in_item = false;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      in_item = true;
    } else if (!quoted && IsWhiteSpace(*p)) {
      if (!item.empty()) items.push_back(item);
      item.clear();
      in_item = false;
    } else {
      item += *p;
      in_item = true;
    }
  }
  if (in_item && !item.empty()) items.push_back(item);
  if (!items.empty()) items.erase(items.begin());
  return items;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// The first byte chooses the stepping; the rest, up to a zero byte, is the
// command line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  bool double_byte = data[0] & 1;
  std::size_t length = strnlen(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::unique_ptr<char[]> line(new char[length + 1]);
  std::memcpy(line.get(), data + 1, length);
  line[length] = '\0';

  std::vector<std::string> items =
      CutCommandLine(line.get(), double_byte ? NextDoubleByte : NextByte);
  for (const std::string& item : items) Check(!item.empty());
  if (!double_byte) {
    for (const std::string& item : items)
      Check(item.find('"') == std::string::npos);
    Check(items == ModelCut(line.get()));
  }
  return 0;
}
