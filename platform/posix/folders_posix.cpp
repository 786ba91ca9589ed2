// Folders on Linux.
#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/folders.h"
#include "platform/system_error.h"

namespace platform {
namespace {

void SetError(UString* error, int code) {
  if (error != nullptr) *error = SystemErrorText(static_cast<int>(code));
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

bool ListFolder(UStringView folder, std::vector<FolderEntry>* out, UString* error) {
  std::string path = PathToNative(folder);
  if (path.empty()) path = ".";
  if (path.back() != '/') path.push_back('/');
  std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
  if (!dir) {
    SetError(error, errno);
    return false;
  }
  std::vector<FolderEntry> entries;
  errno = 0;
  while (const dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat own, target;
    FolderEntry::Kind kind = FolderEntry::kOther;
    if (lstat((path + name).c_str(), &own) == 0) {
      if (S_ISDIR(own.st_mode)) {
        kind = FolderEntry::kFolder;
      } else if (stat((path + name).c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
        kind = FolderEntry::kFile;
      }
    }
    entries.push_back({PathFromNative(name), kind});
    errno = 0;
  }
  if (errno != 0) {
    SetError(error, errno);
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  *out = std::move(entries);
  return true;
}

bool FolderExists(UStringView path) {
  struct stat st;
  return stat(PathToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(UStringView path, UString* error) {
  std::string p = PathToNative(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || FolderExists(path)) return true;
  // Each folder from the top down; one that exists already is fine.
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != '/') continue;
    const std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      SetError(error, errno);
      return false;
    }
  }
  if (!FolderExists(path)) {
    SetError(error, ENOTDIR);
    return false;
  }
  return true;
}

}  // namespace platform
