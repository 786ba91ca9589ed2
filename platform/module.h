// The running program's own module.
#pragma once

#include "platform/text.h"

namespace platform {

// The separator of folders in paths: a backslash on Windows, "/" on Linux.
// kFolderEnds: the characters after which a file name starts.
#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
constexpr char16_t kPathSeparatorString[] = u"\\";
constexpr char16_t kFolderEnds[] = u"\\/:";
#else
constexpr char16_t kPathSeparator = u'/';
constexpr char16_t kPathSeparatorString[] = u"/";
constexpr char16_t kFolderEnds[] = u"/";
#endif

// The full path of the program's executable file; empty if the system cannot
// tell it.
UString ExecutablePath();

// The folder part of `path`, up to and including its last separator (on
// Windows also a colon, when that comes later); empty when it has none.
UString FolderOf(UStringView path);

}  // namespace platform
