#include "frame/failure_report.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "linefile/failure.h"

namespace {

std::string Compose(const Exception& failure, const void* location) {
  char text[1024];
  std::size_t length =
      ComposeFailureReport(failure, location, text, sizeof text);
  return std::string(text, length);
}

TEST(FailureReportTest, NamesClassModuleAddressAndMessage) {
  EInOutError failure("File not found", 2, nullptr);
  // A location inside this test program: its own module, a small offset.
  std::string report = Compose(failure, reinterpret_cast<const void*>(&Compose));
  EXPECT_TRUE(std::regex_match(
      report, std::regex("Exception EInOutError in module plaken_unit_tests "
                         "at [0-9A-F]{8}\\.\nFile not found\\.")))
      << report;
}

TEST(FailureReportTest, LocationsOutsideEveryModule) {
  EOutOfMemory failure;
  EXPECT_EQ(Compose(failure, nullptr),
            "Exception EOutOfMemory in module plaken_unit_tests at 00000000.\n"
            "Out of memory.");
  EXPECT_EQ(Compose(failure, reinterpret_cast<const void*>(0x5000)),
            "Exception EOutOfMemory in module plaken_unit_tests at 00004000.\n"
            "Out of memory.");
}

TEST(FailureReportTest, FullStopOnlyWhereTheMessageLacksOne) {
  auto second_line = [](const std::string& report) {
    return report.substr(report.find('\n') + 1);
  };
  EXPECT_EQ(second_line(Compose(EInOutError("Done.", 1, nullptr), nullptr)),
            "Done.");
  EXPECT_EQ(second_line(Compose(EInOutError("", 1, nullptr), nullptr)), "");
}

}  // namespace
