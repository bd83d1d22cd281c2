// The tool under conditions a user does not choose: resource limits that
// would kill it, names that are not plain files, another run at the same
// time on the same files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <thread>

#include "report_matcher.h"
#include "tool_runner.h"

namespace {

std::string Lines(const std::string& stem, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += stem + " " + std::to_string(i) + " of a page long enough to matter\n";
  return text;
}

class ReliabilityTest : public testing::Test {
 protected:
  ToolResult Run(const std::vector<std::string>& arguments,
                 const ToolOptions& options = {}) {
    return RunTool(folder_.path(), arguments, options);
  }

  TempFolder folder_;
};

TEST_F(ReliabilityTest, FileSizeLimitEndsWithTheReportNotASignal) {
  if (OnWindows()) GTEST_SKIP() << "how the POSIX build treats signals, pipes and devices";
  const std::string page = Lines("line", 100);
  folder_.Write("page.html", page);
  folder_.Write("notes.txt", "n\n");
  ASSERT_EQ(Run({"page.html", "notes.txt", "full.html"}).exit_status, 0);
  const std::string complete = folder_.Read("full.html");
  // On a block boundary and off one: a write that crosses the limit puts
  // what fits, and the next one fails.
  for (long limit : {1024L, 1000L}) {
    ToolOptions options;
    options.file_size_limit = limit;
    ToolResult result = Run({"page.html", "notes.txt", "out.html"}, options);
    EXPECT_EQ(result.signal, 0) << limit;
    EXPECT_EQ(result.exit_status, 1) << limit;
    EXPECT_TRUE(IsReport(result.out, "I/O error 112.")) << limit;
    EXPECT_EQ(result.err, "");
    std::string output = folder_.Read("out.html");
    EXPECT_EQ(output.size(), static_cast<std::size_t>(limit));
    EXPECT_EQ(complete.compare(0, output.size(), output), 0) << limit;
    EXPECT_EQ(folder_.Read("page.html"), page);
  }
}

// A FIFO opens without waiting for a writer and, with none, reads as an
// empty file; a device is refused, since it may never end.
TEST_F(ReliabilityTest, PipesAreReadAndDevicesRefused) {
  if (OnWindows()) GTEST_SKIP() << "how the POSIX build treats signals, pipes and devices";
  ASSERT_EQ(mkfifo(folder_.PathOf("fifo").c_str(), 0644), 0);
  folder_.Write("page.html", "a\n<textarea>\nb\n");
  folder_.Write("notes.txt", "n\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string report;  // The second line, or "" for a complete run.
    std::string output;
  } cases[] = {
      {{"fifo", "notes.txt", "out.html"}, "", ""},
      {{"page.html", "fifo", "out.html"}, "",
       "a\r\n<textarea>\r\n</textarea>\r\nb\r\n"},
      {{"/dev/zero", "notes.txt", "out.html"}, "File access denied.", "<missing>"},
      {{"page.html", "/dev/zero", "out.html"}, "File access denied.", ""},
      {{"/dev/null", "notes.txt", "out.html"}, "File access denied.", "<missing>"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder_.PathOf("out.html"));
    ToolOptions options;
    options.timeout_seconds = 10;
#if !defined(__SANITIZE_ADDRESS__)
    // Should an endless device be read after all, it runs out here.
    options.address_space_limit = 256L << 20;
#endif
    ToolResult result = Run(c.arguments, options);
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
    EXPECT_FALSE(result.timed_out);
    if (c.report.empty()) {
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.exit_status, 0);
    } else {
      EXPECT_TRUE(IsReport(result.out, c.report));
      EXPECT_EQ(result.exit_status, 1);
    }
    EXPECT_EQ(folder_.Read("out.html"), c.output);
  }
}

TEST_F(ReliabilityTest, TemplateMayComeThroughAPipe) {
  if (OnWindows()) GTEST_SKIP() << "how the POSIX build treats signals, pipes and devices";
  folder_.Write("notes.txt", "n\n");
  ToolOptions options;
  options.input_bytes = "a\n<textarea>\n";
  options.timeout_seconds = 10;
  ToolResult result = Run({"/dev/stdin", "notes.txt", "out.html"}, options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("out.html"), "a\r\n<textarea>\r\nn\r\n</textarea>\r\n");
}

// One run writes the file the other reads as its template, both started at
// once. The second to reach the file is refused as in use, or the two come
// one after the other; either way no byte of either template is lost.
TEST_F(ReliabilityTest, TwoRunsOnOneFileAtOnce) {
  const std::string page = Lines("<p>page line", 3000) + "<textarea>\n";
  const std::string middle = Lines("<p>middle line", 3000) + "<textarea>\n";
  folder_.Write("notes.txt", "n\n");
  // What each run writes when it runs alone.
  folder_.Write("page.html", page);
  folder_.Write("middle.html", middle);
  ASSERT_EQ(Run({"page.html", "notes.txt", "spliced_page.html"}).exit_status, 0);
  ASSERT_EQ(Run({"middle.html", "notes.txt", "spliced_middle.html"}).exit_status, 0);
  ASSERT_EQ(Run({"spliced_page.html", "notes.txt", "twice.html"}).exit_status, 0);
  const std::string spliced_page = folder_.Read("spliced_page.html");
  const std::string spliced_middle = folder_.Read("spliced_middle.html");
  const std::string twice = folder_.Read("twice.html");

  int writer_refused = 0, reader_refused = 0, reader_first = 0, writer_first = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    folder_.Write("middle.html", middle);
    std::filesystem::remove(folder_.PathOf("out.html"));
    ToolResult writer, reader;
    std::thread first([&] {
      writer = Run({"page.html", "notes.txt", "middle.html"});
    });
    std::thread second([&] {
      reader = Run({"middle.html", "notes.txt", "out.html"});
    });
    first.join();
    second.join();

    EXPECT_EQ(folder_.Read("page.html"), page);
    EXPECT_EQ(writer.err + reader.err, "");
    bool writer_done = writer.exit_status == 0 && writer.out.empty();
    bool reader_done = reader.exit_status == 0 && reader.out.empty();
    if (!writer_done) {
      EXPECT_TRUE(IsReport(writer.out, "I/O error 32."));
      EXPECT_EQ(writer.exit_status, 1);
      EXPECT_TRUE(reader_done);
      EXPECT_EQ(folder_.Read("middle.html"), middle);
      EXPECT_EQ(folder_.Read("out.html"), spliced_middle);
      ++writer_refused;
      continue;
    }
    EXPECT_EQ(folder_.Read("middle.html"), spliced_page);
    if (!reader_done) {
      EXPECT_TRUE(IsReport(reader.out, "I/O error 32."));
      EXPECT_EQ(reader.exit_status, 1);
      EXPECT_FALSE(folder_.Exists("out.html"));
      ++reader_refused;
      continue;
    }
    std::string out = folder_.Read("out.html");
    EXPECT_TRUE(out == spliced_middle || out == twice);
    ++(out == twice ? writer_first : reader_first);
  }
  std::cout << "[          ] writer refused " << writer_refused
            << ", reader refused " << reader_refused << ", reader first "
            << reader_first << ", writer first " << writer_first << "\n";
}

}  // namespace
