// The one small interface through which the update engine reaches files, the
// shell launch, the clock and sleeping. The program uses SystemOps::Real();
// a test wraps it to make one operation fail (disk full, file in use) or to
// make the waits instant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/regional.h"
#include "platform/text.h"

namespace platform {

class SystemOps {
 public:
  virtual ~SystemOps() = default;

  // The real system.
  static SystemOps& Real();

  // Blocks the calling thread.
  virtual void Sleep(int milliseconds);
  virtual LocalTime Now();
  // The full path of the running program's executable.
  virtual UString ExecutablePath();
  // See files.h.
  virtual bool AppendToSharedFile(UStringView path, std::string_view bytes);
  virtual bool FileExists(UStringView path);
  virtual bool ReadWholeFile(UStringView path, std::string* out, UString* error);
  virtual bool DeleteFile(UStringView path);
  virtual bool RemoveName(UStringView path);
  virtual bool RenameNoReplace(UStringView from, UStringView to);
  virtual UString StageCopy(UStringView from, UStringView to);
  virtual UString StageCopyUnflushed(UStringView from, UStringView to);
  virtual std::vector<size_t> FlushStaged(const std::vector<UString>& staged);
  virtual Backup KeepAsBackup(UStringView installed, UStringView backup);
  virtual bool MoveIntoPlace(UStringView staged, UStringView to);
  virtual void RemoveStaleStaged(UStringView folder);
  // Whether the file operation that just failed on this thread was refused
  // because another program holds the file (Windows' sharing violation, lock
  // violation or denied access); never on Linux, which has no such locks.
  virtual bool FailedAsHeld();
  virtual int64_t FileSizeOf(UStringView path);
  // See sha256.h.
  virtual bool FileSha256(UStringView path, UString* hex, UString* error);
  // See running_object.h and shell_launch.h.
  virtual bool IsApplicationRunning(UStringView path);
  virtual int ShellLaunch(void* owner, UStringView target, UStringView directory);
};

}  // namespace platform
