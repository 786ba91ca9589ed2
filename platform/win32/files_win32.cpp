// Files on Windows, by wide path.
#include <string>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/win32/scoped_handle.h"

namespace platform {
namespace {

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

// A handle on a file of the disk: a console, a printer port or a pipe
// (CON, LPT1, \\.\pipe\x) is no file here. Keeps the last error.
bool IsDiskFile(HANDLE h) {
  const DWORD saved = GetLastError();
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  SetLastError(disk ? saved : ERROR_FILE_NOT_FOUND);
  return disk;
}

// Opens an existing file of the disk; an invalid handle with the last error
// set otherwise.
HANDLE OpenDiskFile(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
  ScopedHandle h(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!h.valid() || IsDiskFile(h.get())) return h.release();
  h.reset();
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE h, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Six letters or digits that differ from call to call and from process to
// process.
std::wstring RandomPart() {
  static LONG counter = 0;
  uint64_t x = GetTickCount64() ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
               (static_cast<uint64_t>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ull);
  // splitmix64's finaliser spreads every input bit over the output.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static const wchar_t kDigits[] =
      L"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::wstring out;
  for (size_t i = 0; i < kStagedRandomLength; ++i) {
    out.push_back(kDigits[x % 62]);
    x /= 62;
  }
  return out;
}

// A new temporary file in `folder` (empty, or ending with a separator), open
// for writing and shared with nobody, so that no sweep can remove it while
// this program writes it.
HANDLE CreateStaged(const UString& folder, std::wstring* path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring p = W(folder) + W(kStagedPrefix) + RandomPart() + W(kStagedSuffix);
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      *path = std::move(p);
      return h;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool FileExists(UStringView path) {
  const std::wstring p = W(path);
  const DWORD attr = GetFileAttributesW(p.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  // Asking for no access at all conflicts with no other program's sharing,
  // so a file held exclusively still counts.
  ScopedHandle h(OpenDiskFile(p, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
  return h.valid();
}

bool ReadWholeFile(UStringView path, std::string* out, UString* error) {
  ScopedHandle h(OpenDiskFile(W(path), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL));
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
  std::wstring tmp;
  ScopedHandle h(CreateStaged(FolderOf(path), &tmp));
  if (!h.valid()) return SetError(error, GetLastError()), false;
  const bool ok =
      WriteAll(h.get(), bytes.data(), bytes.size()) && FlushFileBuffers(h.get()) && h.Close() &&
      MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    const DWORD code = GetLastError();
    h.Close();
    DeleteFileW(tmp.c_str());
    SetError(error, code);
  }
  return ok;
}

bool AppendToSharedFile(UStringView path, std::string_view bytes) {
  const std::wstring p = W(path);
  // An existing file is opened for reading and writing, a new one for
  // writing; others may read it meanwhile, never write it.
  ScopedHandle h(
      OpenDiskFile(p, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL));
  if (!h.valid() && GetLastError() == ERROR_FILE_NOT_FOUND &&
      GetFileAttributesW(p.c_str()) == INVALID_FILE_ATTRIBUTES) {
    h.reset(CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.valid() && !IsDiskFile(h.get())) return false;
  }
  if (!h.valid()) return false;
  LARGE_INTEGER start = {};
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(h.get(), zero, &start, FILE_END)) return false;
  if (!WriteAll(h.get(), bytes.data(), bytes.size())) {
    // A line goes in whole or not at all.
    if (SetFilePointerEx(h.get(), start, nullptr, FILE_BEGIN)) SetEndOfFile(h.get());
    return false;
  }
  return h.Close();
}

bool DeleteFileAt(UStringView path) {
  return FileExists(path) && DeleteFileW(W(path).c_str()) != 0;
}

bool RemoveName(UStringView path) { return DeleteFileW(W(path).c_str()) != 0; }

bool RenameNoReplace(UStringView from, UStringView to) {
  return MoveFileW(W(from).c_str(), W(to).c_str()) != 0;
}

namespace {

// StageCopy's work; with `flush`, it waits until the copy is on disk.
UString Stage(UStringView from, UStringView to, bool flush) {
  ScopedHandle in(OpenDiskFile(W(from), GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
  if (!in.valid()) return {};
  std::wstring tmp;
  ScopedHandle out(CreateStaged(FolderOf(to), &tmp));
  if (!out.valid()) return {};
  bool ok = true;
  std::string buf(1 << 20, '\0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in.get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteAll(out.get(), buf.data(), got)) {
      ok = false;
      break;
    }
  }
  FILETIME created, accessed, written;
  ok = ok && GetFileTime(in.get(), &created, &accessed, &written) &&
       SetFileTime(out.get(), nullptr, &accessed, &written) &&
       (!flush || FlushFileBuffers(out.get())) && out.Close();
  if (!ok) {
    out.Close();
    DeleteFileW(tmp.c_str());
    return {};
  }
  return UString(tmp.begin(), tmp.end());
}

}  // namespace

UString StageCopy(UStringView from, UStringView to) { return Stage(from, to, true); }

UString StageCopyUnflushed(UStringView from, UStringView to) { return Stage(from, to, false); }

std::vector<size_t> FlushStaged(const std::vector<UString>& staged) {
  // Windows flushes a whole volume only for its administrators: one file at
  // a time, each written already since it was staged.
  std::vector<size_t> failed;
  for (size_t i = 0; i < staged.size(); ++i) {
    ScopedHandle h(
        OpenDiskFile(W(staged[i]), GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL));
    if (!h.valid() || !FlushFileBuffers(h.get()) || !h.Close()) failed.push_back(i);
  }
  return failed;
}

bool FailedAsHeld() {
  const DWORD code = GetLastError();
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_ACCESS_DENIED;
}

Backup KeepAsBackup(UStringView installed, UStringView backup) {
  const std::wstring i = W(installed);
  const std::wstring b = W(backup);
  if (CreateHardLinkW(b.c_str(), i.c_str(), nullptr)) return Backup::kLinked;
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS || code == ERROR_FILE_NOT_FOUND ||
      code == ERROR_PATH_NOT_FOUND) {
    return Backup::kFailed;
  }
  // No links on this volume (FAT): the rename, which leaves a moment without
  // the installed name.
  return MoveFileW(i.c_str(), b.c_str()) ? Backup::kRenamed : Backup::kFailed;
}

bool MoveIntoPlace(UStringView staged, UStringView to) {
  const std::wstring s = W(staged);
  const std::wstring t = W(to);
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(s.c_str(), t.c_str(), kFlags)) return true;
  // Windows refuses to replace a read-only file. The installed file has its
  // backup name already, so it may lose the mark for the moment of the move;
  // it gets it back when the move is refused all the same.
  const DWORD code = GetLastError();
  const DWORD attr = GetFileAttributesW(t.c_str());
  if (code != ERROR_ACCESS_DENIED || attr == INVALID_FILE_ATTRIBUTES ||
      (attr & FILE_ATTRIBUTE_READONLY) == 0 ||
      !SetFileAttributesW(t.c_str(), attr & ~FILE_ATTRIBUTE_READONLY)) {
    SetLastError(code);
    return false;
  }
  if (MoveFileExW(s.c_str(), t.c_str(), kFlags)) return true;
  const DWORD again = GetLastError();
  SetFileAttributesW(t.c_str(), attr);
  SetLastError(again);
  return false;
}

void RemoveStaleStaged(UStringView folder) {
  WIN32_FIND_DATAW found;
  ScopedFindHandle find(FindFirstFileW((W(folder) + L"*").c_str(), &found));
  if (!find.valid()) return;
  do {
    const UString name(found.cFileName, found.cFileName + wcslen(found.cFileName));
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsStagedName(name)) continue;
    // A file that a running program still writes is open without sharing,
    // so its deletion is refused.
    DeleteFileW((W(folder) + found.cFileName).c_str());
  } while (FindNextFileW(find.get(), &found));
}

UString FileIdentity(UStringView path) {
  // No access asked for: no other program's sharing stands in the way.
  ScopedHandle h(CreateFileW(
      W(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) return {};
  const uint64_t index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return IntToText(static_cast<long long>(info.dwVolumeSerialNumber)) + u":" +
         IntToText(static_cast<long long>(index));
}

int64_t FileSizeOf(UStringView path) {
  ScopedHandle h(OpenDiskFile(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              FILE_ATTRIBUTE_NORMAL));
  LARGE_INTEGER size;
  if (!h.valid() || !GetFileSizeEx(h.get(), &size)) return 0;
  return size.QuadPart;
}

FileReader::~FileReader() { Close(); }

void FileReader::Close() {
  if (handle_ != -1) ScopedHandle closing(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool FileReader::Open(UStringView path, UString* error) {
  Close();
  ScopedHandle h(OpenDiskFile(W(path), GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
  if (!h.valid()) return SetError(error, GetLastError()), false;
  handle_ = reinterpret_cast<intptr_t>(h.release());
  return true;
}

int64_t FileReader::Read(char* buffer, size_t size, UString* error) {
  const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, chunk, &got, nullptr)) {
    return SetError(error, GetLastError()), -1;
  }
  return got;
}

}  // namespace platform
