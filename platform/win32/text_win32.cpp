// Code page and case mapping on Windows: the ANSI code page and CharUpperBuffW.
#include <windows.h>

#include "platform/text.h"

namespace platform {

UString AnsiToUtf16(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return Cp1252ToUtf16(bytes);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return UString(w.begin(), w.end());
}

std::string Utf16ToAnsi(UStringView text) {
  if (text.empty()) return {};
  const std::wstring w(text.begin(), text.end());
  // The default character of the code page stands in for what it lacks.
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

UString UpperCase(UStringView text) {
  std::wstring w(text.begin(), text.end());
  if (!w.empty()) CharUpperBuffW(w.data(), static_cast<DWORD>(w.size()));
  return UString(w.begin(), w.end());
}

}  // namespace platform
