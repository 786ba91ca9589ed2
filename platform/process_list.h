// The system's list of processes.
#pragma once

#include "platform/text.h"

namespace platform {

// Whether a process runs whose executable file name (or whole executable
// path) equals `name`, comparing the letters a to z without regard to case.
// On Linux a script of that name counts too (the kernel runs its
// interpreter, names the process after the script and gives the script's
// path among the arguments), and a process that has ended but is not
// collected yet does not. False when the process list cannot be read.
bool ProcessExists(UStringView name);

}  // namespace platform
