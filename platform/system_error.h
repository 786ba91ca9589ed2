// The system's error codes as text.
#pragma once

#include "platform/text.h"

namespace platform {

// The system's own message for an error code (errno on Linux, the
// GetLastError code on Windows).
UString SystemErrorText(int code);

// "System Error.  Code: N." (the numbered text kSystemError) and, after a
// CR LF, the system's message for `code`.
UString SystemErrorMessage(int code);

}  // namespace platform
