#include "platform/system_ops.h"

#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/running_object.h"
#include "platform/sha256.h"
#include "platform/shell_launch.h"

namespace platform {

SystemOps& SystemOps::Real() {
  static SystemOps real;
  return real;
}

void SystemOps::Sleep(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LocalTime SystemOps::Now() { return platform::Now(); }

UString SystemOps::ExecutablePath() { return platform::ExecutablePath(); }

bool SystemOps::AppendToSharedFile(UStringView path, std::string_view bytes) {
  return platform::AppendToSharedFile(path, bytes);
}

bool SystemOps::FileExists(UStringView path) { return platform::FileExists(path); }
bool SystemOps::ReadWholeFile(UStringView path, std::string* out, UString* error) {
  return platform::ReadWholeFile(path, out, error);
}
bool SystemOps::DeleteFile(UStringView path) { return platform::DeleteFileAt(path); }
bool SystemOps::RenameNoReplace(UStringView from, UStringView to) {
  return platform::RenameNoReplace(from, to);
}
bool SystemOps::RemoveName(UStringView path) { return platform::RemoveName(path); }
UString SystemOps::StageCopy(UStringView from, UStringView to) {
  return platform::StageCopy(from, to);
}
UString SystemOps::StageCopyUnflushed(UStringView from, UStringView to) {
  return platform::StageCopyUnflushed(from, to);
}
std::vector<size_t> SystemOps::FlushStaged(const std::vector<UString>& staged) {
  return platform::FlushStaged(staged);
}
bool SystemOps::FailedAsHeld() { return platform::FailedAsHeld(); }
Backup SystemOps::KeepAsBackup(UStringView installed, UStringView backup) {
  return platform::KeepAsBackup(installed, backup);
}
bool SystemOps::MoveIntoPlace(UStringView staged, UStringView to) {
  return platform::MoveIntoPlace(staged, to);
}
void SystemOps::RemoveStaleStaged(UStringView folder) { platform::RemoveStaleStaged(folder); }
int64_t SystemOps::FileSizeOf(UStringView path) { return platform::FileSizeOf(path); }
bool SystemOps::FileSha256(UStringView path, UString* hex, UString* error) {
  return platform::FileSha256(path, hex, error);
}
bool SystemOps::IsApplicationRunning(UStringView path) {
  return platform::IsApplicationRunning(path);
}
int SystemOps::ShellLaunch(void* owner, UStringView target, UStringView directory) {
  return platform::ShellLaunch(owner, target, directory);
}

}  // namespace platform
