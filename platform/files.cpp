// The system-independent half of files.h.
#include "platform/files.h"

namespace platform {

bool IsStagedName(UStringView name) {
  const UStringView prefix = kStagedPrefix;
  const UStringView suffix = kStagedSuffix;
  if (name.size() != prefix.size() + kStagedRandomLength + suffix.size()) return false;
  if (name.substr(0, prefix.size()) != prefix) return false;
  if (name.substr(name.size() - suffix.size()) != suffix) return false;
  for (char16_t c : name.substr(prefix.size(), kStagedRandomLength)) {
    const bool alnum =
        (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!alnum) return false;
  }
  return true;
}

bool CopyIntoPlace(UStringView from, UStringView to) {
  const UString staged = StageCopy(from, to);
  if (staged.empty()) return false;
  if (MoveIntoPlace(staged, to)) return true;
  RemoveName(staged);
  return false;
}

}  // namespace platform
