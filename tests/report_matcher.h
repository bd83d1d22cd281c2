// What the tool prints when it refuses a run or fails, for tests that run it.
#ifndef PLAKEN_TESTS_REPORT_MATCHER_H_
#define PLAKEN_TESTS_REPORT_MATCHER_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tool_runner.h"

// A refused run's message, the empty line and the prompt.
inline std::string Refusal(const std::string& message) {
  return message + "\r\n\r\n   ...press   Enter   to end the program.\r\n";
}

inline std::string EscapeForRegex(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"),
                            R"(\$&)");
}

// Whether `out` is exactly the two-line failure report with this class and
// message: a bare LF after the first line, CR LF after the second.
inline testing::AssertionResult IsReport(
    const std::string& out, const std::string& message,
    const std::string& class_name = "EInOutError") {
  std::string module = std::filesystem::path(ToolPath()).filename().string();
  std::regex form("Exception " + class_name + " in module " +
                  EscapeForRegex(module) + " at [0-9A-F]{8}\\.\n" +
                  EscapeForRegex(message) + "\r\n");
  if (std::regex_match(out, form)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "not a report of '" << message
                                     << "': '" << out << "'";
}

#endif  // PLAKEN_TESTS_REPORT_MATCHER_H_
