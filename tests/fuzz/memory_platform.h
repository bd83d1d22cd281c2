// What the fuzzers' platform reads from and writes to.
#ifndef PLAKEN_TESTS_FUZZ_MEMORY_PLATFORM_H_
#define PLAKEN_TESTS_FUZZ_MEMORY_PLATFORM_H_

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fuzz {

struct MemoryFile {
  std::string bytes;
  std::size_t position = 0;
  // The most each read hands over, in turn; empty: as much as is asked.
  std::vector<std::size_t> blocks;
  std::size_t next_block = 0;
};

// Every file opened for reading reads this one.
extern MemoryFile g_input;
// Every write, in order.
extern std::vector<std::string> g_writes;

}  // namespace fuzz

#endif  // PLAKEN_TESTS_FUZZ_MEMORY_PLATFORM_H_
