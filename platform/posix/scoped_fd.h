// Owners of POSIX handles: a file descriptor and a directory stream. Each is
// move-only and closes what it owns in its destructor, so no path forgets it.
//
//   ScopedFd fd(open(path, O_RDONLY | O_CLOEXEC));
//   if (!fd.valid()) return false;
//   ...
//   if (!fd.Close()) return false;  // a close that reports a write failure
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace platform {

class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }
  // Closes what it owns (errors ignored) and takes `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; false, with errno set, when the close reports a failure
  // (on some file systems the last write error shows only here).
  bool Close() {
    if (fd_ < 0) return true;
    return ::close(release()) == 0;
  }

 private:
  int fd_;
};

class ScopedDir {
 public:
  explicit ScopedDir(DIR* dir = nullptr) : dir_(dir) {}
  ScopedDir(ScopedDir&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
  ScopedDir& operator=(ScopedDir&& other) noexcept {
    if (this != &other) {
      if (dir_ != nullptr) ::closedir(dir_);
      dir_ = std::exchange(other.dir_, nullptr);
    }
    return *this;
  }
  ScopedDir(const ScopedDir&) = delete;
  ScopedDir& operator=(const ScopedDir&) = delete;
  ~ScopedDir() {
    if (dir_ != nullptr) ::closedir(dir_);
  }

  DIR* get() const { return dir_; }
  bool valid() const { return dir_ != nullptr; }

 private:
  DIR* dir_;
};

}  // namespace platform
