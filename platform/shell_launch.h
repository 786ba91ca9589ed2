// Starting a program or opening a file as the shell does.
//
//   const int result = ShellLaunch(window, u"C:\\App\\vorlo.exe", u"C:\\App\\");
//   if (result <= kLaunchFailedAtMost) ...   // result is the reason
#pragma once

#include "platform/text.h"

namespace platform {

// Starts `target` as the shell does: no verb (its default action), empty
// parameters, `directory` as its working folder, shown; `owner` is the
// window that owns any dialog (HWND on Windows). Answers the shell's result:
// above kLaunchFailedAtMost on success, else its launch error code (2 file
// not found, 3 path not found, 5 access denied, 8 out of memory, 11 bad
// format, 26 sharing violation, 31 nothing opens the file, ...). The started
// program inherits no open file and no terminal of this one: on Linux it
// runs in a session of its own, with its standard input, output and error
// on /dev/null, and the default signals; a file that is not a program opens
// with xdg-open.
int ShellLaunch(void* owner, UStringView target, UStringView directory);

// A launch answers at most this when it failed, and more when it started.
constexpr int kLaunchFailedAtMost = 32;
// What the Linux launch answers when the program started (Windows answers
// a handle-like value above 32).
constexpr int kLaunchStarted = 42;

}  // namespace platform
