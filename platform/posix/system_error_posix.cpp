#include <cstring>

#include "platform/system_error.h"

namespace platform {

UString SystemErrorText(int code) { return Utf8ToUtf16(std::strerror(code)); }

}  // namespace platform
