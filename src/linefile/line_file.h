// Line-oriented text files over operating-system handles, with a 128-byte
// buffer each. Lines are read up to LF with every CR dropped, and written
// with CR LF after them. An empty name stands for the console.
//
// No operation fails out loud: a failure stores its code in IoErrorCode,
// and the caller runs CheckIoError after every step.
#ifndef PLAKEN_LINEFILE_LINE_FILE_H_
#define PLAKEN_LINEFILE_LINE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "linefile/text_line.h"
#include "platform/platform.h"

enum class LineFileMode { kClosed, kReading, kWriting };

// The two console line files open themselves on their first use and never
// close the process's standard handles.
enum class LineFileRole { kFile, kStandardInput, kStandardOutput };

struct LineFile {
  // The block: what the system gets at a time, and all that an early end
  // ever leaves out of a disk file or a pipe.
  static constexpr std::size_t kBufferSize = 128;
  // What a line file allowed large blocks reads and writes at a time on a
  // disk file or a pipe: a whole number of blocks.
  static constexpr std::size_t kLargeBufferSize = 512 * kBufferSize;
  static constexpr std::size_t kMaxNameLength = 259;

  LineFileRole role = LineFileRole::kFile;
  char name[kMaxNameLength + 1] = {};
  std::size_t name_length = 0;
  bool name_too_long = false;  // Such a name is refused at the open.
  LineFileMode mode = LineFileMode::kClosed;
  platform::Handle handle = -1;
  bool line_flush = false;
  bool end_reached = false;
  bool large_blocks = false;  // Allowed by UseLargeBlocks.
  // The buffer's size while open: kLargeBufferSize for a disk file or a
  // pipe that may use large blocks, kBufferSize otherwise.
  std::size_t capacity = kBufferSize;
  std::size_t position = 0;
  std::size_t count = 0;
  // Reading: the last block fetched, `position` the next unread byte.
  // Writing: the bytes not yet handed to the system. Never cleared: `count`
  // says which bytes hold, and a line file on the stack costs no clearing.
  struct Bytes {
    constexpr Bytes() {}
    char bytes[kLargeBufferSize];
  } buffer = {};
  // Reading: where the first CR at or after `position` lies in the block
  // (`count` if none does), or kNotSearched. One search serves all the
  // lines before that CR.
  static constexpr std::size_t kNotSearched = SIZE_MAX;
  std::size_t next_cr = kNotSearched;
  // Writing: for each whole block of the buffer, the place of the check
  // after the step that filled it, so that a block handed over late fails
  // at the step that 128-byte blocks would have failed at. The first
  // `checked` blocks have their place.
  const void* filled_at[kLargeBufferSize / kBufferSize] = {};
  std::size_t checked = 0;
};

extern std::int32_t IoErrorCode;
extern LineFile StandardInput;
extern LineFile StandardOutput;

// Codes of the line files' own.
constexpr std::int32_t kFileNotOpen = 103;
constexpr std::int32_t kFileNotOpenForInput = 104;
constexpr std::int32_t kFileNotOpenForOutput = 105;
constexpr std::int32_t kNameTooLong = 206;

void SetLineFileName(LineFile& file, std::string_view name);
// Lets a closed line file with a name read and write large blocks when it
// opens on a disk file or a pipe. Its bytes then reach the system in larger
// steps; at an early end HandOverWholeBlocks leaves the file as 128-byte
// blocks would have.
void UseLargeBlocks(LineFile& file);
void OpenForReading(LineFile& file);
void CreateForWriting(LineFile& file);
bool AtEndOfFile(LineFile& file);
// Reads into `line`, which keeps its storage from one line to the next.
void ReadTextLine(LineFile& file, TextLine& line);
void ReadTextLine(LineFile& file, std::string& line);
void WriteTextLine(LineFile& file, std::string_view line);
void FlushLineFile(LineFile& file);
// For an early end: hands the system the whole 128-byte blocks that the
// buffer holds, which 128-byte blocks would already have handed over, and
// keeps the rest. Does nothing for a file that is not open for writing.
void HandOverWholeBlocks(LineFile& file);
void CloseLineFile(LineFile& file);

// Raises an EInOutError when a code is stored, and clears it. Its location
// is the place just after the call, so every check has one of its own; for
// a block that failed after its step had been checked, the place of that
// step's check.
void CheckIoError();

// The message of an input/output error code, into `text`.
void IoErrorMessage(std::int32_t code, char* text, std::size_t capacity);

#endif  // PLAKEN_LINEFILE_LINE_FILE_H_
