#include <windows.h>

#include <string>

#include "platform/module.h"
#include "platform/working_dir.h"

namespace platform {

UString ExecutablePath() {
  std::wstring buf(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return UString(buf.begin(), buf.begin() + n);
    buf.resize(buf.size() * 2);
  }
}

UString CurrentDirectory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring buf(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, buf.data());
  return UString(buf.begin(), buf.begin() + got);
}

}  // namespace platform
