#include <windows.h>

#include "platform/module.h"
#include "tests/support/child.h"

namespace testing_support {
namespace {
std::wstring Widen(const std::string& s) {
  const platform::UString u = platform::Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  std::wstring cmd = L"\"" + Widen(program) + L"\"";
  for (const auto& a : args) cmd += L" \"" + Widen(a) + L"\"";
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

void CopyProgram(const std::string& from, const std::string& to) {
  CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE);
}

std::string ProgramFolder() { return platform::Utf16ToUtf8(platform::FolderOf(platform::ExecutablePath())); }

}  // namespace testing_support
