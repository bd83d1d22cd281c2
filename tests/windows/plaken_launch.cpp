// Starts a Windows program with a command line given byte for byte, and
// with standard streams left out on request. A launcher on another system
// cannot do either: it quotes every argument itself, and a stream it closes
// is still given some handle.
//
//   plaken_launch.exe HEX(program path) HEX(command line) FLAGS
//
// FLAGS holds 'i' to start without standard input and 'o' without standard
// output ('-' for neither). Exits with the program's exit status; 125 for
// bad arguments, 126 when the program cannot be started.
#include <windows.h>

#include <string>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(const char* hex, std::string& bytes) {
  bytes.clear();
  for (; hex[0] != '\0'; hex += 2) {
    int high = HexDigit(hex[0]);
    int low = hex[1] != '\0' ? HexDigit(hex[1]) : -1;
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

// The child gets its own inheritable copy of a standard handle, or none.
HANDLE Inheritable(DWORD which, bool leave_out) {
  if (leave_out) return nullptr;
  HANDLE handle = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy,
                       0, TRUE, DUPLICATE_SAME_ACCESS))
    return nullptr;
  return copy;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program, line;
  if (argc != 4 || !FromHex(argv[1], program) || !FromHex(argv[2], line))
    return 125;
  std::string flags = argv[3];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput =
      Inheritable(STD_INPUT_HANDLE, flags.find('i') != std::string::npos);
  startup.hStdOutput =
      Inheritable(STD_OUTPUT_HANDLE, flags.find('o') != std::string::npos);
  startup.hStdError = Inheritable(STD_ERROR_HANDLE, false);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                      nullptr, nullptr, &startup, &process))
    return 126;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 126;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
