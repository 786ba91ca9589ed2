// The system calls of the Linux file layer (files_posix.cpp), reached through
// one table so that a test can make a single call fail exactly as the system
// would (EINTR, a short write, ENOSPC, EXDEV, a failing fsync or close, a
// refused rename or link) and see what the layer leaves on disk. The program
// never changes the table; a test changes an entry for the life of a
// ScopedFileCall, while no other thread uses the file layer.
//
//   ScopedFileCall<decltype(FileCalls::fsync)> fail(&FileCalls::fsync,
//       [](int) { errno = EIO; return -1; });
#pragma once

#include <sys/types.h>

namespace platform {

struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*mkostemps)(char* pattern, int suffix_length, int flags);
  ssize_t (*read)(int fd, void* buf, size_t count);
  ssize_t (*write)(int fd, const void* buf, size_t count);
  ssize_t (*copy_file_range)(int in, off_t* in_offset, int out, off_t* out_offset, size_t count,
                             unsigned int flags);
  int (*ftruncate)(int fd, off_t length);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*renameat2)(int from_dir, const char* from, int to_dir, const char* to, unsigned int flags);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// The table in force: the system's own calls unless a test changed one.
FileCalls& Calls();

// Replaces one entry of the table for the life of the object.
template <typename Fn>
class ScopedFileCall {
 public:
  ScopedFileCall(Fn FileCalls::*entry, Fn replacement) : entry_(entry), saved_(Calls().*entry) {
    Calls().*entry_ = replacement;
  }
  ~ScopedFileCall() { Calls().*entry_ = saved_; }
  ScopedFileCall(const ScopedFileCall&) = delete;
  ScopedFileCall& operator=(const ScopedFileCall&) = delete;

 private:
  Fn FileCalls::*entry_;
  Fn saved_;
};

}  // namespace platform
