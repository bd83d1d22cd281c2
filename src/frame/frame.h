// The command frame: the arguments, the existence test, the fatal message
// and the end of every run.
#ifndef PLAKEN_FRAME_FRAME_H_
#define PLAKEN_FRAME_FRAME_H_

#include <string>
#include <string_view>

extern std::string TemplateName;
extern std::string ContentName;
extern std::string OutputName;

// Fills the three names with arguments 1, 2 and 3, or refuses the run
// through FailWithMessage.
void CheckParameters(std::string& first, std::string& second,
                     std::string& third);

// Whether `name` designates an existing file that is not a directory.
bool FileExists(const std::string& name);

// Shows the message and the prompt, waits for one line, ends the run with 0.
[[noreturn]] void FailWithMessage(std::string_view message);

// Closes the console line files and ends the process. Nothing else is
// written out: an unfinished output file keeps only what reached the system.
[[noreturn]] void EndRun(int status);

#endif  // PLAKEN_FRAME_FRAME_H_
