// Scratch places for tests: a configuration hive and folders that are the
// test's own, never the user's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"

namespace testing_support {

// A fresh, empty configuration hive for the life of the object.
// Linux: XDG_CONFIG_HOME points at a new temporary folder.
// Windows: HKEY_CURRENT_USER\Software\Vorlo is deleted before and after; this
// is allowed only inside the test prefix that tests/wine-run makes (it sets
// VORLO_TEST_SCRATCH_HIVE), and Usable() is false elsewhere.
class ScratchHive {
 public:
  ScratchHive();
  ~ScratchHive();
  ScratchHive(const ScratchHive&) = delete;
  ScratchHive& operator=(const ScratchHive&) = delete;

  bool Usable() const { return usable_; }
  // Linux: the database file; Windows: empty.
  std::string File() const;

 private:
  bool usable_ = false;
  std::string dir_;
  std::string old_xdg_;
  bool had_xdg_ = false;
};

// A new empty temporary folder, removed with everything in it by the
// destructor. Path() ends without a separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Holds a file open for writing, as another program would, so that
// nobody else may write it (Linux: an exclusive lock on it).
class ExclusiveWriter {
 public:
  explicit ExclusiveWriter(const std::string& path);
  ~ExclusiveWriter();
  ExclusiveWriter(const ExclusiveWriter&) = delete;
  ExclusiveWriter& operator=(const ExclusiveWriter&) = delete;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// path + separator + name.
std::string Join(const std::string& path, const std::string& name);
void MakeDir(const std::string& path);
bool PathExists(const std::string& path);
// The names in a folder, sorted, without . and ..
std::vector<std::string> ListDir(const std::string& path);
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);

// Linux only: files that are no regular files, and a file's mode and
// identity. Each answers false when the system refuses.
bool MakeFifo(const std::string& path);
bool MakeSymlink(const std::string& target, const std::string& path);
bool SetMode(const std::string& path, unsigned mode);
struct FileIdentity {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  unsigned long long links = 0;
  unsigned mode = 0;  // the permission bits with set-user-ID, set-group-ID, sticky
};
bool Identify(const std::string& path, FileIdentity* out);

// Test text: UTF-8 to UTF-16.
inline platform::UString U(const std::string& s) { return platform::Utf8ToUtf16(s); }

}  // namespace testing_support
