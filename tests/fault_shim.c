/* Preloaded into the tool by the fault-injection tests, never shipped: makes
 * one chosen system call or allocation fail, or only counts them.
 *
 * Only what the tool does from main on is counted: the loader's and the
 * runtime's start-up work is not the tool's. I/O calls are counted when they
 * name a path or a descriptor above 2; the standard streams are the channel
 * the tool reports on, and a closed or failing one is tested on its own.
 *
 *   PLAKEN_FAULT_LOG=path     one line per counted call, appended:
 *                             "io K CALL ARG [RESULT]" or "alloc K CALL SIZE"
 *   PLAKEN_FAULT_CALL=k       the k-th counted I/O call fails ...
 *   PLAKEN_FAULT_ERRNO=e      ... with errno e (default EIO)
 *   PLAKEN_FAULT_ALLOC=k      the k-th allocation returns NULL ...
 *   PLAKEN_FAULT_STICKY=1     ... and every one after it too
 *
 * Built with PLAKEN_FAULT_NO_ALLOC it leaves allocations alone, for a tool
 * whose allocator belongs to the sanitizers.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* pointer, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static int in_main = 0;
static int log_fd = -1;
static long io_count = 0;
static long io_fail = 0;
static int io_errno = EIO;
#ifndef PLAKEN_FAULT_NO_ALLOC
static long alloc_count = 0;
#endif
static long alloc_fail = 0;
static int alloc_sticky = 0;

static long EnvNumber(const char* name) {
  const char* text = getenv(name);
  return text != NULL ? strtol(text, NULL, 10) : 0;
}

/* Formats without the C library's printf, which might allocate. */
static char* PutText(char* out, char* end, const char* text) {
  while (*text != '\0' && out < end) *out++ = *text++;
  return out;
}

static char* PutNumber(char* out, char* end, long value) {
  char digits[24];
  int length = 0;
  unsigned long rest = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
  do {
    digits[length++] = (char)('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0 && out < end) *out++ = '-';
  while (length > 0 && out < end) *out++ = digits[--length];
  return out;
}

static ssize_t (*real_write)(int, const void*, size_t);

static void LogLine(const char* kind, long index, const char* call,
                    const char* text, long number, int has_result,
                    long result) {
  if (log_fd < 0) return;
  char line[600];
  char* end = line + sizeof line - 1;
  char* out = PutText(line, end, kind);
  out = PutText(out, end, " ");
  out = PutNumber(out, end, index);
  out = PutText(out, end, " ");
  out = PutText(out, end, call);
  out = PutText(out, end, " ");
  out = text != NULL ? PutText(out, end, text) : PutNumber(out, end, number);
  if (has_result) {
    out = PutText(out, end, " ");
    out = PutNumber(out, end, result);
  }
  *out++ = '\n';
  int saved = errno;
  real_write(log_fd, line, (size_t)(out - line));
  errno = saved;
}

#define REAL(name) static __typeof__(name)* real_##name
REAL(open);
REAL(read);
REAL(close);
REAL(fstat);
REAL(stat);
REAL(flock);
REAL(ftruncate);
REAL(fcntl);
REAL(opendir);
REAL(readdir);
REAL(closedir);
REAL(readlink);

/* The next definition of a symbol: the C library's. */
static void Resolve(void* function_pointer, const char* name) {
  void* address = dlsym(RTLD_NEXT, name);
  memcpy(function_pointer, &address, sizeof address);
}
#define RESOLVE(name) Resolve(&real_##name, #name)

__attribute__((constructor)) static void SetUp(void) {
  RESOLVE(open);
  RESOLVE(read);
  RESOLVE(write);
  RESOLVE(close);
  RESOLVE(fstat);
  RESOLVE(stat);
  RESOLVE(flock);
  RESOLVE(ftruncate);
  RESOLVE(fcntl);
  RESOLVE(opendir);
  RESOLVE(readdir);
  RESOLVE(closedir);
  RESOLVE(readlink);
  io_fail = EnvNumber("PLAKEN_FAULT_CALL");
  if (EnvNumber("PLAKEN_FAULT_ERRNO") > 0)
    io_errno = (int)EnvNumber("PLAKEN_FAULT_ERRNO");
  alloc_fail = EnvNumber("PLAKEN_FAULT_ALLOC");
  alloc_sticky = EnvNumber("PLAKEN_FAULT_STICKY") != 0;
  const char* log = getenv("PLAKEN_FAULT_LOG");
  if (log != NULL && *log != '\0') {
    int fd = real_open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
      /* Out of the way, so the tool's own descriptors keep their numbers. */
      log_fd = real_fcntl(fd, F_DUPFD_CLOEXEC, 200);
      real_close(fd);
    }
  }
}

/* Counts one call; true when this one is to fail. */
static int CountPath(const char* call, const char* path) {
  if (!in_main) return 0;
  ++io_count;
  LogLine("io", io_count, call, path, 0, 0, 0);
  return io_count == io_fail;
}

static int CountFd(const char* call, int fd) {
  if (!in_main || fd <= 2) return 0;
  ++io_count;
  LogLine("io", io_count, call, NULL, fd, 0, 0);
  return io_count == io_fail;
}

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = (mode_t)va_arg(arguments, int);
    va_end(arguments);
  }
  if (!in_main) return real_open(path, flags, mode);
  ++io_count;
  if (io_count == io_fail) {
    LogLine("io", io_count, "open", path, 0, 1, -1);
    errno = io_errno;
    return -1;
  }
  int fd = real_open(path, flags, mode);
  LogLine("io", io_count, "open", path, 0, 1, fd);
  return fd;
}

int stat(const char* path, struct stat* info) {
  if (CountPath("stat", path)) {
    errno = io_errno;
    return -1;
  }
  return real_stat(path, info);
}

DIR* opendir(const char* path) {
  if (CountPath("opendir", path)) {
    errno = io_errno;
    return NULL;
  }
  return real_opendir(path);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
  if (CountPath("readlink", path)) {
    errno = io_errno;
    return -1;
  }
  return real_readlink(path, buffer, size);
}

ssize_t read(int fd, void* buffer, size_t size) {
  if (CountFd("read", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_read(fd, buffer, size);
}

ssize_t write(int fd, const void* bytes, size_t size) {
  if (CountFd("write", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_write(fd, bytes, size);
}

int close(int fd) {
  if (CountFd("close", fd)) {
    /* As on Linux: the descriptor is gone even when close reports an error. */
    real_close(fd);
    errno = io_errno;
    return -1;
  }
  return real_close(fd);
}

int fstat(int fd, struct stat* info) {
  if (CountFd("fstat", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_fstat(fd, info);
}

int flock(int fd, int operation) {
  if (CountFd("flock", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_flock(fd, operation);
}

int ftruncate(int fd, off_t length) {
  if (CountFd("ftruncate", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_ftruncate(fd, length);
}

int fcntl(int fd, int command, ...) {
  va_list arguments;
  va_start(arguments, command);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  if (CountFd("fcntl", fd)) {
    errno = io_errno;
    return -1;
  }
  return real_fcntl(fd, command, argument);
}

struct dirent* readdir(DIR* directory) {
  if (CountFd("readdir", dirfd(directory))) {
    errno = io_errno;
    return NULL;
  }
  return real_readdir(directory);
}

int closedir(DIR* directory) {
  if (CountFd("closedir", dirfd(directory))) {
    real_closedir(directory);
    errno = io_errno;
    return -1;
  }
  return real_closedir(directory);
}

#ifndef PLAKEN_FAULT_NO_ALLOC
/* Allocations. The real ones are glibc's own entry points, which need no
 * lookup (a lookup may itself allocate). */
static int AllocFails(const char* call, size_t size) {
  if (!in_main) return 0;
  ++alloc_count;
  LogLine("alloc", alloc_count, call, NULL, (long)size, 0, 0);
  return alloc_fail > 0 &&
         (alloc_count == alloc_fail || (alloc_sticky && alloc_count > alloc_fail));
}

void* malloc(size_t size) {
  if (AllocFails("malloc", size)) {
    errno = ENOMEM;
    return NULL;
  }
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  if (AllocFails("calloc", count * size)) {
    errno = ENOMEM;
    return NULL;
  }
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
  if (AllocFails("realloc", size)) {
    errno = ENOMEM;
    return NULL;
  }
  return __libc_realloc(pointer, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  if (AllocFails("aligned_alloc", size)) {
    errno = ENOMEM;
    return NULL;
  }
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  if (AllocFails("posix_memalign", size)) return ENOMEM;
  void* block = __libc_memalign(alignment, size);
  if (block == NULL) return ENOMEM;
  *result = block;
  return 0;
}

#endif  /* PLAKEN_FAULT_NO_ALLOC */

/* Counting starts when main does. */
typedef int (*MainFunction)(int, char**, char**);
static MainFunction real_main;
int __libc_start_main(MainFunction main_function, int argc, char** argv,
                      void (*init)(void), void (*fini)(void),
                      void (*rtld_fini)(void), void* stack_end);

static int CountingMain(int argc, char** argv, char** environment) {
  in_main = 1;
  return real_main(argc, argv, environment);
}

int __libc_start_main(MainFunction main_function, int argc, char** argv,
                      void (*init)(void), void (*fini)(void),
                      void (*rtld_fini)(void), void* stack_end) {
  __typeof__(__libc_start_main)* start;
  Resolve(&start, "__libc_start_main");
  real_main = main_function;
  return start(CountingMain, argc, argv, init, fini, rtld_fini, stack_end);
}
