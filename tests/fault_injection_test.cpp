// Every I/O call and every allocation of one representative run made to
// fail in turn. Whatever fails, the tool must say so the way it promises,
// leave the template and the content file as they were, and leave an output
// that is an honest prefix of the complete one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>
#include <iostream>
#include <sstream>

#include "report_matcher.h"
#include "tool_runner.h"

namespace {

// Three text areas, one of them spread over several lines.
const char kTemplate[] =
    "<!DOCTYPE html>\n"
    "<html><head><title>Field notes</title></head>\r\n"
    "<body>\n"
    "<h1>Notes from the field</h1>\n"
    "<p>The first area takes the notes as they are.</p>\n"
    "<form action=\"/keep\"><textarea name=\"first\" rows=\"8\"></textarea>\n"
    "<p>The second one is written over several lines, and its old text\n"
    "stays behind it in the page.</p>\n"
    "<textarea name=\"second\"\n"
    " rows=\"12\" cols=\"80\">old text\n"
    "that was here before\n"
    "</textarea></form>\n"
    "<p>The third shares its line with a closing tag.</p>\n"
    "<div><textarea name=\"third\"></textarea></div>\n"
    "</body></html>\n";

std::string Content() {
  std::string content;
  for (int i = 1; content.size() < 1000; ++i) {
    content += "Line " + std::to_string(i) +
               " of the notes, with a few words to fill it out";
    content += i % 3 == 0 ? "\r\n" : "\n";
  }
  return content;
}

struct Call {
  std::string name;  // open, read, write, ...
  std::string argument;  // The path or the descriptor.
  int result = -1;  // For open: the descriptor.
};

// The lines "KIND INDEX NAME ARGUMENT [RESULT]" the shim logged for KIND.
std::vector<Call> ParseLog(const std::string& path, const std::string& kind) {
  std::vector<Call> calls;
  std::ifstream log(path);
  for (std::string line; std::getline(log, line);) {
    std::istringstream fields(line);
    std::string line_kind;
    long index = 0;
    Call call;
    fields >> line_kind >> index >> call.name >> call.argument;
    if (line_kind != kind) continue;
    fields >> call.result;
    calls.push_back(call);
  }
  return calls;
}

enum class Outcome { kReport, kRefusal, kComplete };

// The faulty runs, the first few of them spelled out.
class Findings {
 public:
  void Add(const std::string& run, const std::string& problems) {
    if (problems.empty()) return;
    if (++count_ <= 20) text_ += run + ":" + problems + "\n";
  }
  std::string Summary() const {
    if (count_ <= 20) return text_;
    return text_ + "... and " + std::to_string(count_ - 20) + " more\n";
  }

 private:
  int count_ = 0;
  std::string text_;
};

struct Expectation {
  Outcome outcome;
  std::string message;
  std::string class_name = "EInOutError";
  // A failing close of the output comes after its last bytes went out.
  bool output_complete = false;
};

struct ErrorCase {
  int error;
  const char* name;
  const char* message;  // The second line of the report.
};

const ErrorCase kErrors[] = {
    {ENOENT, "ENOENT", "File not found."},
    {EACCES, "EACCES", "File access denied."},
    {ENOSPC, "ENOSPC", "I/O error 112."},
    {EIO, "EIO", "I/O error 1117."},
    {EBADF, "EBADF", "I/O error 6."},
};

class FaultInjectionTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* launcher = std::getenv("PLAKEN_LAUNCHER"); launcher && *launcher)
      GTEST_SKIP() << "the shim is preloaded into a native tool only";
    folder_.Write("page.html", kTemplate);
    folder_.Write("notes.txt", content_);
    ToolResult clean = Run({});
    ASSERT_EQ(clean.exit_status, 0);
    ASSERT_EQ(clean.out, "");
    complete_ = folder_.Read("out.html");
    ASSERT_GT(complete_.size(), 3 * content_.size());
  }

  ToolResult Run(const std::vector<std::string>& settings) {
    std::filesystem::remove(folder_.PathOf("out.html"));
    ToolOptions options;
    options.timeout_seconds = 20;
    if (!settings.empty()) {
      options.environment = settings;
      options.environment.push_back(std::string("LD_PRELOAD=") +
                                    PLAKEN_FAULT_SHIM);
#if defined(__SANITIZE_ADDRESS__)
      // The shim comes before the sanitizer's runtime, which then only
      // sees the calls the shim passes on.
      std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
      if (const char* given = std::getenv("ASAN_OPTIONS"); given && *given)
        asan += std::string(":") + given;
      options.environment.push_back(asan);
#endif
    }
    return RunTool(folder_.path(), {"page.html", "notes.txt", "out.html"},
                   options);
  }

  // The calls of KIND that a run without failures makes.
  std::vector<Call> CountCalls(const std::string& kind) {
    std::string log = folder_.PathOf("calls.log");
    std::filesystem::remove(log);
    ToolResult counted = Run({"PLAKEN_FAULT_LOG=" + log});
    EXPECT_EQ(counted.exit_status, 0);
    EXPECT_EQ(folder_.Read("out.html"), complete_);
    std::vector<Call> calls = ParseLog(log, kind);
    std::filesystem::remove(log);
    return calls;
  }

  // What is wrong with one run, or "".
  std::string Problems(const ToolResult& result, const Expectation& expected) {
    std::ostringstream problems;
    if (result.timed_out) problems << " timed out;";
    if (result.signal != 0) problems << " died of signal " << result.signal << ";";
    if (!result.err.empty()) problems << " stderr '" << result.err << "';";
    if (folder_.Read("page.html") != kTemplate) problems << " template changed;";
    if (folder_.Read("notes.txt") != content_) problems << " content changed;";
    bool output_exists = folder_.Exists("out.html");
    std::string output = folder_.Read("out.html");
    switch (expected.outcome) {
      case Outcome::kComplete:
        if (result.exit_status != 0 || !result.out.empty())
          problems << " exit " << result.exit_status << " with '" << result.out
                   << "' instead of a complete run;";
        if (output != complete_) problems << " output incomplete;";
        return problems.str();
      case Outcome::kRefusal:
        if (result.exit_status != 0 || result.out != Refusal(expected.message))
          problems << " exit " << result.exit_status << " with '" << result.out
                   << "' instead of the message '" << expected.message << "';";
        break;
      case Outcome::kReport:
        if (result.exit_status != 1 ||
            !IsReport(result.out, expected.message, expected.class_name))
          problems << " exit " << result.exit_status << " with '" << result.out
                   << "' instead of the report '" << expected.message << "';";
        break;
    }
    if (expected.output_complete) {
      if (output != complete_) problems << " output incomplete;";
    } else if (output_exists &&
        (output.size() % 128 != 0 || complete_.compare(0, output.size(), output) != 0))
      problems << " output of " << output.size()
               << " bytes is no whole-block prefix;";
    return problems.str();
  }

  TempFolder folder_;
  std::string content_ = Content();
  std::string complete_;
};

// What failing call `k` of `calls` must lead to. Most failures end the run
// with the report of the mapped code; these do not:
// - the existence tests give the tool's own messages;
// - the content file is held against writing while the output is created,
//   only as a guard: when the hold cannot be taken the run goes on;
// - a lock the file system refuses is no lock it keeps: the run goes on;
// - the kind test of the output cannot tell the kind: code 105;
// - a failing close of the output is reported, but its bytes are all out;
// - the kind test of a file opened for reading (its second fstat, after the
//   share check's) only chooses the block size: the run goes on.
std::vector<Expectation> ExpectedOutcomes(const std::vector<Call>& calls,
                                          const ErrorCase& error) {
  std::vector<Expectation> expected;
  bool output_created = false;
  std::string hold_fd, output_fd;
  bool output_truncated = false;
  std::map<std::string, int> reader_fstats;  // By fd, for each file read.
  for (const Call& call : calls) {
    Expectation e = {Outcome::kReport, error.message};
    if (call.name == "open" &&
        (call.argument == "page.html" ||
         (call.argument == "notes.txt" && output_created)))
      reader_fstats[std::to_string(call.result)] = 0;
    if (call.name == "fstat" && reader_fstats.count(call.argument) &&
        ++reader_fstats[call.argument] == 2) {
      e = {Outcome::kComplete, ""};
    } else if (call.name == "stat" && call.argument == "page.html") {
      e = {Outcome::kRefusal, "page.html not found!"};
    } else if (call.name == "stat" && call.argument == "notes.txt") {
      e = output_created
              ? Expectation{Outcome::kRefusal,
                            "notes.txt that you are inserting does not exist"}
              : Expectation{Outcome::kComplete, ""};
    } else if (call.name == "open" && call.argument == "notes.txt" &&
               !output_created) {
      e = {Outcome::kComplete, ""};
      hold_fd = std::to_string(call.result);
    } else if (call.name == "open" && call.argument == "out.html") {
      output_created = true;
      output_fd = std::to_string(call.result);
    } else if (call.argument == hold_fd) {
      e = {Outcome::kComplete, ""};
      if (call.name == "close") hold_fd.clear();
    } else if (call.name == "flock") {
      e = {Outcome::kComplete, ""};
    } else if (call.argument == output_fd && call.name == "ftruncate") {
      output_truncated = true;
    } else if (call.argument == output_fd && call.name == "fstat" &&
               output_truncated) {
      e = {Outcome::kReport, "I/O error 105."};
    } else if (call.argument == output_fd && call.name == "close") {
      e.output_complete = true;
    }
    expected.push_back(e);
  }
  return expected;
}

TEST_F(FaultInjectionTest, EveryFailingCallIsReportedAndHarmsNoFile) {
  std::vector<Call> calls = CountCalls("io");
  // Whatever the block sizes, a run opens, reads, writes and closes.
  for (const char* name : {"stat", "open", "read", "write", "close"})
    ASSERT_TRUE(std::any_of(calls.begin(), calls.end(),
                            [&](const Call& c) { return c.name == name; }))
        << name;
  Findings findings;
  int runs = 0;
  for (const ErrorCase& error : kErrors) {
    std::vector<Expectation> expected = ExpectedOutcomes(calls, error);
    for (std::size_t k = 1; k <= calls.size(); ++k) {
      ToolResult result = Run({"PLAKEN_FAULT_CALL=" + std::to_string(k),
                               "PLAKEN_FAULT_ERRNO=" + std::to_string(error.error)});
      ++runs;
      findings.Add("call " + std::to_string(k) + " (" + calls[k - 1].name +
                       " " + calls[k - 1].argument + ") with " + error.name,
                   Problems(result, expected[k - 1]));
    }
  }
  EXPECT_EQ(findings.Summary(), "");
  RecordProperty("calls", static_cast<int>(calls.size()));
  RecordProperty("runs", runs);
  std::cout << "[          ] " << calls.size() << " calls, " << runs
            << " runs with one failing\n";
}

TEST_F(FaultInjectionTest, EveryFailingAllocationIsReportedAndHarmsNoFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator ends the process when it fails";
#endif
  std::vector<Call> allocations = CountCalls("alloc");
  ASSERT_FALSE(allocations.empty());
  const Expectation out_of_memory = {Outcome::kReport, "Out of memory.",
                                     "EOutOfMemory"};
  Findings findings;
  int runs = 0;
  // Only the one allocation fails, or it and every one after it.
  for (bool sticky : {false, true}) {
    for (std::size_t k = 1; k <= allocations.size(); ++k) {
      ToolResult result = Run({"PLAKEN_FAULT_ALLOC=" + std::to_string(k),
                               sticky ? "PLAKEN_FAULT_STICKY=1" : "PLAKEN_FAULT_STICKY=0"});
      ++runs;
      findings.Add("allocation " + std::to_string(k) + (sticky ? " and after" : ""),
                   Problems(result, out_of_memory));
    }
  }
  EXPECT_EQ(findings.Summary(), "");
  std::cout << "[          ] " << allocations.size() << " allocations, "
            << runs << " runs with failing ones\n";
}

}  // namespace
