#include <windows.h>

#include <shellapi.h>  // after windows.h

#include <string>

#include "platform/shell_launch.h"

namespace platform {

int ShellLaunch(void* owner, UStringView target, UStringView directory) {
  const std::wstring file(target.begin(), target.end());
  const std::wstring dir(directory.begin(), directory.end());
  const HINSTANCE result =
      ShellExecuteW(static_cast<HWND>(owner), nullptr, file.c_str(), L"", dir.c_str(), SW_SHOW);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform
