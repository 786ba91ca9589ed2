#include "platform/running_object.h"

namespace platform {

UString RunningObjectName(UStringView path) {
  UString name;
  for (char16_t c : path) {
    if (c != u'\\') name.push_back(c);
  }
  return name;
}

}  // namespace platform
