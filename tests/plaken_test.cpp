// The tool run as a user runs it, checked byte for byte: what it prints,
// its exit status and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <regex>

#include "tool_runner.h"

namespace {

const std::string kPrompt = "   ...press   Enter   to end the program.";

std::string Refusal(const std::string& message) {
  return message + "\r\n\r\n" + kPrompt + "\r\n";
}

// The lines, each ended with CR LF as the tool writes them.
std::string Crlf(std::initializer_list<std::string> lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::string ModuleName() {
  return std::filesystem::path(ToolPath()).filename().string();
}

// Whether `out` is exactly the two-line failure report with this class and
// message: a bare LF after the first line, CR LF after the second.
testing::AssertionResult IsReport(const std::string& out,
                                  const std::string& message,
                                  const std::string& class_name = "EInOutError") {
  std::regex form("Exception " + class_name + " in module " +
                  std::regex_replace(ModuleName(), std::regex(R"([.])"), R"(\.)") +
                  " at [0-9A-F]{8}\\.\n" +
                  std::regex_replace(message, std::regex(R"([.])"), R"(\.)") +
                  "\r\n");
  if (std::regex_match(out, form)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "not a report of '" << message
                                     << "': '" << out << "'";
}

std::string ReportAddress(const std::string& out) {
  std::smatch match;
  std::regex_search(out, match, std::regex(" at ([0-9A-F]{8})\\."));
  return match.size() > 1 ? match[1].str() : "";
}

class PlakenTest : public testing::Test {
 protected:
  ToolResult Run(const std::vector<std::string>& arguments,
                 const ToolOptions& options = {}) {
    return RunTool(folder_.path(), arguments, options);
  }
  ToolResult Splice(const std::string& page, const std::string& notes) {
    folder_.Write("page.html", page);
    folder_.Write("notes.txt", notes);
    return Run({"page.html", "notes.txt", "out.html"});
  }

  TempFolder folder_;
};

TEST_F(PlakenTest, ArgumentCountOtherThanThreeIsRefused) {
  folder_.Write("page.html", "x\n");
  const std::vector<std::vector<std::string>> counts = {
      {},
      {"page.html"},
      {"page.html", "notes.txt"},
      {"page.html", "notes.txt", "out.html", "extra"},
      {"page.html", "notes.txt", ""},
  };
  for (const auto& arguments : counts) {
    ToolResult result = Run(arguments);
    EXPECT_EQ(result.out, Refusal(" - PLAKEN needs 3 parameters"));
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(folder_.Exists("out.html"));
  }
}

TEST_F(PlakenTest, EmptyArgumentsTakeNoPlace) {
  folder_.Write("page.html", "x\n");
  ToolResult result = Run({"page.html", "", "notes.txt", "out.html"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("out.html"), "x\r\n");
}

TEST_F(PlakenTest, ChecksComeInOrderAndTheFirstFailingOneSpeaks) {
  std::filesystem::create_directory(folder_.PathOf("folder"));
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"missing.html", "notes.txt", "missing.html"},
       "param 3 cant be same as param 1"},
      {{"missing.html", "notes.txt", "out.html"}, "missing.html not found!"},
      {{"my page.html", "notes.txt", "out.html"}, "my page.html not found!"},
      {{"folder", "notes.txt", "out.html"}, "folder not found!"},
      {{"Missing.html", "notes.txt", "missing.html"}, "Missing.html not found!"},
  };
  for (const Case& c : cases) {
    ToolResult result = Run(c.arguments);
    EXPECT_EQ(result.out, Refusal(c.message));
    EXPECT_EQ(result.exit_status, 0);
  }
  EXPECT_FALSE(folder_.Exists("out.html"));
}

TEST_F(PlakenTest, RefusedRunLeavesAnExistingOutputAlone) {
  folder_.Write("out.html", "precious");
  ToolResult result = Run({"missing.html", "notes.txt", "out.html"});
  EXPECT_EQ(result.out, Refusal("missing.html not found!"));
  EXPECT_EQ(folder_.Read("out.html"), "precious");
}

TEST_F(PlakenTest, RefusedRunReadsOneLineAndEndsAtTheEndOfInput) {
  ToolOptions options;
  options.input_bytes = "first line\nsecond line\n";
  EXPECT_EQ(Run({}, options).exit_status, 0);
  options.input = StreamSetup::kNull;
  EXPECT_EQ(Run({}, options).exit_status, 0);
}

TEST_F(PlakenTest, RefusalToAFileHoldsExactlyItsThreeLines) {
  ToolOptions options;
  options.output = StreamSetup::kFile;
  options.output_path = folder_.PathOf("console.txt");
  ToolResult result = Run({"a"}, options);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("console.txt"),
            Refusal(" - PLAKEN needs 3 parameters"));
}

TEST_F(PlakenTest, SplicesTheContentIntoEveryTextAreaLine) {
  struct Case {
    std::string page, notes, output;
  } cases[] = {
      // No text area: a copy with CR LF line ends; the notes are never needed.
      {"<p>a</p>\n<b>\r\nlast", "n", Crlf({"<p>a</p>", "<b>", "last"})},
      {"", "n", ""},
      {"<textarea>old</textarea> tail\n", "n1\nn2\n",
       Crlf({"<textarea>old tail", "n1", "n2", "</textarea>"})},
      {"<p><textarea rows=4></textarea></p>\n", "n",
       Crlf({"<p><textarea rows=4></p>", "n", "</textarea>"})},
      {"<textarea a></textarea><textarea b></textarea>\n", "n",
       Crlf({"<textarea a><textarea b>", "n", "</textarea>"})},
      {"<textarea>\nold text\n</textarea>\n", "n",
       Crlf({"<textarea>", "n", "</textarea>", "old text", "</textarea>"})},
      {"a\n<textarea 1>\nb\n<textarea 2>\n", "x\r\ny",
       Crlf({"a", "<textarea 1>", "x", "y", "</textarea>", "b",
             "<textarea 2>", "x", "y", "</textarea>"})},
      {"<TEXTAREA>\n<TextArea>\n", "n", Crlf({"<TEXTAREA>", "<TextArea>"})},
      {"<textarea></TEXTAREA>\n", "n",
       Crlf({"<textarea></TEXTAREA>", "n", "</textarea>"})},
      {"<!-- <textarea --><textareas x=\"<textarea\">\n", "n",
       Crlf({"<!-- <textarea --><textareas x=\"<textarea\">", "n",
             "</textarea>"})},
      {"<textarea>\n", "", Crlf({"<textarea>", "</textarea>"})},
      {"<textarea>", "no line end", Crlf({"<textarea>", "no line end",
                                          "</textarea>"})},
      {"<textarea>\n", "<textarea>inner</textarea>\n",
       Crlf({"<textarea>", "<textarea>inner</textarea>", "</textarea>"})},
      {"</text</textarea>area><textarea\n", "n",
       Crlf({"</textarea><textarea", "n", "</textarea>"})},
      {std::string("z\0<textarea>\0\n", 14), std::string("\0", 1),
       Crlf({std::string("z\0<textarea>\0", 13), std::string("\0", 1),
             "</textarea>"})},
  };
  for (const Case& c : cases) {
    ToolResult result = Splice(c.page, c.notes);
    EXPECT_EQ(result.out, "") << c.page;
    EXPECT_EQ(result.exit_status, 0) << c.page;
    EXPECT_EQ(folder_.Read("out.html"), c.output) << c.page;
    EXPECT_EQ(folder_.Read("page.html"), c.page);
  }
}

TEST_F(PlakenTest, MissingContentIsNeededOnlyAtATextArea) {
  folder_.Write("page.html", "plain\n");
  ToolResult result = Run({"page.html", "missing.txt", "out.html"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("out.html"), "plain\r\n");
}

TEST_F(PlakenTest, MissingContentAtTheFirstTextAreaLeavesAnEmptyOutput) {
  folder_.Write("page.html", "a\n<textarea>\nb\n");
  ToolResult result = Run({"page.html", "missing.txt", "out.html"});
  EXPECT_EQ(result.out,
            Refusal("missing.txt that you are inserting does not exist"));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("out.html"), "");
}

TEST_F(PlakenTest, EarlyEndLeavesOnlyTheWholeBlocksWritten) {
  // 300 bytes reach the output's buffer before the missing content stops
  // the run: the first two 128-byte blocks are in the file, the rest is lost.
  std::string line(98, 'a');
  folder_.Write("page.html", line + "\n" + line + "\n" + line.substr(0, 88) +
                                 "<textarea>\n");
  ToolResult result = Run({"page.html", "missing.txt", "out.html"});
  EXPECT_EQ(result.exit_status, 0);
  std::string expected = Crlf({line, line, line.substr(0, 88) + "<textarea>"});
  ASSERT_EQ(expected.size(), 300u);
  EXPECT_EQ(folder_.Read("out.html"), expected.substr(0, 256));
}

TEST_F(PlakenTest, ContentFileMayBeTheTemplate) {
  folder_.Write("page.html", "A\n<textarea>\nB\n");
  ToolResult result = Run({"page.html", "page.html", "out.html"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("out.html"),
            Crlf({"A", "<textarea>", "A", "<textarea>", "B", "</textarea>",
                  "B"}));
}

TEST_F(PlakenTest, ContentFileThatIsTheOutputIsRefusedInUse) {
  folder_.Write("page.html", "A\n<textarea>\nB\n");
  ToolResult result = Run({"page.html", "out.html", "out.html"});
  EXPECT_TRUE(IsReport(result.out, "I/O error 32."));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(folder_.Read("page.html"), "A\n<textarea>\nB\n");
}

TEST_F(PlakenTest, TemplateNamedAgainAsOutputIsNeverTouched) {
  const std::string page = "keep\n<textarea>\nevery byte\n";
  folder_.Write("page.html", page);
  folder_.Write("notes.txt", "n\n");
  std::filesystem::create_symlink("page.html", folder_.PathOf("link.html"));
  std::filesystem::create_hard_link(folder_.PathOf("page.html"),
                                    folder_.PathOf("hard.html"));
  for (const std::string& alias :
       {std::string("./page.html"), folder_.PathOf("page.html"),
        std::string("link.html"), std::string("hard.html")}) {
    ToolResult result = Run({"page.html", "notes.txt", alias});
    EXPECT_TRUE(IsReport(result.out, "I/O error 32.")) << alias;
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(folder_.Read("page.html"), page) << alias;
  }
  // The same holds for the content file named as output.
  ToolResult result = Run({"page.html", "notes.txt", "./notes.txt"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(folder_.Read("notes.txt"), "n\n");
}

TEST_F(PlakenTest, FilesFromBefore1980AreFilesLikeAnyOther) {
  folder_.Write("page.html", "<textarea>\n");
  folder_.Write("notes.txt", "old\n");
  utimbuf times = {157766400, 157766400};  // 1 January 1975.
  ASSERT_EQ(utime(folder_.PathOf("page.html").c_str(), &times), 0);
  ASSERT_EQ(utime(folder_.PathOf("notes.txt").c_str(), &times), 0);
  ToolResult result = Run({"page.html", "notes.txt", "out.html"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(folder_.Read("out.html"), Crlf({"<textarea>", "old", "</textarea>"}));
}

TEST_F(PlakenTest, PatternNamesPassTheSearchButDoNotOpen) {
  folder_.Write("page.html", "x\n");
  ToolResult result = Run({"*.html", "notes.txt", "out.html"});
  EXPECT_TRUE(IsReport(result.out, "File not found."));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(folder_.Exists("out.html"));
  EXPECT_EQ(Run({"*.none", "notes.txt", "out.html"}).out,
            Refusal("*.none not found!"));
}

TEST_F(PlakenTest, OutputFailuresEndWithTheReport) {
  folder_.Write("page.html", "x\n");
  std::filesystem::create_directory(folder_.PathOf("folder"));
  struct Case {
    std::string output, message;
  } cases[] = {
      {"no/such/dir/out.html", "Invalid filename."},
      {"folder", "File access denied."},
      {"/dev/full", "I/O error 112."},
      {std::string(300, 'n'), "I/O error 206."},
  };
  for (const Case& c : cases) {
    ToolResult result = Run({"page.html", "notes.txt", c.output});
    EXPECT_TRUE(IsReport(result.out, c.message)) << c.output;
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(PlakenTest, CharacterDeviceOutputGetsEveryLineAtItsEnd) {
  folder_.Write("page.html", "<textarea>\n");
  folder_.Write("notes.txt", "n\n");
  ToolResult result = Run({"page.html", "notes.txt", "/dev/null"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_status, 0);
}

TEST_F(PlakenTest, DifferentChecksReportDifferentAddresses) {
  folder_.Write("page.html", "<textarea>\n");
  ToolResult create = Run({"page.html", "n", "no/dir/out.html"});
  ToolResult open = Run({"page.html", "out.html", "out.html"});
  ASSERT_EQ(create.exit_status, 1);
  ASSERT_EQ(open.exit_status, 1);
  EXPECT_NE(ReportAddress(create.out), "");
  EXPECT_NE(ReportAddress(create.out), ReportAddress(open.out));
}

TEST_F(PlakenTest, ClosedStandardInputFailsTheWait) {
  ToolOptions options;
  options.input = StreamSetup::kClosed;
  ToolResult result = Run({}, options);
  const std::string refusal = Refusal(" - PLAKEN needs 3 parameters");
  ASSERT_EQ(result.out.substr(0, refusal.size()), refusal);
  EXPECT_TRUE(IsReport(result.out.substr(refusal.size()), "I/O error 6."));
  EXPECT_EQ(result.exit_status, 1);

  // Buffered for a file, the three lines still come before the report.
  options.output = StreamSetup::kFile;
  options.output_path = folder_.PathOf("console.txt");
  result = Run({}, options);
  std::string console = folder_.Read("console.txt");
  ASSERT_EQ(console.substr(0, refusal.size()), refusal);
  EXPECT_TRUE(IsReport(console.substr(refusal.size()), "I/O error 6."));
}

TEST_F(PlakenTest, ClosedStandardOutputStillEndsWithFailure) {
  folder_.Write("page.html", "<textarea>\n");
  ToolOptions options;
  options.output = StreamSetup::kClosed;
  ToolResult result = Run({"page.html", "notes.txt", "no/dir/out.html"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "");
  // A refused run has nowhere to speak: its first write fails.
  result = Run({}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "");
  // Nothing the tool opened took the place of the closed stream.
  result = Run({"page.html", "out.html", "out.html"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(folder_.Read("out.html"), "");
}

TEST_F(PlakenTest, ExhaustedMemoryIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's own allocator ends the process when memory runs out,
  // and it cannot start inside a small address space.
  GTEST_SKIP() << "not with the address sanitizer";
#endif
  // One line four times the address space the tool may use.
  const long limit = 64L << 20;
  folder_.Write("page.html", std::string(4 * limit, 'm'));
  ToolOptions options;
  options.address_space_limit = limit;
  ToolResult result = Run({"page.html", "notes.txt", "out.html"}, options);
  EXPECT_TRUE(IsReport(result.out, "Out of memory.", "EOutOfMemory"));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(std::filesystem::file_size(folder_.PathOf("page.html")),
            static_cast<std::uintmax_t>(4 * limit));
  EXPECT_EQ(folder_.Read("out.html"), "");
}

}  // namespace
