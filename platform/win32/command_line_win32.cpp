#include <windows.h>

#include <shellapi.h>  // after windows.h

#include <iostream>
#include <string>

#include "platform/command_line.h"

namespace platform {
namespace {

void Write(DWORD which, UStringView text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode;
  if (GetConsoleMode(h, &mode)) {
    const std::wstring w(text.begin(), text.end());
    DWORD written;
    WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &written, nullptr);
    return;
  }
  const std::string bytes = Utf16ToUtf8(text);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

}  // namespace

std::vector<UString> CommandLineArguments(int, char**) {
  std::vector<UString> args;
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (argv == nullptr) return args;
  for (int i = 1; i < n; ++i) {
    const std::wstring a = argv[i];
    args.emplace_back(a.begin(), a.end());
  }
  LocalFree(argv);
  return args;
}

void PrintOut(UStringView text) { Write(STD_OUTPUT_HANDLE, text); }
void PrintErr(UStringView text) { Write(STD_ERROR_HANDLE, text); }

bool StdinIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool ReadStdinLine(UString* line) {
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode;
  if (GetConsoleMode(h, &mode)) {
    std::wstring w;
    wchar_t c;
    DWORD got;
    while (ReadConsoleW(h, &c, 1, &got, nullptr) && got == 1) {
      if (c == L'\n') {
        if (!w.empty() && w.back() == L'\r') w.pop_back();
        *line = UString(w.begin(), w.end());
        return true;
      }
      w.push_back(c);
    }
    return false;
  }
  std::string s;
  if (!std::getline(std::cin, s)) return false;
  if (!s.empty() && s.back() == '\r') s.pop_back();
  *line = Utf8ToUtf16(s);
  return true;
}

}  // namespace platform
