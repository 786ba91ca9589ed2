// The system calls of the Linux file layer (files_posix.cpp), reached through
// one table so that a test can make a single call fail exactly as the system
// would (EINTR, a short write, ENOSPC, EXDEV, a failing fsync, syncfs or close, a
// refused rename or link) and see what the layer leaves on disk. The program
// never changes the table; a test saves it, puts wrappers in, and restores
// it before anything else uses the file layer (tests/exchange_faults_test.cpp).
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
  int (*syncfs)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*renameat2)(int from_dir, const char* from, int to_dir, const char* to, unsigned int flags);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// The table in force: the system's own calls unless a test changed one.
FileCalls& Calls();

}  // namespace platform
