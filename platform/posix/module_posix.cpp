#include <limits.h>
#include <unistd.h>

#include <string>

#include "platform/module.h"
#include "platform/working_dir.h"

namespace platform {

UString ExecutablePath() {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  return PathFromNative(buf);
}

UString CurrentDirectory() {
  std::string buf(PATH_MAX, '\0');
  if (getcwd(buf.data(), buf.size()) == nullptr) return {};
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return PathFromNative(buf);
}

}  // namespace platform
