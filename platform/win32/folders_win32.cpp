// Folders on Windows.
#include <algorithm>
#include <string>

#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/win32/scoped_handle.h"

namespace platform {
namespace {

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }

void SetError(UString* error, DWORD code) {
  if (error != nullptr) *error = SystemErrorText(static_cast<int>(code));
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool ListFolder(UStringView folder, std::vector<FolderEntry>* out, UString* error) {
  std::wstring pattern = W(folder);
  if (!pattern.empty() && !IsSeparator(pattern.back())) pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW data;
  ScopedFindHandle search(
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!search.valid()) {
    SetError(error, GetLastError());
    return false;
  }
  std::vector<FolderEntry> entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD a = data.dwFileAttributes;
    FolderEntry::Kind kind = FolderEntry::kFile;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
      kind = FolderEntry::kOther;  // a link or a mount point: not followed
    } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
      kind = FolderEntry::kFolder;
    } else if (a & FILE_ATTRIBUTE_DEVICE) {
      kind = FolderEntry::kOther;
    }
    entries.push_back({UString(name.begin(), name.end()), kind});
  } while (FindNextFileW(search.get(), &data));
  const DWORD last = GetLastError();
  if (last != ERROR_NO_MORE_FILES) {
    SetError(error, last);
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  *out = std::move(entries);
  return true;
}

bool FolderExists(UStringView path) {
  const DWORD a = GetFileAttributesW(W(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(UStringView path, UString* error) {
  std::wstring p = W(path);
  while (p.size() > 1 && IsSeparator(p.back()) && p[p.size() - 2] != L':') p.pop_back();
  if (p.empty() || FolderExists(path)) return true;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && !IsSeparator(p[i])) continue;
    const std::wstring part = p.substr(0, i);
    if (part.size() == 2 && part[1] == L':') continue;  // a drive
    if (!CreateDirectoryW(part.c_str(), nullptr)) {
      const DWORD e = GetLastError();
      if (e != ERROR_ALREADY_EXISTS && e != ERROR_ACCESS_DENIED) {
        SetError(error, e);
        return false;
      }
    }
  }
  if (!FolderExists(path)) {
    SetError(error, ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

}  // namespace platform
