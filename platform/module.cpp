#include "platform/module.h"

namespace platform {

UString FolderOf(UStringView path) {
  const size_t pos = path.find_last_of(kFolderEnds);
  return pos == UStringView::npos ? UString() : UString(path.substr(0, pos + 1));
}

}  // namespace platform
