// Files on Linux. Every system call that changes or reads a file goes through
// Calls() (file_calls.h), so that a test can make any one of them fail.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/posix/file_calls.h"
#include "platform/posix/scoped_fd.h"

namespace platform {

FileCalls& Calls() {
  static FileCalls calls = {
      [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
      ::mkostemps,
      ::read,
      ::write,
      [](int in, off_t* in_off, int out, off_t* out_off, size_t n, unsigned int flags) {
        return ::copy_file_range(in, in_off, out, out_off, n, flags);
      },
      ::ftruncate,
      ::fsync,
      ::syncfs,
      ::close,
      ::rename,
      ::renameat2,
      ::link,
      ::unlink,
  };
  return calls;
}

namespace {

std::string Native(UStringView path) { return PathToNative(path); }

void SetError(UString* error, int code) {
  if (error != nullptr) *error = Utf8ToUtf16(std::strerror(code));
}

bool IsRegular(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Closes through the table, so that a failing close can be tried; false with
// errno set when the close reports a failure.
bool CloseChecked(ScopedFd& fd) {
  if (!fd.valid()) return true;
  return Calls().close(fd.release()) == 0;
}

// Opens an existing regular file. Anything else counts as absent (ENOENT), and
// is never opened in a way that could block (a pipe without a writer) or
// that could start a device. Answers an invalid descriptor with errno set.
ScopedFd OpenRegular(const std::string& path, int flags, struct stat* st) {
  if (stat(path.c_str(), st) != 0) return ScopedFd();
  if (!S_ISREG(st->st_mode)) {
    errno = ENOENT;
    return ScopedFd();
  }
  ScopedFd fd;
  for (;;) {
    fd.reset(Calls().open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
    if (fd.valid() || errno != EINTR) break;
  }
  if (!fd.valid()) return fd;
  if (fstat(fd.get(), st) != 0) return ScopedFd();
  if (!S_ISREG(st->st_mode)) {
    errno = ENOENT;
    return ScopedFd();
  }
  // Regular files never block; the flag goes so that reads behave plainly.
  // F_SETFL takes only the status flags, which are those of `flags`.
  fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Writes all of `data`, going on after interruptions and short writes. False
// with errno set on failure (a write of nothing counts as a full disk).
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = Calls().write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int FsyncRetrying(int fd) {
  int rc;
  do rc = Calls().fsync(fd);
  while (rc != 0 && errno == EINTR);
  return rc;
}

// The folder part of a native path, "." when it has none.
std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new, empty temporary file in `folder`, locked while this program writes
// it so that another run's sweep passes it over. Answers the descriptor and
// its path, or an invalid descriptor with errno set.
ScopedFd CreateStaged(const std::string& folder, std::string* path) {
  std::string pattern = folder + "/" + Utf16ToUtf8(kStagedPrefix) +
                        std::string(kStagedRandomLength, 'X') + Utf16ToUtf8(kStagedSuffix);
  const int suffix = static_cast<int>(std::char_traits<char16_t>::length(kStagedSuffix));
  ScopedFd fd(Calls().mkostemps(pattern.data(), suffix, O_CLOEXEC));
  if (!fd.valid()) return fd;
  flock(fd.get(), LOCK_EX | LOCK_NB);
  *path = std::move(pattern);
  return fd;
}

bool IsNotSupported(int err) {
  return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF;
}

// Has the disk start writing what was copied into `fd` since *from, once it
// makes a whole piece; it does not wait. Only an early start: the flush
// before the file is used is what makes it durable.
void StartWriteBack(int fd, off_t* from, off_t copied, off_t piece) {
  if (copied - *from < piece) return;
  sync_file_range(fd, *from, copied - *from, SYNC_FILE_RANGE_WRITE);
  *from = copied;
}

// Copies `size` bytes from `in` to `out`, both at their start: the kernel
// copies where it can, else a plain read and write loop takes over from where
// it stopped. False with errno set; the source ending early is a failure.
//
// A large file goes in pieces, and the disk starts writing each piece as soon
// as it is copied: the flush that follows then waits for the last pieces
// only, instead of for the whole file after the copy.
bool CopyContent(int in, int out, off_t size) {
  constexpr off_t kPiece = off_t{8} << 20;
  off_t left = size;
  off_t written_back = 0;  // where the disk's writing has been started up to
  while (left > 0) {
    const ssize_t n = Calls().copy_file_range(in, nullptr, out, nullptr,
                                              static_cast<size_t>(std::min(left, kPiece)), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && !IsNotSupported(errno)) return false;
    if (n <= 0) break;
    left -= n;
    StartWriteBack(out, &written_back, size - left, kPiece);
  }
  if (left == 0) return true;
  // Where the kernel cannot copy between these files, copy by hand.
  if (lseek(in, size - left, SEEK_SET) < 0 || lseek(out, size - left, SEEK_SET) < 0) return false;
  std::string buf(1 << 20, '\0');
  while (left > 0) {
    const ssize_t n = Calls().read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;  // the source is shorter than it was
      return false;
    }
    if (!WriteAll(out, buf.data(), static_cast<size_t>(n))) return false;
    left -= n;
    StartWriteBack(out, &written_back, size - left, kPiece);
  }
  return true;
}

}  // namespace

bool FileExists(UStringView path) { return IsRegular(Native(path)); }

bool ReadWholeFile(UStringView path, std::string* out, UString* error) {
  struct stat st;
  ScopedFd fd = OpenRegular(Native(path), O_RDONLY, &st);
  if (!fd.valid()) return SetError(error, errno), false;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = Calls().read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SetError(error, errno), false;
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  *out = std::move(data);
  return true;
}

bool WriteWholeFile(UStringView path, std::string_view bytes, UString* error) {
  const std::string target = Native(path);
  std::string tmp;
  ScopedFd fd = CreateStaged(FolderPart(target), &tmp);
  if (!fd.valid()) return SetError(error, errno), false;
  // The new file gets the permissions a plain create would have given it.
  const mode_t mask = umask(0);
  umask(mask);
  const bool ok = WriteAll(fd.get(), bytes.data(), bytes.size()) &&
                  fchmod(fd.get(), 0666 & ~mask) == 0 && FsyncRetrying(fd.get()) == 0 &&
                  CloseChecked(fd) && Calls().rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) {
    SetError(error, errno);
    Calls().unlink(tmp.c_str());
  }
  return ok;
}

bool AppendToSharedFile(UStringView path, std::string_view bytes) {
  const std::string p = Native(path);
  // Something that is there but is no regular file (or a link to one) is
  // never opened; nor is a link to nothing, which the open would create.
  struct stat st;
  if (lstat(p.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !IsRegular(p)) return false;
  ScopedFd fd;
  for (;;) {
    fd.reset(Calls().open(p.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    if (fd.valid() || errno != EINTR) break;
  }
  if (!fd.valid()) return false;
  // Cooperating writers lock the file; one that holds it makes this line go.
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  // What was opened is a regular file (it may have been replaced since the
  // check above); under the lock nobody else appends, so its length now is
  // where the line starts, and a line that does not go in whole is taken out
  // again.
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (!WriteAll(fd.get(), bytes.data(), bytes.size())) {
    while (Calls().ftruncate(fd.get(), st.st_size) != 0 && errno == EINTR) {
    }
    return false;
  }
  return CloseChecked(fd);
}

bool DeleteFileAt(UStringView path) {
  const std::string p = Native(path);
  if (!IsRegular(p)) return false;
  // A read-only file cannot be deleted, as on Windows.
  if (access(p.c_str(), W_OK) != 0) return false;
  return Calls().unlink(p.c_str()) == 0;
}

bool RemoveName(UStringView path) { return Calls().unlink(Native(path).c_str()) == 0; }

bool RenameNoReplace(UStringView from, UStringView to) {
  const std::string f = Native(from);
  const std::string t = Native(to);
  if (Calls().renameat2(AT_FDCWD, f.c_str(), AT_FDCWD, t.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without RENAME_NOREPLACE: link refuses an existing name too.
  if (Calls().link(f.c_str(), t.c_str()) != 0) return false;
  if (Calls().unlink(f.c_str()) == 0) return true;
  Calls().unlink(t.c_str());
  return false;
}

namespace {

// StageCopy's work; with `flush`, it waits until the copy is on disk, else it
// only has the disk start writing it.
UString Stage(UStringView from, UStringView to, bool flush) {
  struct stat st;
  ScopedFd in = OpenRegular(Native(from), O_RDONLY, &st);
  if (!in.valid()) return {};
  std::string tmp;
  ScopedFd out = CreateStaged(FolderPart(Native(to)), &tmp);
  if (!out.valid()) return {};
  // Only the permission bits travel: a set-user-ID file of someone else's in
  // the download folder must not become a set-user-ID program of this user.
  const timespec times[2] = {st.st_atim, st.st_mtim};
  const bool ok = CopyContent(in.get(), out.get(), st.st_size) &&
                  fchmod(out.get(), st.st_mode & 0777) == 0 && futimens(out.get(), times) == 0 &&
                  (!flush || FsyncRetrying(out.get()) == 0) && CloseChecked(out);
  if (!ok) {
    out.reset();
    Calls().unlink(tmp.c_str());
    return {};
  }
  return PathFromNative(tmp);
}

}  // namespace

UString StageCopy(UStringView from, UStringView to) { return Stage(from, to, true); }

UString StageCopyUnflushed(UStringView from, UStringView to) { return Stage(from, to, false); }

std::vector<size_t> FlushStaged(const std::vector<UString>& staged) {
  // The disk has been writing each file since it was staged: one flush of
  // its file system waits for the rest of all of them at once, where a flush
  // per file would wait for the file system's journal once per file.
  // (A staged file lies in the folder of its target: the volume of a folder
  // is looked up once.)
  std::vector<size_t> failed;
  std::map<dev_t, std::vector<size_t>> by_volume;
  std::map<UString, dev_t> volume_of_folder;
  for (size_t i = 0; i < staged.size(); ++i) {
    const UString folder = FolderOf(staged[i]);
    auto known = volume_of_folder.find(folder);
    if (known == volume_of_folder.end()) {
      struct stat st;
      if (stat(Native(staged[i]).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        failed.push_back(i);
        continue;
      }
      known = volume_of_folder.emplace(folder, st.st_dev).first;
    }
    by_volume[known->second].push_back(i);
  }
  const auto flush_one = [](const UString& path) {
    struct stat st;
    ScopedFd fd = OpenRegular(Native(path), O_RDONLY, &st);
    return fd.valid() && FsyncRetrying(fd.get()) == 0 && CloseChecked(fd);
  };
  for (const auto& [volume, files] : by_volume) {
    struct stat st;
    ScopedFd fd = OpenRegular(Native(staged[files.front()]), O_RDONLY, &st);
    int rc = -1;
    if (fd.valid()) {
      do rc = Calls().syncfs(fd.get());
      while (rc != 0 && errno == EINTR);
    }
    if (rc == 0 && CloseChecked(fd)) continue;
    for (size_t i : files) {
      if (!flush_one(staged[i])) failed.push_back(i);
    }
  }
  std::sort(failed.begin(), failed.end());
  return failed;
}

bool FailedAsHeld() { return false; }

Backup KeepAsBackup(UStringView installed, UStringView backup) {
  const std::string i = Native(installed);
  const std::string b = Native(backup);
  if (Calls().link(i.c_str(), b.c_str()) == 0) return Backup::kLinked;
  if (errno == EEXIST || errno == ENOENT || errno == ENOTDIR) return Backup::kFailed;
  // No links here (a FAT volume, a file system that refuses them for this
  // file): the rename, which leaves a moment without the installed name.
  return RenameNoReplace(installed, backup) ? Backup::kRenamed : Backup::kFailed;
}

bool MoveIntoPlace(UStringView staged, UStringView to) {
  const std::string s = Native(staged);
  const std::string t = Native(to);
  // The content is on disk already (StageCopy), so whichever of the two
  // names a crash leaves, it names a whole file.
  return Calls().rename(s.c_str(), t.c_str()) == 0;
}

void RemoveStaleStaged(UStringView folder) {
  const std::string f = folder.empty() ? std::string(".") : Native(folder);
  ScopedDir dir(opendir(f.c_str()));
  if (!dir.valid()) return;
  while (dirent* e = readdir(dir.get())) {
    if (!IsStagedName(Utf8ToUtf16(e->d_name))) continue;
    // Only a regular file that no running program holds locked: the lock
    // goes with its holder, also when the holder is killed.
    ScopedFd fd(openat(dirfd(dir.get()), e->d_name,
                       O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    unlinkat(dirfd(dir.get()), e->d_name, 0);
  }
}

UString FileIdentity(UStringView path) {
  struct stat st;
  if (lstat(Native(path).c_str(), &st) != 0) return {};
  return IntToText(static_cast<long long>(st.st_dev)) + u":" +
         IntToText(static_cast<long long>(st.st_ino));
}

int64_t FileSizeOf(UStringView path) {
  // The size needs no open: stat follows links and tells a regular file.
  struct stat st;
  if (stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

FileReader::~FileReader() { Close(); }

void FileReader::Close() {
  if (handle_ >= 0) ScopedFd closing(static_cast<int>(handle_));
  handle_ = -1;
}

bool FileReader::Open(UStringView path, UString* error) {
  Close();
  struct stat st;
  ScopedFd fd = OpenRegular(Native(path), O_RDONLY, &st);
  if (!fd.valid()) return SetError(error, errno), false;
  handle_ = fd.release();
  return true;
}

int64_t FileReader::Read(char* buffer, size_t size, UString* error) {
  for (;;) {
    const ssize_t n = Calls().read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno != EINTR) return SetError(error, errno), -1;
  }
}

}  // namespace platform
