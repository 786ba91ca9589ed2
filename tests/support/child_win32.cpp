#include <windows.h>

#include "platform/module.h"
#include "tests/support/child.h"

namespace testing_support {
namespace {
std::wstring Widen(const std::string& s) {
  const platform::UString u = platform::Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

// One argument between quotes as the C runtime reads it back: backslashes
// before a quote (or before the closing quote) are doubled, a quote escaped.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  std::wstring cmd = Quoted(Widen(program));
  for (const auto& a : args) cmd += L" " + Quoted(Widen(a));
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    handle_ = pi.hProcess;
    pid_ = pi.dwProcessId;
  }
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Started() const { return handle_ != nullptr; }

void ChildProcess::Kill() {
  if (handle_ == nullptr) return;
  TerminateProcess(static_cast<HANDLE>(handle_), 9);
  WaitForSingleObject(static_cast<HANDLE>(handle_), 10000);
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

int ChildProcess::Wait() {
  if (handle_ == nullptr) return -1;
  WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(static_cast<HANDLE>(handle_), &code);
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  return static_cast<int>(code);
}

void ChildProcess::WaitUntilEndedUncollected() {
  if (handle_ != nullptr) WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE);
}

void CopyProgram(const std::string& from, const std::string& to) {
  CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE);
}

std::string ProgramFolder() { return platform::Utf16ToUtf8(platform::FolderOf(platform::ExecutablePath())); }

}  // namespace testing_support
