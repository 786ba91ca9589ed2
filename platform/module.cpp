#include "platform/module.h"

namespace platform {

UString FolderOf(UStringView path) {
#ifdef _WIN32
  const size_t pos = path.find_last_of(u"\\/:");
#else
  const size_t pos = path.rfind(kPathSeparator);
#endif
  return pos == UStringView::npos ? UString() : UString(path.substr(0, pos + 1));
}

}  // namespace platform
