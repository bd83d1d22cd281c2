#include "splice/splice.h"

#include "frame/frame.h"
#include "platform/platform.h"
#include "splice/replace_all.h"

LineFile TemplateFile;
LineFile OutputFile;

namespace {
constexpr std::string_view kTextAreaMarker = "<textarea";
constexpr std::string_view kClosingTag = "</textarea>";
// Creates OutputFile while the content file is held against writing, so an
// output that is the content file under another name is refused as in use
// before a byte of it is lost.
void CreateOutputSparingContent() {
  platform::Handle hold;
  bool held = platform::HoldAgainstWriting(ContentName.c_str(), &hold);
  CreateForWriting(OutputFile);
  CheckIoError();
  if (held) platform::Close(hold);
}

}  // namespace

void ProcessTemplate() {
  SetLineFileName(TemplateFile, TemplateName);
  SetLineFileName(OutputFile, OutputName);
  UseLargeBlocks(TemplateFile);
  UseLargeBlocks(OutputFile);
  // The template opens first, so an unreadable one leaves the output as it is.
  OpenForReading(TemplateFile);
  CheckIoError();
  CreateOutputSparingContent();
  const SearchPattern marker(kTextAreaMarker);
  TextLine line;
  for (;;) {
    bool at_end = AtEndOfFile(TemplateFile);
    CheckIoError();
    if (at_end) break;
    ReadTextLine(TemplateFile, line);
    CheckIoError();
    if (FindSubstring(line, marker) == std::string_view::npos) {
      WriteTextLine(OutputFile, line);
      CheckIoError();
      continue;
    }
    ReplaceAll(kClosingTag, "", line);
    WriteTextLine(OutputFile, line);
    CheckIoError();
    CopyContentFile(line);
    WriteTextLine(OutputFile, kClosingTag);
    CheckIoError();
  }
  CloseLineFile(TemplateFile);
  CheckIoError();
  CloseLineFile(OutputFile);
  CheckIoError();
}

void CopyContentFile(TextLine& line) {
  // Looked for again at every text area: the file may have come or gone.
  if (!FileExists(ContentName)) {
    // The output keeps the whole blocks written so far; if they cannot be
    // written, that failure is the one to report.
    HandOverWholeBlocks(OutputFile);
    CheckIoError();
    FailWithMessage(ContentName + " that you are inserting does not exist");
  }
  LineFile ContentFile;
  SetLineFileName(ContentFile, ContentName);
  UseLargeBlocks(ContentFile);
  OpenForReading(ContentFile);
  CheckIoError();
  for (;;) {
    bool at_end = AtEndOfFile(ContentFile);
    CheckIoError();
    if (at_end) break;
    ReadTextLine(ContentFile, line);
    CheckIoError();
    WriteTextLine(OutputFile, line);
    CheckIoError();
  }
  CloseLineFile(ContentFile);
  CheckIoError();
}
