// The command line and the terminal, for the command-line tools.
#pragma once

#include <vector>

#include "platform/text.h"

namespace platform {

// The program's arguments after its own name, as UTF-16.
std::vector<UString> CommandLineArguments(int argc, char** argv);

// Writes text to standard output or standard error as it stands (add "\n"
// yourself): UTF-8 on Linux and into pipes, the console's own text on a
// Windows console.
void PrintOut(UStringView text);
void PrintErr(UStringView text);

// Whether standard input, or standard error, is a terminal (a console on
// Windows).
bool StdinIsTerminal();
bool StderrIsTerminal();

// One line from standard input, without its line end; false at its end.
bool ReadStdinLine(UString* line);

}  // namespace platform
