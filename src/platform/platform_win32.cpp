// The platform on Windows: kernel32 and user32 as they are. The system keeps
// the share rules itself, and its error codes are the tool's codes, so
// everything here is passed through unchanged.
#include "platform/platform.h"

#include <windows.h>

#include <cstring>

namespace platform {
namespace {

int g_argc = 0;
char** g_argv = nullptr;

HANDLE ToNative(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle FromNative(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

ErrorCode LastError() { return static_cast<ErrorCode>(GetLastError()); }

// A path's last component: the part after its last '\', '/' or drive colon.
const char* FileNamePart(const char* path) {
  const char* part = path;
  for (const char* at = path; *at != '\0'; ++at)
    if (*at == '\\' || *at == '/' || *at == ':') part = at + 1;
  return part;
}

void CopyName(const char* source, char* name, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t length = std::strlen(source);
  if (length >= capacity) length = capacity - 1;
  std::memcpy(name, source, length);
  name[length] = '\0';
}

// Room for any module path the system gives, long paths included.
char g_module_path[32768];

}  // namespace

// Nothing to prepare: a closed pipe fails a write with a code, and the
// standard handles are the process's own.
void StartUp(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
}

const char* RawCommandLine() { return GetCommandLineA(); }
const char* NextChar(const char* position) { return CharNextA(position); }
int ArgumentCount() { return g_argc > 0 ? g_argc - 1 : 0; }
const char* Argument(int index) { return g_argv[index + 1]; }

// A stream the process was started without gives no handle; every operation
// on it then fails with the system's code.
Handle StandardInputHandle() {
  return FromNative(GetStdHandle(STD_INPUT_HANDLE));
}
Handle StandardOutputHandle() {
  return FromNative(GetStdHandle(STD_OUTPUT_HANDLE));
}

ErrorCode OpenForReading(const char* name, Handle* handle) {
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  *handle = FromNative(file);
  return 0;
}

ErrorCode CreateForWriting(const char* name, Handle* handle) {
  HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  *handle = FromNative(file);
  return 0;
}

bool HoldAgainstWriting(const char* name, Handle* handle) {
  // A reader that shares only reading: a later create for writing of the
  // same file, under any name, is refused as in use.
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Only a plain file is held: a device or a pipe is let go at once.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return false;
  }
  *handle = FromNative(file);
  return true;
}

ErrorCode Close(Handle handle) {
  if (!CloseHandle(ToNative(handle))) return LastError();
  return 0;
}

ErrorCode Read(Handle handle, char* buffer, std::size_t size,
               std::size_t* got) {
  DWORD read = 0;
  *got = 0;
  if (!ReadFile(ToNative(handle), buffer, static_cast<DWORD>(size), &read,
                nullptr)) {
    ErrorCode code = LastError();
    // The writing end of a pipe was closed: that is the end of the input.
    return code == ERROR_BROKEN_PIPE ? 0 : code;
  }
  *got = read;
  return 0;
}

ErrorCode Write(Handle handle, const char* bytes, std::size_t size,
                std::size_t* written) {
  std::size_t done = 0;
  ErrorCode code = 0;
  while (done < size) {
    DWORD step = 0;
    if (!WriteFile(ToNative(handle), bytes + done,
                   static_cast<DWORD>(size - done), &step, nullptr)) {
      code = LastError();
      break;
    }
    if (step == 0) {
      code = ERROR_DISK_FULL;
      break;
    }
    done += step;
  }
  if (written != nullptr) *written = done;
  return code;
}

FileKind KindOf(Handle handle) {
  switch (GetFileType(ToNative(handle))) {
    case FILE_TYPE_CHAR: return FileKind::kCharacterDevice;
    case FILE_TYPE_DISK: return FileKind::kDisk;
    case FILE_TYPE_PIPE: return FileKind::kPipe;
    default: return FileKind::kUnknown;
  }
}

bool FindFirstEntry(const char* name, bool* is_directory) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(name, &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  *is_directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool FindModule(const void* address, char* name, std::size_t capacity,
                std::uintptr_t* base) {
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(address, &region, sizeof region) == 0 ||
      region.Type != MEM_IMAGE || region.AllocationBase == nullptr)
    return false;
  // A loaded module's handle is its base address.
  HMODULE module = static_cast<HMODULE>(region.AllocationBase);
  DWORD length =
      GetModuleFileNameA(module, g_module_path, sizeof g_module_path);
  if (length == 0) return false;
  CopyName(FileNamePart(g_module_path), name, capacity);
  *base = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
  return true;
}

void ProgramFileName(char* name, std::size_t capacity) {
  DWORD length =
      GetModuleFileNameA(nullptr, g_module_path, sizeof g_module_path);
  if (length == 0) g_module_path[0] = '\0';
  CopyName(FileNamePart(g_module_path), name, capacity);
}

void ExitProcess(int status) { ::ExitProcess(static_cast<UINT>(status)); }

}  // namespace platform
