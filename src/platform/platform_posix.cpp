// The platform on POSIX systems. Windows' share modes do not exist here, so
// they are emulated: within the process by device and inode, against other
// processes with advisory locks.
#include "platform/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

// The Windows system error codes the tool speaks in.
constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;
constexpr ErrorCode kTooManyOpenFiles = 4;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kInvalidHandle = 6;
constexpr ErrorCode kNotEnoughMemory = 8;
constexpr ErrorCode kNotReady = 21;
constexpr ErrorCode kGeneralFailure = 31;
constexpr ErrorCode kSharingViolation = 32;
constexpr ErrorCode kFileExists = 80;
constexpr ErrorCode kInvalidParameter = 87;
constexpr ErrorCode kDiskFull = 112;
constexpr ErrorCode kBusy = 170;
constexpr ErrorCode kNameTooLong = 206;
constexpr ErrorCode kPipeClosing = 232;
constexpr ErrorCode kDeviceError = 1117;
constexpr ErrorCode kCannotResolveName = 1921;

int g_argc = 0;
char** g_argv = nullptr;
bool g_stream_absent[3] = {false, false, false};

// Whether the directory part of `name` (everything before its last '/')
// exists, which tells a missing file from a missing directory.
bool DirectoryPartExists(const char* name) {
  const char* slash = std::strrchr(name, '/');
  if (slash == nullptr || slash == name) return true;
  char directory[4096];
  std::size_t length = static_cast<std::size_t>(slash - name);
  if (length >= sizeof directory) return true;
  std::memcpy(directory, name, length);
  directory[length] = '\0';
  struct stat info;
  return stat(directory, &info) == 0 && S_ISDIR(info.st_mode);
}

// errno onto the Windows codes. `name` is the file the call was about, if any.
ErrorCode FromErrno(int error, const char* name = nullptr) {
  switch (error) {
    case ENOENT:
      return name != nullptr && !DirectoryPartExists(name) ? kPathNotFound
                                                           : kFileNotFound;
    case ENOTDIR: return kPathNotFound;
    case EMFILE: case ENFILE: return kTooManyOpenFiles;
    case EACCES: case EPERM: case EISDIR: case EROFS: return kAccessDenied;
    case EBADF: return kInvalidHandle;
    case ENOMEM: return kNotEnoughMemory;
    case ENXIO: case ENODEV: return kNotReady;
    case ETXTBSY: return kSharingViolation;
    case EEXIST: return kFileExists;
    case EINVAL: return kInvalidParameter;
    case ENOSPC: case EDQUOT: case EFBIG: return kDiskFull;
    case EBUSY: return kBusy;
    case ENAMETOOLONG: return kNameTooLong;
    case EPIPE: return kPipeClosing;
    case EIO: return kDeviceError;
    case ELOOP: return kCannotResolveName;
    default: return kGeneralFailure;
  }
}

// The regular files this process holds open, for the share rules: a file
// open for writing may not be opened again, and a file open for reading may
// only be opened for reading.
struct OpenFile {
  int fd;
  dev_t device;
  ino_t inode;
  bool writing;
};
constexpr int kMaxOpenFiles = 16;
OpenFile g_open_files[kMaxOpenFiles];
int g_open_file_count = 0;

bool SharingAllows(const struct stat& info, bool writing) {
  for (int i = 0; i < g_open_file_count; ++i) {
    const OpenFile& open = g_open_files[i];
    if (open.device == info.st_dev && open.inode == info.st_ino &&
        (writing || open.writing))
      return false;
  }
  return true;
}

// Takes the share check, the lock against other processes and a slot in
// the table for a freshly opened regular file; on failure the fd is closed.
ErrorCode Share(int fd, const struct stat& info, bool writing) {
  ErrorCode code = 0;
  if (!SharingAllows(info, writing)) {
    code = kSharingViolation;
  } else if (g_open_file_count == kMaxOpenFiles) {
    code = kTooManyOpenFiles;
  } else if (flock(fd, (writing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 &&
             errno == EWOULDBLOCK) {
    code = kSharingViolation;  // Another process has it open.
  }
  // Any other flock failure means the file system keeps no locks: no error.
  if (code != 0) {
    close(fd);
    return code;
  }
  g_open_files[g_open_file_count++] = {fd, info.st_dev, info.st_ino, writing};
  return 0;
}

void Unshare(int fd) {
  for (int i = 0; i < g_open_file_count; ++i) {
    if (g_open_files[i].fd == fd) {
      g_open_files[i] = g_open_files[--g_open_file_count];
      return;
    }
  }
}

// Wildcards as a Windows directory search matches them: '*' any run of
// characters, '?' any one character.
bool MatchesPattern(const char* pattern, const char* text) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*text != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = text;
    } else if (*pattern == '?' || *pattern == *text) {
      ++pattern;
      ++text;
    } else if (star != nullptr) {
      pattern = star + 1;
      text = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

const char* FileNamePart(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

void CopyName(const char* source, char* name, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t length = std::strlen(source);
  if (length >= capacity) length = capacity - 1;
  std::memcpy(name, source, length);
  name[length] = '\0';
}

struct ModuleSearch {
  std::uintptr_t address;
  bool found;
  bool is_program;
  std::uintptr_t base;
  const char* path;
};

int CheckModule(struct dl_phdr_info* info, std::size_t, void* data) {
  ModuleSearch* search = static_cast<ModuleSearch*>(data);
  bool holds = false;
  std::uintptr_t lowest = UINTPTR_MAX;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (start < lowest) lowest = start;
    if (search->address >= start && search->address < start + segment.p_memsz)
      holds = true;
  }
  if (!holds) return 0;
  search->found = true;
  search->is_program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
  search->base = lowest & ~static_cast<std::uintptr_t>(0xFFF);
  search->path = info->dlpi_name;
  return 1;
}

}  // namespace

void StartUp(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      g_stream_absent[fd] = true;
      open("/dev/null", O_RDWR);  // Takes the lowest free number: this one.
    }
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

const char* RawCommandLine() { return nullptr; }
const char* NextChar(const char* position) {
  return *position != '\0' ? position + 1 : position;
}
int ArgumentCount() { return g_argc > 0 ? g_argc - 1 : 0; }
const char* Argument(int index) { return g_argv[index + 1]; }

Handle StandardInputHandle() { return g_stream_absent[0] ? -1 : 0; }
Handle StandardOutputHandle() { return g_stream_absent[1] ? -1 : 1; }

ErrorCode OpenForReading(const char* name, Handle* handle) {
  // Without waiting: a FIFO that nobody writes opens at once and reads as
  // empty, instead of holding the run forever.
  int fd = open(name, O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FromErrno(errno, name);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    ErrorCode code = FromErrno(errno);
    close(fd);
    return code;
  }
  // Only files and pipes come to an end. A device (/dev/zero, a terminal)
  // may never do so, and would be one line growing until memory runs out.
  if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
    close(fd);
    return kAccessDenied;
  }
  if (S_ISFIFO(info.st_mode)) {
    // Reads wait for the writer again, as on any pipe. A regular file
    // ignores the flag.
    int flags = fcntl(fd, F_GETFL);
    if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
      ErrorCode code = FromErrno(errno);
      close(fd);
      return code;
    }
  } else if (ErrorCode code = Share(fd, info, /*writing=*/false)) {
    return code;
  }
  *handle = fd;
  return 0;
}

ErrorCode CreateForWriting(const char* name, Handle* handle) {
  // Not O_TRUNC: the share check comes first, so a refused create keeps
  // every byte of the file.
  int fd = open(name, O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno(errno, name);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    ErrorCode code = FromErrno(errno);
    close(fd);
    return code;
  }
  if (S_ISREG(info.st_mode)) {
    if (ErrorCode code = Share(fd, info, /*writing=*/true)) return code;
    if (ftruncate(fd, 0) != 0) {
      ErrorCode code = FromErrno(errno);
      Unshare(fd);
      close(fd);
      return code;
    }
  }
  *handle = fd;
  return 0;
}

bool HoldAgainstWriting(const char* name, Handle* handle) {
  // Looked at before opening: opening a pipe would wait for its writer.
  struct stat info;
  if (stat(name, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return OpenForReading(name, handle) == 0;
}

ErrorCode Close(Handle handle) {
  int fd = static_cast<int>(handle);
  Unshare(fd);
  if (close(fd) != 0 && errno != EINTR) return FromErrno(errno);
  return 0;
}

ErrorCode Read(Handle handle, char* buffer, std::size_t size,
               std::size_t* got) {
  for (;;) {
    ssize_t result = read(static_cast<int>(handle), buffer, size);
    if (result >= 0) {
      *got = static_cast<std::size_t>(result);
      return 0;
    }
    if (errno != EINTR) {
      *got = 0;
      return FromErrno(errno);
    }
  }
}

ErrorCode Write(Handle handle, const char* bytes, std::size_t size,
                std::size_t* written) {
  std::size_t done = 0;
  ErrorCode code = 0;
  while (done < size) {
    ssize_t result = write(static_cast<int>(handle), bytes + done, size - done);
    if (result < 0) {
      if (errno == EINTR) continue;
      code = FromErrno(errno);
      break;
    }
    if (result == 0) {
      code = kDiskFull;
      break;
    }
    done += static_cast<std::size_t>(result);
  }
  if (written != nullptr) *written = done;
  return code;
}

FileKind KindOf(Handle handle) {
  struct stat info;
  if (handle < 0 || fstat(static_cast<int>(handle), &info) != 0)
    return FileKind::kUnknown;
  if (S_ISCHR(info.st_mode)) return FileKind::kCharacterDevice;
  if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)) return FileKind::kDisk;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileKind::kPipe;
  return FileKind::kUnknown;
}

bool FindFirstEntry(const char* name, bool* is_directory) {
  const char* last = FileNamePart(name);
  struct stat info;
  if (std::strpbrk(last, "*?") == nullptr) {
    if (stat(name, &info) != 0) return false;
    *is_directory = S_ISDIR(info.st_mode);
    return true;
  }
  // A pattern: the first matching entry in directory order decides.
  std::size_t directory_length = static_cast<std::size_t>(last - name);
  char path[4096];
  if (directory_length >= sizeof path) return false;
  std::memcpy(path, name, directory_length);
  path[directory_length] = '\0';
  DIR* directory = opendir(directory_length > 0 ? path : ".");
  if (directory == nullptr) return false;
  bool found = false;
  while (struct dirent* entry = readdir(directory)) {
    if (!MatchesPattern(last, entry->d_name)) continue;
    std::size_t entry_length = std::strlen(entry->d_name);
    if (directory_length + entry_length >= sizeof path) break;
    std::memcpy(path + directory_length, entry->d_name, entry_length + 1);
    found = true;
    if (stat(path, &info) == 0)
      *is_directory = S_ISDIR(info.st_mode);
    else  // A dangling link is still an entry, and not a directory.
      *is_directory = false;
    break;
  }
  closedir(directory);
  return found;
}

bool FindModule(const void* address, char* name, std::size_t capacity,
                std::uintptr_t* base) {
  ModuleSearch search = {reinterpret_cast<std::uintptr_t>(address), false,
                         false, 0, nullptr};
  dl_iterate_phdr(CheckModule, &search);
  if (!search.found) return false;
  if (search.is_program)
    ProgramFileName(name, capacity);
  else
    CopyName(FileNamePart(search.path), name, capacity);
  *base = search.base;
  return true;
}

void ProgramFileName(char* name, std::size_t capacity) {
  static char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) {
    path[length] = '\0';
    CopyName(FileNamePart(path), name, capacity);
  } else {
    CopyName(g_argc > 0 ? FileNamePart(g_argv[0]) : "", name, capacity);
  }
}

void ExitProcess(int status) { _exit(status); }

}  // namespace platform
