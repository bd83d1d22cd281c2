#include "linefile/line_file.h"

#include <cstring>

#include "linefile/failure.h"

std::int32_t IoErrorCode = 0;
LineFile StandardInput{.role = LineFileRole::kStandardInput};
LineFile StandardOutput{.role = LineFileRole::kStandardOutput};

namespace {

constexpr char kEndOfFileMark = 0x1A;

// The writer whose last step filled blocks that wait for the check after it
// to note its place.
LineFile* g_unchecked_writer = nullptr;
// For the next check: the place of the earlier step whose block failed.
const void* g_failed_step = nullptr;

void Store(platform::ErrorCode code) {
  IoErrorCode = static_cast<std::int32_t>(code);
  g_failed_step = nullptr;
}

// Notes the place of the check that follows the step in which the blocks
// after the first `checked` were filled.
void NoteCheckedBlocks(LineFile& file, const void* place) {
  std::size_t whole = file.count / LineFile::kBufferSize;
  for (std::size_t block = file.checked; block < whole; ++block)
    file.filled_at[block] = place;
  file.checked = whole;
}

bool IsOpenFor(const LineFile& file, LineFileMode mode) {
  return file.mode == mode;
}

// A console line file opens itself on its first read; any other one must
// have been opened. False when the file still cannot be read.
bool ReadyForReading(LineFile& file) {
  if (IsOpenFor(file, LineFileMode::kReading)) return true;
  if (file.role != LineFileRole::kStandardInput) {
    Store(kFileNotOpenForInput);
    return false;
  }
  SetLineFileName(file, "");
  OpenForReading(file);
  if (IsOpenFor(file, LineFileMode::kReading)) return true;
  Store(kFileNotOpenForInput);
  return false;
}

bool ReadyForWriting(LineFile& file) {
  if (IsOpenFor(file, LineFileMode::kWriting)) return true;
  if (file.role != LineFileRole::kStandardOutput) {
    Store(file.mode == LineFileMode::kReading ? kFileNotOpenForOutput
                                              : kFileNotOpen);
    return false;
  }
  SetLineFileName(file, "");
  CreateForWriting(file);
  if (IsOpenFor(file, LineFileMode::kWriting)) return true;
  Store(kFileNotOpenForOutput);
  return false;
}

// Fetches the next block. False when it brought no bytes: at the end of
// the file (which is then remembered) or after a failed read (which is not,
// so a later fetch asks the system again).
bool FetchBlock(LineFile& file) {
  file.position = 0;
  file.count = 0;
  file.next_cr = LineFile::kNotSearched;
  if (file.end_reached) return false;
  std::size_t got = 0;
  if (platform::ErrorCode code =
          platform::Read(file.handle, file.buffer.bytes, file.capacity, &got)) {
    Store(code);
    return false;
  }
  if (got == 0) {
    file.end_reached = true;
    return false;
  }
  file.count = got;
  return true;
}

bool HasUnreadByte(LineFile& file) {
  return file.position < file.count || FetchBlock(file);
}

// Large blocks only where nothing else sees the size of each read and
// write: not on the console, nor on a character device.
std::size_t CapacityFor(const LineFile& file, platform::FileKind kind) {
  bool large = file.large_blocks && file.name_length > 0 &&
               (kind == platform::FileKind::kDisk ||
                kind == platform::FileKind::kPipe);
  return large ? LineFile::kLargeBufferSize : LineFile::kBufferSize;
}

// Hands the first `size` buffered bytes to the system and keeps the rest.
// After a failure nothing stays: a failed write is never retried.
bool HandOver(LineFile& file, std::size_t size) {
  std::size_t rest = file.count - size;
  if (size == 0) return true;
  std::size_t written = 0;
  if (platform::ErrorCode code =
          platform::Write(file.handle, file.buffer.bytes, size, &written)) {
    // 128-byte blocks would have failed at the block holding the first
    // byte refused, in the step that filled it.
    std::size_t block = written / LineFile::kBufferSize;
    Store(code);
    if (block < file.checked) g_failed_step = file.filled_at[block];
    file.count = 0;
    file.checked = 0;
    return false;
  }
  std::size_t gone = size / LineFile::kBufferSize;
  if (rest > 0) {
    std::memmove(file.buffer.bytes, file.buffer.bytes + size, rest);
    std::memmove(file.filled_at, file.filled_at + gone,
                 (rest / LineFile::kBufferSize) * sizeof file.filled_at[0]);
  }
  file.checked = file.checked > gone ? file.checked - gone : 0;
  file.count = rest;
  return true;
}

bool HandOverAll(LineFile& file) { return HandOver(file, file.count); }

bool Put(LineFile& file, const char* bytes, std::size_t size) {
  while (size > 0) {
    if (file.count == 0 && size >= file.capacity &&
        file.capacity > LineFile::kBufferSize) {
      // Whole buffers of a long line go straight from the line.
      std::size_t direct = size - size % file.capacity;
      if (platform::ErrorCode code =
              platform::Write(file.handle, bytes, direct)) {
        Store(code);
        return false;
      }
      bytes += direct;
      size -= direct;
      continue;
    }
    std::size_t room = file.capacity - file.count;
    std::size_t step = size < room ? size : room;
    std::memcpy(file.buffer.bytes + file.count, bytes, step);
    file.count += step;
    bytes += step;
    size -= step;
    if (file.count == file.capacity && !HandOverAll(file)) return false;
  }
  return true;
}

void AppendDecimal(std::int32_t value, char*& out, const char* end) {
  char digits[12];
  int length = 0;
  // Work on the negative side, which holds every 32-bit value.
  std::int32_t rest = value < 0 ? value : -value;
  do {
    digits[length++] = static_cast<char>('0' - rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0 && out < end) *out++ = '-';
  while (length > 0 && out < end) *out++ = digits[--length];
}

}  // namespace

void SetLineFileName(LineFile& file, std::string_view name) {
  file.name_too_long = name.size() > LineFile::kMaxNameLength;
  file.name_length = file.name_too_long ? 0 : name.size();
  std::memcpy(file.name, name.data(), file.name_length);
  file.name[file.name_length] = '\0';
}

void UseLargeBlocks(LineFile& file) { file.large_blocks = true; }

void HandOverWholeBlocks(LineFile& file) {
  if (file.mode != LineFileMode::kWriting) return;
  HandOver(file, file.count - file.count % LineFile::kBufferSize);
}

void OpenForReading(LineFile& file) {
  if (file.name_too_long) {
    Store(kNameTooLong);
    return;
  }
  platform::Handle handle = platform::StandardInputHandle();
  if (file.name_length > 0) {
    if (platform::ErrorCode code = platform::OpenForReading(file.name, &handle)) {
      Store(code);
      return;
    }
  }
  file.capacity = file.large_blocks
                      ? CapacityFor(file, platform::KindOf(handle))
                      : LineFile::kBufferSize;
  file.handle = handle;
  file.mode = LineFileMode::kReading;
  file.position = 0;
  file.count = 0;
  file.next_cr = LineFile::kNotSearched;
  file.end_reached = false;
}

void CreateForWriting(LineFile& file) {
  if (file.name_too_long) {
    Store(kNameTooLong);
    return;
  }
  platform::Handle handle = platform::StandardOutputHandle();
  if (file.name_length > 0) {
    if (platform::ErrorCode code =
            platform::CreateForWriting(file.name, &handle)) {
      Store(code);
      return;
    }
  }
  platform::FileKind kind = platform::KindOf(handle);
  switch (kind) {
    case platform::FileKind::kCharacterDevice:
      file.line_flush = true;
      break;
    case platform::FileKind::kDisk:
    case platform::FileKind::kPipe:
      file.line_flush = false;
      break;
    case platform::FileKind::kUnknown:
      if (file.name_length > 0) platform::Close(handle);
      Store(kFileNotOpenForOutput);
      return;
  }
  file.capacity = CapacityFor(file, kind);
  file.handle = handle;
  file.mode = LineFileMode::kWriting;
  file.count = 0;
  file.checked = 0;
}

bool AtEndOfFile(LineFile& file) {
  if (!ReadyForReading(file)) return true;
  return !HasUnreadByte(file) || file.buffer.bytes[file.position] == kEndOfFileMark;
}

namespace {

template <typename Text>
void ReadLine(LineFile& file, Text& line) {
  line.clear();
  if (!ReadyForReading(file)) return;
  if (!HasUnreadByte(file) || file.buffer.bytes[file.position] == kEndOfFileMark)
    return;
  // The next LF is looked for once per line, and the next CR once for all
  // the lines before it.
  const char* lf = nullptr;
  for (;;) {
    const char* start = file.buffer.bytes + file.position;
    const char* end = file.buffer.bytes + file.count;
    if (lf == nullptr || lf < start) {
      lf = static_cast<const char*>(
          std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
      if (lf == nullptr) lf = end;
    }
    if (file.next_cr < file.position || file.next_cr > file.count) {
      const void* cr =
          std::memchr(start, '\r', static_cast<std::size_t>(end - start));
      file.next_cr = cr == nullptr ? file.count
                                   : static_cast<std::size_t>(
                                         static_cast<const char*>(cr) -
                                         file.buffer.bytes);
    }
    const char* stop =
        file.next_cr < static_cast<std::size_t>(lf - file.buffer.bytes)
            ? file.buffer.bytes + file.next_cr
            : lf;
    line.append(start, static_cast<std::size_t>(stop - start));
    file.position = static_cast<std::size_t>(stop - file.buffer.bytes);
    if (stop == end) {
      lf = nullptr;
      if (!FetchBlock(file)) return;
      continue;
    }
    ++file.position;
    if (*stop == '\n') return;
    // A CR: the byte after it decides, even when it lies in the next block.
    if (file.position == file.count) lf = nullptr;
    if (!HasUnreadByte(file)) return;
    if (file.buffer.bytes[file.position] == '\n') {
      ++file.position;
      return;
    }
  }
}

}  // namespace

void ReadTextLine(LineFile& file, TextLine& line) { ReadLine(file, line); }
void ReadTextLine(LineFile& file, std::string& line) { ReadLine(file, line); }

void WriteTextLine(LineFile& file, std::string_view line) {
  if (!ReadyForWriting(file)) return;
  bool put = true;
  std::size_t room = file.capacity - file.count;
  if (room > 2 && line.size() < room - 2) {
    // Leaves the buffer short of full: nothing to hand over yet.
    char* out = file.buffer.bytes + file.count;
    // An empty line may have no storage at all.
    if (!line.empty()) std::memcpy(out, line.data(), line.size());
    out[line.size()] = '\r';
    out[line.size() + 1] = '\n';
    file.count += line.size() + 2;
  } else {
    put = Put(file, line.data(), line.size()) && Put(file, "\r\n", 2);
  }
  if (file.count / LineFile::kBufferSize > file.checked)
    g_unchecked_writer = &file;
  if (!put) return;
  if (file.line_flush) HandOverAll(file);
}

void FlushLineFile(LineFile& file) {
  switch (file.mode) {
    case LineFileMode::kWriting:
      HandOverAll(file);
      break;
    case LineFileMode::kReading:
      break;
    case LineFileMode::kClosed:
      if (file.role != LineFileRole::kStandardOutput) Store(kFileNotOpen);
      break;
  }
}

void CloseLineFile(LineFile& file) {
  if (file.mode == LineFileMode::kClosed) {
    if (file.role != LineFileRole::kStandardInput) Store(kFileNotOpen);
    return;
  }
  // A failed write-out leaves the file open, its handle with it.
  if (file.mode == LineFileMode::kWriting && !HandOverAll(file)) return;
  file.mode = LineFileMode::kClosed;
  if (g_unchecked_writer == &file) g_unchecked_writer = nullptr;
  // The console's handles belong to the process, not to the line file.
  if (file.name_length > 0) {
    if (platform::ErrorCode code = platform::Close(file.handle)) Store(code);
  }
}

void IoErrorMessage(std::int32_t code, char* text, std::size_t capacity) {
  const char* fixed = nullptr;
  switch (code) {
    case 2: fixed = "File not found"; break;
    case 3: fixed = "Invalid filename"; break;
    case 4: fixed = "Too many open files"; break;
    case 5: fixed = "File access denied"; break;
    case 100: fixed = "Read beyond end of file"; break;
    case 101: fixed = "Disk full"; break;
    case 106: fixed = "Invalid numeric input"; break;
  }
  if (capacity == 0) return;
  char* out = text;
  const char* end = text + capacity - 1;
  if (fixed != nullptr) {
    while (*fixed != '\0' && out < end) *out++ = *fixed++;
  } else {
    for (const char* prefix = "I/O error "; *prefix != '\0' && out < end;)
      *out++ = *prefix++;
    AppendDecimal(code, out, end);
  }
  *out = '\0';
}

[[gnu::noinline]] void CheckIoError() {
  const void* place = __builtin_return_address(0);
  if (g_unchecked_writer != nullptr) {
    NoteCheckedBlocks(*g_unchecked_writer, place);
    g_unchecked_writer = nullptr;
  }
  if (IoErrorCode == 0) return;
  std::int32_t code = IoErrorCode;
  IoErrorCode = 0;
  if (g_failed_step != nullptr) place = g_failed_step;
  g_failed_step = nullptr;
  char message[32];
  IoErrorMessage(code, message, sizeof message);
  throw EInOutError(message, code, place);
}
