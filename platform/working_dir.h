// The process's working folder.
#pragma once

#include "platform/text.h"

namespace platform {

// The working folder's full path; empty if the system cannot tell it.
UString CurrentDirectory();

}  // namespace platform
