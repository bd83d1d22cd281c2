// Runs the built tool as a user would: in a folder of its own, with the
// standard input given, catching every byte it prints and its exit status.
#ifndef PLAKEN_TESTS_TOOL_RUNNER_H_
#define PLAKEN_TESTS_TOOL_RUNNER_H_

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string PathOf(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

// kBrokenPipe: a pipe whose reading end is already closed.
enum class StreamSetup { kPipe, kClosed, kNull, kFile, kBrokenPipe };

struct ToolOptions {
  StreamSetup input = StreamSetup::kPipe;
  std::string input_bytes;     // For kPipe.
  StreamSetup output = StreamSetup::kPipe;
  std::string output_path;     // For kFile: standard output goes there.
  long address_space_limit = 0;  // Bytes; 0 leaves it as it is.
  long file_size_limit = 0;      // Bytes; 0 leaves it as it is.
  int timeout_seconds = 30;
  // NAME=VALUE settings added to the tool's environment alone.
  std::vector<std::string> environment;
};

struct ToolResult {
  std::string out;  // Standard output, when it was a pipe.
  std::string err;
  int exit_status = -1;  // -1 when it did not exit normally.
  int signal = 0;
  bool timed_out = false;
};

// The tool's path: PLAKEN_BINARY from the environment, or the one built
// beside these tests. PLAKEN_LAUNCHER, if set, is put before it (words
// separated by blanks), to run a build for another system.
std::string ToolPath();
// Whether the tool is a Windows build (plaken.exe), run through a launcher.
bool OnWindows();
ToolResult RunTool(const std::string& folder,
                   const std::vector<std::string>& arguments,
                   const ToolOptions& options = {});
// Windows only: starts the tool with this raw command line after its
// (quoted) program name, byte for byte, through plaken_launch.exe beside
// the tool (PLAKEN_WINDOWS_LAUNCH overrides its path).
ToolResult RunToolWithCommandLine(const std::string& folder,
                                  const std::string& after_program_name,
                                  const ToolOptions& options = {});

#endif  // PLAKEN_TESTS_TOOL_RUNNER_H_
