#include "platform/module.h"
#include "platform/win32/scoped_handle.h"
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

struct ChildProcess::Impl {
  platform::ScopedHandle process;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : impl_(std::make_unique<Impl>()) {
  std::wstring cmd = Quoted(Widen(program));
  for (const auto& a : args) cmd += L" " + Quoted(Widen(a));
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    const platform::ScopedHandle thread(pi.hThread);
    impl_->process.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
  }
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Started() const { return impl_->process.valid(); }

void ChildProcess::Kill() {
  if (!impl_->process.valid()) return;
  TerminateProcess(impl_->process.get(), 9);
  WaitForSingleObject(impl_->process.get(), 10000);
  impl_->process.reset();
}

int ChildProcess::Wait() {
  if (!impl_->process.valid()) return -1;
  WaitForSingleObject(impl_->process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(impl_->process.get(), &code);
  impl_->process.reset();
  return static_cast<int>(code);
}

void ChildProcess::WaitUntilEndedUncollected() {
  if (impl_->process.valid()) WaitForSingleObject(impl_->process.get(), INFINITE);
}

void CopyProgram(const std::string& from, const std::string& to) {
  CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE);
}

std::string ProgramFolder() {
  return platform::Utf16ToUtf8(platform::FolderOf(platform::ExecutablePath()));
}

}  // namespace testing_support
