// The platform for the fuzzers: one file in memory, read back in blocks of
// sizes the fuzzer chooses, and one output caught in memory, block by block.
#include "fuzz/memory_platform.h"

#include <algorithm>

namespace fuzz {
MemoryFile g_input;
std::vector<std::string> g_writes;
}  // namespace fuzz

namespace platform {

void StartUp(int, char**) {}
const char* RawCommandLine() { return nullptr; }
const char* NextChar(const char* position) {
  return *position != '\0' ? position + 1 : position;
}
int ArgumentCount() { return 0; }
const char* Argument(int) { return ""; }
Handle StandardInputHandle() { return 0; }
Handle StandardOutputHandle() { return 1; }

ErrorCode OpenForReading(const char*, Handle* handle) {
  *handle = 3;
  return 0;
}
ErrorCode CreateForWriting(const char*, Handle* handle) {
  *handle = 4;
  return 0;
}
ErrorCode Close(Handle) { return 0; }
bool HoldAgainstWriting(const char*, Handle*) { return false; }

ErrorCode Read(Handle, char* buffer, std::size_t size, std::size_t* got) {
  fuzz::MemoryFile& in = fuzz::g_input;
  std::size_t left = in.bytes.size() - in.position;
  std::size_t step = size;
  if (!in.blocks.empty()) step = in.blocks[in.next_block++ % in.blocks.size()];
  step = std::min({step, size, left});
  std::copy_n(in.bytes.data() + in.position, step, buffer);
  in.position += step;
  *got = step;
  return 0;
}

ErrorCode Write(Handle, const char* bytes, std::size_t size,
                std::size_t* written) {
  fuzz::g_writes.emplace_back(bytes, size);
  if (written != nullptr) *written = size;
  return 0;
}

FileKind KindOf(Handle) { return FileKind::kDisk; }
bool FindFirstEntry(const char*, bool*) { return false; }
bool FindModule(const void*, char*, std::size_t, std::uintptr_t*) {
  return false;
}
void ProgramFileName(char* name, std::size_t capacity) {
  if (capacity > 0) name[0] = '\0';
}
void ExitProcess(int) { __builtin_trap(); }

}  // namespace platform
