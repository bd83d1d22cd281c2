#include "frame/command_line.h"

#include "platform/platform.h"

namespace {

bool IsWhiteSpace(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

// Cuts the item that starts at or after `position` into `item` and returns
// where the next one starts.
const char* CutItem(const char* position, NextCharFunction next_char,
                    std::string& item) {
  item.clear();
  for (;;) {
    while (IsWhiteSpace(*position)) ++position;
    if (position[0] == '"' && position[1] == '"')
      position += 2;
    else
      break;
  }
  while (static_cast<unsigned char>(*position) > 0x20) {
    if (*position == '"') {
      ++position;
      while (*position != '\0' && *position != '"') {
        const char* next = next_char(position);
        item.append(position, static_cast<std::size_t>(next - position));
        position = next;
      }
      if (*position == '"') ++position;
    } else {
      const char* next = next_char(position);
      item.append(position, static_cast<std::size_t>(next - position));
      position = next;
    }
  }
  return position;
}

}  // namespace

std::vector<std::string> CutCommandLine(const char* line,
                                        NextCharFunction next_char) {
  std::vector<std::string> arguments;
  std::string item;
  const char* position = CutItem(line, next_char, item);  // The program.
  for (;;) {
    position = CutItem(position, next_char, item);
    if (item.empty()) break;
    arguments.push_back(item);
  }
  return arguments;
}

std::vector<std::string> ProgramArguments() {
  if (const char* line = platform::RawCommandLine())
    return CutCommandLine(line, platform::NextChar);
  std::vector<std::string> arguments;
  for (int i = 0; i < platform::ArgumentCount(); ++i) {
    const char* argument = platform::Argument(i);
    if (argument[0] != '\0') arguments.push_back(argument);
  }
  return arguments;
}
