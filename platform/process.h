// Processes: whether the main application runs, the object it holds while it
// runs, and starting a program through the shell.
#pragma once

#include <memory>

#include "platform/text.h"

namespace platform {

// The object name for a path: the path with every backslash removed.
UString RunningObjectName(UStringView path);

// Whether the main application runs: true when an object named after `path`
// (RunningObjectName) exists in this user's namespace; otherwise whether a
// process whose executable is named "vorlo.exe" runs. Throws Exception with
// The system's own message for an error code (errno on Linux, the
// GetLastError code on Windows).
UString SystemErrorText(int code);

// "System Error.  Code: N." and the system's message on a new line when the
// object can be neither created nor opened.
bool IsApplicationRunning(UStringView path);

// Whether a process runs whose executable file name (or whole executable
// path) equals `name`, comparing the letters a to z without regard to case.
// On Linux a script of that name counts too (the kernel runs its
// interpreter, names the process after the script and gives the script's
// path among the arguments), and a process that has ended but is not
// collected yet does not. False when the process list cannot be read.
bool ProcessExists(UStringView name);

// Holds the object named after `path` for as long as it lives (the main
// application's side of IsApplicationRunning). Windows: a file mapping on the
// paging file; Linux: a per-user named object that vanishes with its holder,
// also when the holder is killed.
class RunningMarker {
 public:
  explicit RunningMarker(UStringView path);
  ~RunningMarker();
  RunningMarker(const RunningMarker&) = delete;
  RunningMarker& operator=(const RunningMarker&) = delete;
  bool Held() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Starts `target` as the shell does: no verb (its default action), empty
// parameters, `directory` as its working folder, shown; `owner` is the
// window that owns any dialog (HWND on Windows). Answers the shell's result:
// above 32 on success, else its launch error code (2 file not found, 3 path
// not found, 5 access denied, 8 out of memory, 11 bad format, 26 sharing
// violation, ...). The started program inherits no open file and no
// terminal of this one: on Linux it runs in a session of its own, with its
// standard input, output and error on /dev/null, and the default signals.
int ShellLaunch(void* owner, UStringView target, UStringView directory);

// The system's own message for an error code (errno on Linux, the
// GetLastError code on Windows).
UString SystemErrorText(int code);

// "System Error.  Code: N." and the system's message for `code`, after a CR LF.
UString SystemErrorMessage(int code);

}  // namespace platform
