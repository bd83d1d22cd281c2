// The tool run as a user runs it, checked byte for byte: what it prints,
// its exit status and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <random>
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

// The line rules, written plainly: a line is every byte up to LF with each
// CR dropped, and a 0x1A where a line would start ends the file.
std::vector<std::string> ModelLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < bytes.size() && bytes[at] != '\x1a') {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    std::string line;
    for (std::size_t i = at; i < end; ++i)
      if (bytes[i] != '\r') line += bytes[i];
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

std::string ModelSplice(const std::string& page, const std::string& notes) {
  std::string out;
  for (std::string line : ModelLines(page)) {
    if (line.find("<textarea") == std::string::npos) {
      out += line + "\r\n";
      continue;
    }
    // One pass: a tag that a removal joins together stays.
    for (std::size_t at = 0;
         (at = line.find("</textarea>", at)) != std::string::npos;)
      line.erase(at, 11);
    out += line + "\r\n";
    for (const std::string& note : ModelLines(notes)) out += note + "\r\n";
    out += "</textarea>\r\n";
  }
  return out;
}

TEST_F(PlakenTest, RandomPagesFollowTheLineRules) {
  const std::string pieces[] = {"<textarea", "</textarea>", "<textarea>",
                                "\r", "\n", "\r\n", "\x1a", std::string(1, '\0'),
                                "a", "bc", " ", "\xff", "</text", "area>"};
  std::mt19937 random(20261211);
  auto make = [&](int most) {
    std::string bytes;
    int count = static_cast<int>(random() % most);
    for (int i = 0; i < count; ++i) {
      if (random() % 8 == 0)
        bytes += std::string(random() % 300, 'x');  // Across block ends.
      else
        bytes += pieces[random() % std::size(pieces)];
    }
    return bytes;
  };
  for (int run = 0; run < 150; ++run) {
    std::string page = make(60), notes = make(30);
    ToolResult result = Splice(page, notes);
    ASSERT_EQ(result.exit_status, 0) << "run " << run;
    ASSERT_EQ(folder_.Read("out.html"), ModelSplice(page, notes))
        << "run " << run;
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
  // Windows refuses a wildcard in a name to open (ERROR_INVALID_NAME).
  EXPECT_TRUE(IsReport(result.out,
                       OnWindows() ? "I/O error 123." : "File not found."));
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

TEST_F(PlakenTest, ReaderThatWentAwayDoesNotKillTheTool) {
  ToolOptions options;
  options.output = StreamSetup::kBrokenPipe;
  // The short refusal is still buffered when the run ends, and nothing
  // looks at what the final close of standard output stores.
  ToolResult result = Run({}, options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  // A message longer than the buffer fails while it is written.
  result = Run({std::string(200, 'm'), "n", "o"}, options);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 1);
}

TEST_F(PlakenTest, ExhaustedMemoryIsReported) {
  if (OnWindows()) GTEST_SKIP() << "Wine cannot start in a small address space";
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

// Windows only from here on: letter case, backslashes and the raw command
// line belong to that system.
class WindowsTest : public PlakenTest {
 protected:
  void SetUp() override {
    if (!OnWindows()) GTEST_SKIP() << "for plaken.exe only";
  }
  ToolResult RunLine(const std::string& after_program_name,
                     const ToolOptions& options = {}) {
    return RunToolWithCommandLine(folder_.path(), after_program_name, options);
  }
};

TEST_F(WindowsTest, TemplateOrContentNamedAgainInOtherCaseIsRefusedInUse) {
  const std::string page = "keep\n<textarea>\nevery byte\n";
  folder_.Write("page.html", page);
  folder_.Write("notes.txt", "n\n");
  struct Case {
    std::string output;
  } cases[] = {{"PAGE.HTML"}, {"Page.Html"}, {".\\page.HTML"}, {"NOTES.TXT"}};
  for (const Case& c : cases) {
    ToolResult result = Run({"page.html", "notes.txt", c.output});
    EXPECT_TRUE(IsReport(result.out, "I/O error 32.")) << c.output;
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(folder_.Read("page.html"), page) << c.output;
    EXPECT_EQ(folder_.Read("notes.txt"), "n\n") << c.output;
  }
}

TEST_F(WindowsTest, BackslashPathsNameFilesAndFolders) {
  std::filesystem::create_directory(folder_.PathOf("sub"));
  folder_.Write("sub/page.html", "<textarea>\n");
  folder_.Write("sub/notes.txt", "n\n");
  ToolResult result = Run({"sub\\page.html", ".\\sub\\notes.txt",
                           "sub\\..\\sub\\out.html"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(folder_.Read("sub/out.html"), Crlf({"<textarea>", "n", "</textarea>"}));

  result = Run({"sub\\page.html", "sub\\notes.txt", "sub\\.\\page.html"});
  EXPECT_TRUE(IsReport(result.out, "I/O error 32."));
  EXPECT_EQ(folder_.Read("sub/page.html"), "<textarea>\n");

  result = Run({"sub\\page.html", "sub\\notes.txt", "no\\such\\out.html"});
  EXPECT_TRUE(IsReport(result.out, "Invalid filename."));
  EXPECT_EQ(result.exit_status, 1);

  EXPECT_EQ(Run({"sub", "n", "out.html"}).out, Refusal("sub not found!"));
  EXPECT_EQ(Run({"sub\\missing.html", "n", "out.html"}).out,
            Refusal("sub\\missing.html not found!"));
}

// The command line exactly as typed at a console, quotes and all.
TEST_F(WindowsTest, RawCommandLineIsCutByQuotesAndBlanks) {
  std::filesystem::create_directory(folder_.PathOf("out dir"));
  folder_.Write("my page.html", "M\n");
  folder_.Write("ab", "A\n");
  folder_.Write("page.html", "P\n");
  struct Case {
    std::string line;
    std::string output_file;  // Written with the template's one line.
    std::string expected;
  } cases[] = {
      {"my\" \"page.html notes.txt out1.html", "out1.html", "M\r\n"},
      {"\"my page.html\" notes.txt out2.html", "out2.html", "M\r\n"},
      {"a\"\"b c d", "d", "A\r\n"},
      {"page.html \"\" notes.txt out3.html", "out3.html", "P\r\n"},
      {"page.html\tnotes.txt\t\tout4.html", "out4.html", "P\r\n"},
      {"page.html notes.txt out5.html \"", "out5.html", "P\r\n"},
      {"page.html notes.txt \"out dir\\out6.html", "out dir/out6.html",
       "P\r\n"},
      {"\"\"page.html\"\" \"notes.txt\" o\"ut7\".html", "out7.html", "P\r\n"},
  };
  for (const Case& c : cases) {
    ToolResult result = RunLine(c.line);
    EXPECT_EQ(result.out, "") << c.line;
    EXPECT_EQ(result.exit_status, 0) << c.line;
    EXPECT_EQ(folder_.Read(c.output_file), c.expected) << c.line;
  }
}

TEST_F(WindowsTest, RawCommandLineRefusalsCountAndCompareCutArguments) {
  folder_.Write("page.html", "P\n");
  struct Case {
    std::string line, message;
  } cases[] = {
      {"page.html notes.txt \"\"", " - PLAKEN needs 3 parameters"},
      {"page.html notes.txt out.html extra", " - PLAKEN needs 3 parameters"},
      {"\"\" \"\" \"\"", " - PLAKEN needs 3 parameters"},
      {"page.html \"notes.txt out.html\"", " - PLAKEN needs 3 parameters"},
      {"\"page.html\" notes.txt page.html", "param 3 cant be same as param 1"},
      {"p\"age\".html notes.txt \"page.html", "param 3 cant be same as param 1"},
      {"\"my page.html\" notes.txt out.html", "my page.html not found!"},
      {"\"my  page.html notes.txt out.html", " - PLAKEN needs 3 parameters"},
      {"\"my  page.html\" notes.txt \"out  dir\\x", "my  page.html not found!"},
  };
  for (const Case& c : cases) {
    ToolResult result = RunLine(c.line);
    EXPECT_EQ(result.out, Refusal(c.message)) << c.line;
    EXPECT_EQ(result.exit_status, 0) << c.line;
  }
  EXPECT_FALSE(folder_.Exists("out.html"));
}

}  // namespace

namespace {

// A page of about 1 MB of plain lines, far larger than any block the tool
// may use, and what the tool makes of it.
struct BigPage {
  std::string page, output;
};

BigPage MakeBigPage(const std::string& last_line) {
  BigPage big;
  for (int n = 0; big.page.size() < 1000000; ++n) {
    std::string line = "<p>line " + std::to_string(n) + " " +
                       std::string(static_cast<std::size_t>(n % 97), 'w') +
                       "</p>";
    big.page += line + (n % 5 == 0 ? "\r\n" : "\n");
    big.output += line + "\r\n";
  }
  big.page += last_line + "\n";
  big.output += last_line + "\r\n";
  return big;
}

TEST_F(PlakenTest, EarlyEndAfterAMegabyteLeavesOnlyItsWholeBlocks) {
  BigPage big = MakeBigPage("<textarea>");
  folder_.Write("page.html", big.page);
  ToolResult result = Run({"page.html", "missing.txt", "out.html"});
  EXPECT_EQ(result.out,
            Refusal("missing.txt that you are inserting does not exist"));
  EXPECT_EQ(result.exit_status, 0);
  std::string out = folder_.Read("out.html");
  std::size_t whole = big.output.size() / 128 * 128;
  ASSERT_EQ(out.size(), whole);
  EXPECT_TRUE(out == big.output.substr(0, whole));
}

// What an exceeded file-size limit is reported as: the limit is Linux's, and
// Wine hands it to a Windows program as a general failure (31).
std::string FileSizeLimitReport() {
  return OnWindows() ? "I/O error 31." : "I/O error 112.";
}

TEST_F(PlakenTest, FileSizeLimitStopsTheOutputAtItsExactByte) {
  // The kernel takes every byte up to the limit, then refuses: the output
  // holds exactly `limit` bytes whatever block the limit falls in, and the
  // run ends with the full-disk report, as long as the bytes past it would
  // have been written.
  BigPage big = MakeBigPage("last");
  const long total = static_cast<long>(big.output.size());
  const long limits[] = {1000, 65536, 65536 + 128, 70001, 131072 * 3 + 5,
                         total / 128 * 128, total - 1};
  folder_.Write("page.html", big.page);
  for (long limit : limits) {
    ToolOptions options;
    options.file_size_limit = limit;
    ToolResult result = Run({"page.html", "notes.txt", "out.html"}, options);
    EXPECT_TRUE(IsReport(result.out, FileSizeLimitReport())) << limit;
    EXPECT_EQ(result.exit_status, 1) << limit;
    std::string out = folder_.Read("out.html");
    ASSERT_EQ(out.size(), static_cast<std::size_t>(limit));
    EXPECT_TRUE(out == big.output.substr(0, out.size())) << limit;
  }
  // A limit the whole output fits in changes nothing.
  ToolOptions options;
  options.file_size_limit = total;
  ToolResult result = Run({"page.html", "notes.txt", "out.html"}, options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_TRUE(folder_.Read("out.html") == big.output);
}

TEST_F(PlakenTest, FileSizeLimitBeforeAnEarlyEnd) {
  // With the content file missing at the end: a limit inside the whole
  // blocks written so far fails the run with the report; a limit only in
  // the bytes that the early end loses lets the message speak.
  BigPage big = MakeBigPage("<textarea>");
  folder_.Write("page.html", big.page);
  const long whole = static_cast<long>(big.output.size() / 128 * 128);
  struct Case {
    long limit;
    bool fails;
  } cases[] = {
      {300000, true},       {whole - 65536 + 77, true}, {whole - 1, true},
      {whole, false},       {whole + 1, false},
  };
  for (const Case& c : cases) {
    ToolOptions options;
    options.file_size_limit = c.limit;
    ToolResult result = Run({"page.html", "missing.txt", "out.html"}, options);
    std::string out = folder_.Read("out.html");
    if (c.fails) {
      EXPECT_TRUE(IsReport(result.out, FileSizeLimitReport())) << c.limit;
      EXPECT_EQ(result.exit_status, 1) << c.limit;
      ASSERT_EQ(out.size(), static_cast<std::size_t>(c.limit));
    } else {
      EXPECT_EQ(result.out,
                Refusal("missing.txt that you are inserting does not exist"))
          << c.limit;
      EXPECT_EQ(result.exit_status, 0) << c.limit;
      ASSERT_EQ(out.size(), static_cast<std::size_t>(whole));
    }
    EXPECT_TRUE(out == big.output.substr(0, out.size())) << c.limit;
  }
}

}  // namespace

namespace {

TEST_F(PlakenTest, FailedWriteIsReportedAtTheStepThatFilledTheBlock) {
  // The block that the limit cuts is filled by a plain line; the bytes
  // after it come from the content file. The report names the plain
  // line's write, as when nothing but plain lines follow.
  std::string plain;
  for (int n = 0; plain.size() < 20000; ++n)
    plain += "plain line " + std::to_string(n) + "\n";
  std::string notes;
  for (int n = 0; notes.size() < 200000; ++n)
    notes += "note " + std::to_string(n) + "\n";
  folder_.Write("notes.txt", notes);
  ToolOptions options;
  options.file_size_limit = 1000;

  folder_.Write("page.html", plain + plain);
  ToolResult plain_only = Run({"page.html", "notes.txt", "out.html"}, options);
  ASSERT_TRUE(IsReport(plain_only.out, FileSizeLimitReport()));
  EXPECT_EQ(folder_.Read("out.html").size(), 1000u);

  folder_.Write("page.html", plain + "<textarea>\n");
  ToolResult spliced = Run({"page.html", "notes.txt", "out.html"}, options);
  ASSERT_TRUE(IsReport(spliced.out, FileSizeLimitReport()));
  EXPECT_EQ(folder_.Read("out.html").size(), 1000u);
  EXPECT_EQ(ReportAddress(spliced.out), ReportAddress(plain_only.out));

  // Cut inside the notes, the report names the notes' write instead.
  options.file_size_limit = 100000;
  ToolResult in_notes = Run({"page.html", "notes.txt", "out.html"}, options);
  ASSERT_TRUE(IsReport(in_notes.out, FileSizeLimitReport()));
  EXPECT_EQ(folder_.Read("out.html").size(), 100000u);
  EXPECT_NE(ReportAddress(in_notes.out), ReportAddress(plain_only.out));
}

}  // namespace
