#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/posix/scoped_fd.h"
#include "tests/support/scratch.h"

namespace testing_support {

TempDir::TempDir() {
  std::string tmpl =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vorlo-test.XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  nftw(
      path_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); },
      16, FTW_DEPTH | FTW_PHYS);
}

void SetEnv(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

ScratchHive::ScratchHive() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  had_xdg_ = xdg != nullptr;
  if (had_xdg_) old_xdg_ = xdg;
  char tmpl[] = "/tmp/vorlo-hive.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return;
  dir_ = tmpl;
  SetEnv("XDG_CONFIG_HOME", dir_);
  usable_ = true;
}

ScratchHive::~ScratchHive() {
  if (had_xdg_) {
    SetEnv("XDG_CONFIG_HOME", old_xdg_);
  } else {
    UnsetEnv("XDG_CONFIG_HOME");
  }
  if (!dir_.empty()) {
    nftw(
        dir_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); },
        16, FTW_DEPTH | FTW_PHYS);
  }
}

std::string ScratchHive::File() const { return dir_ + "/vorlo/registry.db"; }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct ExclusiveWriter::Impl {
  platform::ScopedFd fd;
};

ExclusiveWriter::ExclusiveWriter(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->fd.reset(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (impl_->fd.valid()) flock(impl_->fd.get(), LOCK_EX);
}

ExclusiveWriter::~ExclusiveWriter() = default;

std::string Join(const std::string& path, const std::string& name) { return path + "/" + name; }
void MakeDir(const std::string& path) { mkdir(path.c_str(), 0755); }
bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  const platform::ScopedDir d(opendir(path.c_str()));
  while (d.valid()) {
    const dirent* e = readdir(d.get());
    if (e == nullptr) break;
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }

bool MakeSymlink(const std::string& target, const std::string& path) {
  return symlink(target.c_str(), path.c_str()) == 0;
}

bool SetMode(const std::string& path, unsigned mode) {
  return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool Identify(const std::string& path, FileIdentity* out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  out->device = st.st_dev;
  out->inode = st.st_ino;
  out->links = st.st_nlink;
  out->mode = st.st_mode & 07777;
  return true;
}

}  // namespace testing_support
