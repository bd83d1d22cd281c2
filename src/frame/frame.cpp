#include "frame/frame.h"

#include <vector>

#include "frame/command_line.h"
#include "linefile/line_file.h"
#include "platform/platform.h"

std::string TemplateName;
std::string ContentName;
std::string OutputName;

void CheckParameters(std::string& first, std::string& second,
                     std::string& third) {
  std::vector<std::string> arguments = ProgramArguments();
  if (arguments.size() != 3) FailWithMessage(" - PLAKEN needs 3 parameters");
  first = arguments[0];
  second = arguments[1];
  third = arguments[2];
  // Byte for byte: other spellings of one file are caught when it is opened.
  if (first == third) FailWithMessage("param 3 cant be same as param 1");
  if (!FileExists(first)) FailWithMessage(first + " not found!");
}

bool FileExists(const std::string& name) {
  bool is_directory = false;
  return platform::FindFirstEntry(name.c_str(), &is_directory) &&
         !is_directory;
}

void FailWithMessage(std::string_view message) {
  WriteTextLine(StandardOutput, message);
  CheckIoError();
  WriteTextLine(StandardOutput, "");
  CheckIoError();
  WriteTextLine(StandardOutput, "   ...press   Enter   to end the program.");
  CheckIoError();
  std::string answer;
  ReadTextLine(StandardInput, answer);
  CheckIoError();
  EndRun(0);
}

void EndRun(int status) {
  TemplateName = std::string();
  ContentName = std::string();
  OutputName = std::string();
  // What these closes store is never looked at.
  CloseLineFile(StandardInput);
  CloseLineFile(StandardOutput);
  platform::ExitProcess(status);
}
