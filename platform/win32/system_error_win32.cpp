#include <windows.h>

#include "platform/system_error.h"

namespace platform {

UString SystemErrorText(int code) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  UString text = n > 0 && buf != nullptr ? UString(buf, buf + n) : UString();
  if (buf != nullptr) LocalFree(buf);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  return text;
}

}  // namespace platform
