// The operating system as the tool sees it: files and the console by handle,
// the directory search, the command line, code addresses and the end of the
// process. Every failure comes back as a Windows system error code (2 for a
// missing file, 5 for denied access, 32 for a file in use, ...), whatever the
// platform underneath.
#ifndef PLAKEN_PLATFORM_PLATFORM_H_
#define PLAKEN_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>

namespace platform {

using Handle = std::intptr_t;
using ErrorCode = std::uint32_t;

enum class FileKind { kCharacterDevice, kDisk, kPipe, kUnknown };

// Before anything else: keeps the standard streams' slots taken, so no file
// opened later can land on one of them, and makes writes to a closed pipe
// fail with a code instead of ending the process.
void StartUp(int argc, char** argv);

// The raw command line where the system hands over one line to be cut
// (the program's name first), with the step from one character to the next;
// nullptr where the system hands over the arguments already split.
const char* RawCommandLine();
const char* NextChar(const char* position);
// The arguments after the program's name as the system split them.
int ArgumentCount();
const char* Argument(int index);

// The process's standard handles. A stream that was closed when the process
// started gives a handle on which every operation fails.
Handle StandardInputHandle();
Handle StandardOutputHandle();

// Opens an existing file for reading: others may read it too, but nobody may
// write it while it is open. A pipe opens too, without waiting for a writer;
// a directory or a device is refused with 5, as it may have no end.
ErrorCode OpenForReading(const char* name, Handle* handle);
// Creates a file, or empties an existing one, for writing: others may only
// read it while it is open. A refused create leaves an existing file intact.
ErrorCode CreateForWriting(const char* name, Handle* handle);
ErrorCode Close(Handle handle);
// Holds an existing plain file as a reader would, without reading it, so
// that nobody (this process included) can create or write it until the
// handle is closed. Holds nothing, and gives false, for anything else: a
// missing file, a pipe, a device.
bool HoldAgainstWriting(const char* name, Handle* handle);

// Reads up to `size` bytes; `*got` is 0 at the end of the input.
ErrorCode Read(Handle handle, char* buffer, std::size_t size, std::size_t* got);
// Writes all `size` bytes, or fails; `*written`, if given, is how many of
// them reached the system either way.
ErrorCode Write(Handle handle, const char* bytes, std::size_t size,
                std::size_t* written = nullptr);

FileKind KindOf(Handle handle);

// A directory search for `name` ('*' and '?' match in its last component):
// false when nothing is found, otherwise whether the first entry found is a
// directory.
bool FindFirstEntry(const char* name, bool* is_directory);

// Fills `name` (file name only, no directories) with the module holding
// `address` and `*base` with the module's base; false when no loaded module
// holds it.
bool FindModule(const void* address, char* name, std::size_t capacity,
                std::uintptr_t* base);
// The file name, without directories, of the program's own executable.
void ProgramFileName(char* name, std::size_t capacity);

[[noreturn]] void ExitProcess(int status);

}  // namespace platform

#endif  // PLAKEN_PLATFORM_PLATFORM_H_
