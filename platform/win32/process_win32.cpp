// Processes on Windows: a named file mapping on the paging file, a Toolhelp
// snapshot of all processes, and ShellExecuteW.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>

#include "platform/exception.h"
#include "platform/process.h"

namespace platform {
namespace {

// Owns a kernel handle.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h = nullptr) : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (valid()) CloseHandle(h_);
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }

HANDLE CreateMapping(UStringView path) {
  return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                            W(RunningObjectName(path)).c_str());
}

}  // namespace

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

bool ProcessExists(UStringView name) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  if (!Process32FirstW(snapshot.get(), &entry)) return false;
  const UString wanted = AsciiUpperCase(name);
  bool found = false;
  do {
    const std::wstring exe = entry.szExeFile;
    const UString e(exe.begin(), exe.end());
    const size_t sep = e.find_last_of(u"\\:");
    const UString file = sep == UString::npos ? e : e.substr(sep + 1);
    if (AsciiUpperCase(file) == wanted || AsciiUpperCase(e) == wanted) found = true;
  } while (Process32NextW(snapshot.get(), &entry));
  return found;
}

bool IsApplicationRunning(UStringView path) {
  ScopedHandle mapping(CreateMapping(path));
  if (mapping.get() == nullptr) throw Exception(SystemErrorMessage(static_cast<int>(GetLastError())));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return true;
  return ProcessExists(u"vorlo.exe");
}

struct RunningMarker::Impl {
  HANDLE mapping = nullptr;
};

RunningMarker::RunningMarker(UStringView path) : impl_(std::make_unique<Impl>()) {
  impl_->mapping = CreateMapping(path);
}

RunningMarker::~RunningMarker() {
  if (impl_->mapping != nullptr) CloseHandle(impl_->mapping);
}

bool RunningMarker::Held() const { return impl_->mapping != nullptr; }

int ShellLaunch(void* owner, UStringView target, UStringView directory) {
  const std::wstring file = W(target);
  const std::wstring dir = W(directory);
  const HINSTANCE result = ShellExecuteW(static_cast<HWND>(owner), nullptr, file.c_str(), L"",
                                         dir.c_str(), SW_SHOW);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform
