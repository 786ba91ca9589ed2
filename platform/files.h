// Files by UTF-16 path.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform {

// True when `path` names an existing file (a folder does not count; a link
// counts when its target is a file).
bool FileExists(UStringView path);

// The whole file. False on failure, with the system's reason in `error` when
// it is not null; `out` is not touched then.
bool ReadWholeFile(UStringView path, std::string* out, UString* error);

// Writes the whole file through a temporary file in the same folder, which
// replaces `path` only once it is complete: `path` never holds a partly
// written file, and keeps its old content when the write fails. False on
// failure, with the system's reason in `error` when it is not null.
bool WriteWholeFile(UStringView path, std::string_view bytes, UString* error);

}  // namespace platform
