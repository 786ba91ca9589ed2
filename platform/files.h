// Files by UTF-16 path.
#pragma once

#include <cstdint>
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

// Deletes a file; false when the system refuses (in use, read-only).
bool DeleteFileAt(UStringView path);

// Renames a file; never replaces an existing one (false then).
bool RenameNoReplace(UStringView from, UStringView to);

// Copies `from` to `to`, replacing a file there, through a temporary file in
// the target's folder that is moved into place once complete: `to` never
// holds a partly written file, and the temporary file is removed when the
// copy fails. The copy keeps the source's permissions and modification time.
bool CopyIntoPlace(UStringView from, UStringView to);

// The file's size in bytes, measured with read access while others may read
// and write it; 0 when it cannot be opened or measured.
int64_t FileSizeOf(UStringView path);

// Appends `bytes` to the file, creating it when it does not exist, and closes
// it again. While it is open, other programs may read the file but not write
// it; a file another program holds open for writing (on Linux: one that holds
// an exclusive lock on it) is not written. False on any failure.
bool AppendToSharedFile(UStringView path, std::string_view bytes);

}  // namespace platform
