#include "linefile/line_file.h"

#include <cstring>

#include "linefile/failure.h"

std::int32_t IoErrorCode = 0;
LineFile StandardInput = {LineFileRole::kStandardInput};
LineFile StandardOutput = {LineFileRole::kStandardOutput};

namespace {

constexpr char kEndOfFileMark = 0x1A;

void Store(platform::ErrorCode code) {
  IoErrorCode = static_cast<std::int32_t>(code);
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
  if (file.end_reached) return false;
  std::size_t got = 0;
  if (platform::ErrorCode code = platform::Read(
          file.handle, file.buffer, LineFile::kBufferSize, &got)) {
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

// Hands the buffered bytes to the system. Failed or not, they leave the
// buffer: a failed write is never retried.
bool HandOver(LineFile& file) {
  std::size_t count = file.count;
  file.count = 0;
  if (count == 0) return true;
  if (platform::ErrorCode code =
          platform::Write(file.handle, file.buffer, count)) {
    Store(code);
    return false;
  }
  return true;
}

bool Put(LineFile& file, const char* bytes, std::size_t size) {
  while (size > 0) {
    std::size_t room = LineFile::kBufferSize - file.count;
    std::size_t step = size < room ? size : room;
    std::memcpy(file.buffer + file.count, bytes, step);
    file.count += step;
    bytes += step;
    size -= step;
    if (file.count == LineFile::kBufferSize && !HandOver(file)) return false;
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
  file.handle = handle;
  file.mode = LineFileMode::kReading;
  file.position = 0;
  file.count = 0;
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
  switch (platform::KindOf(handle)) {
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
  file.handle = handle;
  file.mode = LineFileMode::kWriting;
  file.count = 0;
}

bool AtEndOfFile(LineFile& file) {
  if (!ReadyForReading(file)) return true;
  return !HasUnreadByte(file) || file.buffer[file.position] == kEndOfFileMark;
}

void ReadTextLine(LineFile& file, std::string& line) {
  line.clear();
  if (!ReadyForReading(file)) return;
  if (!HasUnreadByte(file) || file.buffer[file.position] == kEndOfFileMark)
    return;
  for (;;) {
    const char* start = file.buffer + file.position;
    const char* end = file.buffer + file.count;
    const char* stop = start;
    while (stop < end && *stop != '\n' && *stop != '\r') ++stop;
    line.append(start, static_cast<std::size_t>(stop - start));
    file.position = static_cast<std::size_t>(stop - file.buffer);
    if (stop == end) {
      if (!FetchBlock(file)) return;
      continue;
    }
    ++file.position;
    if (*stop == '\n') return;
    // A CR: the byte after it decides, even when it lies in the next block.
    if (!HasUnreadByte(file)) return;
    if (file.buffer[file.position] == '\n') {
      ++file.position;
      return;
    }
  }
}

void WriteTextLine(LineFile& file, std::string_view line) {
  if (!ReadyForWriting(file)) return;
  if (!Put(file, line.data(), line.size()) || !Put(file, "\r\n", 2)) return;
  if (file.line_flush) HandOver(file);
}

void FlushLineFile(LineFile& file) {
  switch (file.mode) {
    case LineFileMode::kWriting:
      HandOver(file);
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
  if (file.mode == LineFileMode::kWriting && !HandOver(file)) return;
  file.mode = LineFileMode::kClosed;
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
  if (IoErrorCode == 0) return;
  std::int32_t code = IoErrorCode;
  IoErrorCode = 0;
  char message[32];
  IoErrorMessage(code, message, sizeof message);
  throw EInOutError(message, code, __builtin_return_address(0));
}
