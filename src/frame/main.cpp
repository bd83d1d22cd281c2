// The entry: check the arguments, splice, end the run. A failure that
// escapes ends the run with the failure report instead.
#include <new>

#include "frame/failure_report.h"
#include "frame/frame.h"
#include "linefile/failure.h"
#include "platform/platform.h"
#include "splice/splice.h"

namespace {

// Made before it is needed: raising it takes no memory.
EOutOfMemory OutOfMemory;

// Every shortage raises the one out-of-memory object; the location is the
// allocation that found it.
[[gnu::noinline]] void NoteShortage() {
  OutOfMemory.SetLocation(__builtin_return_address(0));
  throw std::bad_alloc();
}

}  // namespace

int main(int argc, char** argv) {
  platform::StartUp(argc, argv);
  std::set_new_handler(NoteShortage);
  try {
    try {
      CheckParameters(TemplateName, ContentName, OutputName);
      ProcessTemplate();
    } catch (...) {
      // An early end: the output keeps the whole blocks written so far. A
      // failure to write them comes before the one that ended the run.
      HandOverWholeBlocks(OutputFile);
      CheckIoError();
      throw;
    }
  } catch (const Exception& failure) {
    ReportUnhandledFailure(failure, failure.Location());
  } catch (const std::bad_alloc&) {
    ReportUnhandledFailure(OutOfMemory, OutOfMemory.Location());
  }
  EndRun(0);
}
