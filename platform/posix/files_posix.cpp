#include <errno.h>
#include <fcntl.h>
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

}  // namespace platform
