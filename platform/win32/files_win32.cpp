#include <windows.h>

#include <string>

#include "platform/files.h"

namespace platform {
namespace {

// Owns a kernel handle.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!valid()) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = nullptr;
    return ok != 0;
  }

 private:
  HANDLE h_;
};

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }

void SetError(UString* error, DWORD code) {
  if (error == nullptr) return;
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  UString text = n > 0 && buf != nullptr ? UString(buf, buf + n) : u"error " + IntToText(code);
  if (buf != nullptr) LocalFree(buf);
  *error = Trim(text);
}

}  // namespace

bool FileExists(UStringView path) {
  const DWORD attr = GetFileAttributesW(W(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadWholeFile(UStringView path, std::string* out, UString* error) {
  ScopedHandle h(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return SetError(error, GetLastError()), false;
  std::string data;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h.get(), buf, sizeof buf, &got, nullptr)) {
      return SetError(error, GetLastError()), false;
    }
    if (got == 0) break;
    data.append(buf, got);
  }
  *out = std::move(data);
  return true;
}

bool WriteWholeFile(UStringView path, std::string_view bytes, UString* error) {
  const std::wstring target = W(path);
  const std::wstring tmp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
  {
    ScopedHandle h(CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return SetError(error, GetLastError()), false;
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD written = 0;
      if (!WriteFile(h.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                     &written, nullptr)) {
        const DWORD code = GetLastError();
        h.Close();
        DeleteFileW(tmp.c_str());
        return SetError(error, code), false;
      }
      done += written;
    }
    if (!FlushFileBuffers(h.get()) || !h.Close()) {
      const DWORD code = GetLastError();
      DeleteFileW(tmp.c_str());
      return SetError(error, code), false;
    }
  }
  if (!MoveFileExW(tmp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(tmp.c_str());
    return SetError(error, code), false;
  }
  return true;
}

bool AppendToSharedFile(UStringView path, std::string_view bytes) {
  const std::wstring p = W(path);
  // An existing file is opened for reading and writing, a new one for
  // writing; others may read it meanwhile, never write it.
  ScopedHandle h(CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid() && GetLastError() == ERROR_FILE_NOT_FOUND) {
    ScopedHandle created(CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return created.valid() && [&] {
      DWORD written = 0;
      return WriteFile(created.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) && written == bytes.size() && created.Close();
    }();
  }
  if (!h.valid()) return false;
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(h.get(), zero, nullptr, FILE_END)) return false;
  DWORD written = 0;
  return WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && h.Close();
}

bool DeleteFileAt(UStringView path) { return DeleteFileW(W(path).c_str()) != 0; }

bool RenameNoReplace(UStringView from, UStringView to) {
  return MoveFileW(W(from).c_str(), W(to).c_str()) != 0;
}

bool CopyIntoPlace(UStringView from, UStringView to) {
  const std::wstring target = W(to);
  const std::wstring tmp = target + L".vorlo-" + std::to_wstring(GetCurrentProcessId());
  if (!CopyFileW(W(from).c_str(), tmp.c_str(), FALSE)) {
    DeleteFileW(tmp.c_str());
    return false;
  }
  if (!MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetFileAttributesW(tmp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(tmp.c_str());
    return false;
  }
  return true;
}

int64_t FileSizeOf(UStringView path) {
  ScopedHandle h(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!h.valid() || !GetFileSizeEx(h.get(), &size)) return 0;
  return size.QuadPart;
}

}  // namespace platform
