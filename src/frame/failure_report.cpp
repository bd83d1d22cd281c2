#include "frame/failure_report.h"

#include <cstdint>
#include <cstring>

#include "frame/frame.h"
#include "linefile/line_file.h"
#include "platform/platform.h"

namespace {

// Appends to a fixed buffer, silently stopping at its end.
struct FixedText {
  char* out;
  char* end;
  void Append(const char* text) {
    while (*text != '\0' && out < end) *out++ = *text++;
  }
  void AppendHex(std::uintptr_t value) {
    char digits[2 * sizeof value];
    int length = 0;
    do {
      digits[length++] = "0123456789ABCDEF"[value & 0xF];
      value >>= 4;
    } while (value != 0);
    for (int pad = length; pad < 8 && out < end; ++pad) *out++ = '0';
    while (length > 0 && out < end) *out++ = digits[--length];
  }
};

char g_report[1024 + 4096];

}  // namespace

std::size_t ComposeFailureReport(const Exception& failure,
                                 const void* location, char* text,
                                 std::size_t capacity) {
  static char module[4096];
  std::uintptr_t base = 0;
  std::uintptr_t address = reinterpret_cast<std::uintptr_t>(location);
  std::uintptr_t offset;
  if (platform::FindModule(location, module, sizeof module, &base)) {
    offset = address - base;
  } else {
    platform::ProgramFileName(module, sizeof module);
    offset = address == 0 ? 0 : address - 0x1000;
  }
  FixedText report = {text, text + capacity};
  report.Append("Exception ");
  report.Append(failure.ClassName());
  report.Append(" in module ");
  report.Append(module);
  report.Append(" at ");
  report.AppendHex(offset);
  report.Append(".\n");
  const char* message = failure.Message();
  report.Append(message);
  std::size_t length = std::strlen(message);
  if (length > 0 && message[length - 1] != '.') report.Append(".");
  return static_cast<std::size_t>(report.out - text);
}

void ReportUnhandledFailure(const Exception& failure, const void* location) {
  std::size_t length =
      ComposeFailureReport(failure, location, g_report, sizeof g_report);
  // Lines still buffered for the console come before the report.
  FlushLineFile(StandardOutput);
  IoErrorCode = 0;
  platform::Handle output = platform::StandardOutputHandle();
  platform::Write(output, g_report, length);
  platform::Write(output, "\r\n", 2);
  EndRun(1);
}
