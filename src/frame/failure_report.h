#ifndef PLAKEN_FRAME_FAILURE_REPORT_H_
#define PLAKEN_FRAME_FAILURE_REPORT_H_

#include <cstddef>

#include "linefile/failure.h"

// Writes the two-line report of a failure that nothing caught to standard
// output and ends the run with 1. Allocates nothing, so exhausted memory is
// reported like any other failure.
[[noreturn]] void ReportUnhandledFailure(const Exception& failure,
                                         const void* location);

// Composes the report's first line, a bare LF and its second line into
// `text`; returns the length.
std::size_t ComposeFailureReport(const Exception& failure,
                                 const void* location, char* text,
                                 std::size_t capacity);

#endif  // PLAKEN_FRAME_FAILURE_REPORT_H_
