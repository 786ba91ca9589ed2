#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/hive.h"
#include "platform/win32/scoped_handle.h"
#include "tests/support/scratch.h"

namespace testing_support {
namespace {

std::wstring Widen(const std::string& s) {
  const platform::UString u = platform::Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  {
    platform::ScopedFindHandle h(FindFirstFileW((path + L"\\*").c_str(), &fd));
    if (h.valid()) {
      do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = path + L"\\" + name;
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(full);
        } else {
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(h.get(), &fd));
    }
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

TempDir::TempDir() {
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0) throw std::runtime_error("GetTempPathW failed");
  static unsigned counter = 0;
  for (;;) {
    const std::wstring candidate = std::wstring(base) + L"vorlo-test-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++counter);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = platform::Utf16ToUtf8(platform::UString(candidate.begin(), candidate.end()));
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("CreateDirectoryW failed");
  }
}

TempDir::~TempDir() { RemoveTree(Widen(path_)); }

void SetEnv(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
  _putenv((name + "=" + value).c_str());
}

void UnsetEnv(const std::string& name) {
  SetEnvironmentVariableW(Widen(name).c_str(), nullptr);
  _putenv((name + "=").c_str());
}

ScratchHive::ScratchHive() {
  usable_ = std::getenv("VORLO_TEST_SCRATCH_HIVE") != nullptr;
  if (usable_) platform::Hive().DeleteTree(u"Software\\Vorlo");
}

ScratchHive::~ScratchHive() {
  if (usable_) platform::Hive().DeleteTree(u"Software\\Vorlo");
}

std::string ScratchHive::File() const { return {}; }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(Widen(path).c_str(), std::ios::binary | std::ios::trunc);
  f << bytes;
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(Widen(path).c_str(), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct ExclusiveWriter::Impl {
  platform::ScopedHandle file;
};

ExclusiveWriter::ExclusiveWriter(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->file.reset(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

ExclusiveWriter::~ExclusiveWriter() = default;

std::string Join(const std::string& path, const std::string& name) { return path + "\\" + name; }
void MakeDir(const std::string& path) { CreateDirectoryW(Widen(path).c_str(), nullptr); }
bool PathExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW fd;
  platform::ScopedFindHandle h(FindFirstFileW((Widen(path) + L"\\*").c_str(), &fd));
  if (h.valid()) {
    do {
      const std::wstring n = fd.cFileName;
      if (n != L"." && n != L"..") {
        names.push_back(platform::Utf16ToUtf8(platform::UString(n.begin(), n.end())));
      }
    } while (FindNextFileW(h.get(), &fd));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
