// Whether Vorlo runs: the object it holds while it runs, named after its
// executable's path, and, when there is no such object, the process list.
//
//   if (IsApplicationRunning(u"C:\\App\\vorlo.exe")) ...   // poll again later
//
//   RunningMarker marker(ExecutablePath());   // Vorlo's side: held until it ends
#pragma once

#include <memory>

#include "platform/text.h"

namespace platform {

// The object name for a path: the path with every backslash removed.
UString RunningObjectName(UStringView path);

// Whether the main application runs: true when an object named after `path`
// (RunningObjectName) exists in this user's namespace; otherwise whether a
// process whose executable is named "vorlo.exe" runs (ProcessExists). Throws
// Exception with "System Error.  Code: N." and the system's message on a new
// line (SystemErrorMessage) when the object can be neither created nor
// opened.
bool IsApplicationRunning(UStringView path);

// Holds the object named after `path` for as long as it lives (the main
// application's side of IsApplicationRunning). Windows: a file mapping on the
// paging file; Linux: a per-user named object that vanishes with its holder,
// also when the holder is killed; a check holds the name only for an
// instant, before its process scan, and the marker waits for it (up to 5 s).
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

}  // namespace platform
