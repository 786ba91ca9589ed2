#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/time.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/files.h"

namespace platform {
namespace {

// Owns a file descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { Close(); }
  int get() const { return fd_; }
  // Closes now; false (with errno) when the close reports a failure.
  bool Close() {
    if (fd_ < 0) return true;
    const int rc = close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

std::string Native(UStringView path) { return Utf16ToUtf8(path); }

void SetError(UString* error, int code) {
  if (error != nullptr) *error = Utf8ToUtf16(std::strerror(code));
}

}  // namespace

bool FileExists(UStringView path) {
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool ReadWholeFile(UStringView path, std::string* out, UString* error) {
  ScopedFd fd(open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return SetError(error, errno), false;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buf, sizeof buf);
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
  std::string tmp = target + ".tmpXXXXXX";
  ScopedFd fd(mkostemp(tmp.data(), O_CLOEXEC));
  if (fd.get() < 0) return SetError(error, errno), false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetError(error, errno);
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  // The new file keeps the permissions a plain create would have given it.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd.get(), 0666 & ~mask);
  if (fsync(fd.get()) != 0 || !fd.Close() || rename(tmp.c_str(), target.c_str()) != 0) {
    SetError(error, errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool AppendToSharedFile(UStringView path, std::string_view bytes) {
  ScopedFd fd(open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  // Cooperating writers lock the file; one that holds it makes this line go.
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fd.Close();
}

bool DeleteFileAt(UStringView path) {
  struct stat st;
  const std::string p = Native(path);
  if (stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  // A read-only file cannot be deleted, as on Windows.
  if (access(p.c_str(), W_OK) != 0) return false;
  return unlink(p.c_str()) == 0;
}

bool RenameNoReplace(UStringView from, UStringView to) {
  const std::string f = Native(from);
  const std::string t = Native(to);
  if (renameat2(AT_FDCWD, f.c_str(), AT_FDCWD, t.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without RENAME_NOREPLACE: link refuses an existing name too.
  if (link(f.c_str(), t.c_str()) != 0) return false;
  return unlink(f.c_str()) == 0 || (unlink(t.c_str()), false);
}

bool CopyIntoPlace(UStringView from, UStringView to) {
  const std::string target = Native(to);
  ScopedFd in(open(Native(from).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (in.get() < 0 || fstat(in.get(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  std::string tmp = target + ".vorlo-XXXXXX";
  ScopedFd out(mkostemp(tmp.data(), O_CLOEXEC));
  if (out.get() < 0) return false;
  bool ok = true;
  off_t left = st.st_size;
  while (ok && left > 0) {
    const ssize_t n = copy_file_range(in.get(), nullptr, out.get(), nullptr,
                                      static_cast<size_t>(left), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    left -= n;
  }
  // Where the kernel cannot copy between these files, copy by hand.
  if (left > 0 && lseek(in.get(), st.st_size - left, SEEK_SET) >= 0) {
    std::string buf(1 << 20, '\0');
    while (ok && left > 0) {
      const ssize_t n = read(in.get(), buf.data(), buf.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      for (ssize_t done = 0; done < n;) {
        const ssize_t w = write(out.get(), buf.data() + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
          ok = false;
          break;
        }
        done += w;
      }
      left -= n;
    }
  }
  ok = ok && left == 0;
  if (ok) {
    fchmod(out.get(), st.st_mode & 07777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.get(), times);
  }
  ok = out.Close() && ok;
  if (!ok || rename(tmp.c_str(), target.c_str()) != 0) {
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

int64_t FileSizeOf(UStringView path) {
  ScopedFd fd(open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace platform
