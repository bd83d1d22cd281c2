#include "tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempFolder::TempFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "plaken-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Undo any rights a test took away, so everything can go.
  for (auto& entry : std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied,
           ignored))
    if (entry.is_directory(ignored))
      std::filesystem::permissions(entry.path(),
                                   std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::PathOf(const std::string& name) const {
  return path_ + "/" + name;
}

void TempFolder::Write(const std::string& name,
                       const std::string& bytes) const {
  std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + name);
}

std::string TempFolder::Read(const std::string& name) const {
  std::ifstream file(PathOf(name), std::ios::binary);
  if (!file) return "<missing>";
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool TempFolder::Exists(const std::string& name) const {
  return std::filesystem::exists(PathOf(name));
}

std::string ToolPath() {
  if (const char* path = std::getenv("PLAKEN_BINARY"); path && *path)
    return path;
  return PLAKEN_BINARY;
}

namespace {

// PLAKEN_LAUNCHER's words, then `program` and its arguments.
std::vector<std::string> CommandWords(const std::string& program,
                                      const std::vector<std::string>& args) {
  std::vector<std::string> words;
  if (const char* launcher = std::getenv("PLAKEN_LAUNCHER")) {
    std::istringstream split(launcher);
    for (std::string word; split >> word;) words.push_back(word);
  }
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// The name Windows (under Wine, drive Z: is the root) gives an absolute path.
std::string WindowsPath(const std::string& path) {
  std::string windows =
      "Z:" + std::filesystem::absolute(path).lexically_normal().string();
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 0xF];
  }
  return hex;
}

std::string LaunchPath() {
  if (const char* path = std::getenv("PLAKEN_WINDOWS_LAUNCH"); path && *path)
    return path;
  return (std::filesystem::path(ToolPath()).parent_path() / "tests" /
          "plaken_launch.exe")
      .string();
}

double Now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// Sets up one standard stream of the child as `setup` says.
void PrepareStream(int fd, StreamSetup setup, int pipe_end,
                   const std::string& path) {
  switch (setup) {
    case StreamSetup::kPipe:
      dup2(pipe_end, fd);
      break;
    case StreamSetup::kClosed:
      close(fd);
      break;
    case StreamSetup::kNull:
      dup2(open("/dev/null", O_RDWR), fd);
      break;
    case StreamSetup::kFile:
      dup2(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), fd);
      break;
    case StreamSetup::kBrokenPipe: {
      int ends[2];
      if (pipe(ends) != 0) _exit(126);
      close(ends[0]);
      dup2(ends[1], fd);
      close(ends[1]);
      break;
    }
  }
}

ToolResult RunWords(const std::string& folder, std::vector<std::string> words,
                    const ToolOptions& options) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int in[2], out[2], err[2];
  // Close-on-exec, so a tool started at the same time from another thread
  // does not keep this one's pipes open.
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
      pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    if (chdir(folder.c_str()) != 0) _exit(126);
    PrepareStream(0, options.input, in[0], "");
    PrepareStream(1, options.output, out[1], options.output_path);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      if (fd > 2) close(fd);
    if (options.address_space_limit > 0) {
      rlimit limit = {static_cast<rlim_t>(options.address_space_limit),
                      static_cast<rlim_t>(options.address_space_limit)};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (options.file_size_limit > 0) {
      // As a shell leaves it: the tool itself must keep the signal away.
      // A launcher (Wine) is no part of the tool, and leaves the signal as
      // it finds it, so there it is kept away here.
      const char* launcher = std::getenv("PLAKEN_LAUNCHER");
      signal(SIGXFSZ, launcher != nullptr && *launcher ? SIG_IGN : SIG_DFL);
      rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                      static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const std::string& setting : options.environment) {
      std::size_t equals = setting.find('=');
      setenv(setting.substr(0, equals).c_str(),
             equals == std::string::npos ? "" : setting.c_str() + equals + 1, 1);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);

  ToolResult result;
  // Feed standard input, then close it, so the tool sees its end.
  signal(SIGPIPE, SIG_IGN);
  const std::string& input = options.input_bytes;
  std::size_t fed = 0;
  int input_fd = in[1];
  if (input.empty()) {
    close(input_fd);
    input_fd = -1;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  double deadline = Now() + options.timeout_seconds;
  bool out_open = true, err_open = true;
  while (out_open || err_open || input_fd >= 0) {
    pollfd fds[3];
    int count = 0;
    if (out_open) fds[count++] = {out[0], POLLIN, 0};
    if (err_open) fds[count++] = {err[0], POLLIN, 0};
    if (input_fd >= 0) fds[count++] = {input_fd, POLLOUT, 0};
    int left_ms = static_cast<int>((deadline - Now()) * 1000);
    if (left_ms <= 0) {
      result.timed_out = true;
      kill(-child, SIGKILL);
      break;
    }
    poll(fds, count, left_ms);
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == input_fd) {
        ssize_t wrote = write(input_fd, input.data() + fed, input.size() - fed);
        if (wrote > 0) fed += static_cast<std::size_t>(wrote);
        if (wrote < 0 || fed == input.size()) {
          close(input_fd);
          input_fd = -1;
        }
        continue;
      }
      char chunk[65536];
      ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        (fds[i].fd == out[0] ? result.out : result.err).append(chunk, got);
      } else if (got == 0 || errno != EAGAIN) {
        (fds[i].fd == out[0] ? out_open : err_open) = false;
      }
    }
  }
  if (input_fd >= 0) close(input_fd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace

bool OnWindows() {
  const std::string path = ToolPath();
  return path.size() >= 4 && path.compare(path.size() - 4, 4, ".exe") == 0;
}

ToolResult RunTool(const std::string& folder,
                   const std::vector<std::string>& arguments,
                   const ToolOptions& options) {
  // A closed stream reaches a Windows program as some handle of Wine's own;
  // only a Windows parent can start it without one.
  if (OnWindows() && (options.input == StreamSetup::kClosed ||
                      options.output == StreamSetup::kClosed)) {
    std::string line;
    for (const std::string& argument : arguments) {
      bool quote = argument.empty() ||
                   argument.find_first_of(" \t") != std::string::npos;
      line += (line.empty() ? "" : " ") +
              (quote ? "\"" + argument + "\"" : argument);
    }
    return RunToolWithCommandLine(folder, line, options);
  }
  return RunWords(folder, CommandWords(ToolPath(), arguments), options);
}

ToolResult RunToolWithCommandLine(const std::string& folder,
                                  const std::string& after_program_name,
                                  const ToolOptions& options) {
  const std::string program = WindowsPath(ToolPath());
  std::string flags;
  if (options.input == StreamSetup::kClosed) flags += 'i';
  if (options.output == StreamSetup::kClosed) flags += 'o';
  // The launcher itself gets harmless streams; it leaves them out for the tool.
  ToolOptions launch = options;
  if (launch.input == StreamSetup::kClosed) launch.input = StreamSetup::kNull;
  if (launch.output == StreamSetup::kClosed) launch.output = StreamSetup::kNull;
  return RunWords(folder,
                  CommandWords(LaunchPath(),
                               {Hex(program),
                                Hex("\"" + program + "\" " + after_program_name),
                                flags.empty() ? "-" : flags}),
                  launch);
}
