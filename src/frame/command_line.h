#ifndef PLAKEN_FRAME_COMMAND_LINE_H_
#define PLAKEN_FRAME_COMMAND_LINE_H_

#include <string>
#include <vector>

// Steps from one character of the command line to the next (a double-byte
// character is one step).
using NextCharFunction = const char* (*)(const char*);

// Cuts a raw command line, the program's name first, into the arguments
// after that name. Double quotes group and are dropped; there is no escape.
// Cutting stops at the first empty item, which only the end of the line
// gives.
std::vector<std::string> CutCommandLine(const char* line,
                                        NextCharFunction next_char);

// The process's arguments after the program's name, none of them empty.
std::vector<std::string> ProgramArguments();

#endif  // PLAKEN_FRAME_COMMAND_LINE_H_
