#include "platform/process.h"

#include "platform/resources.h"

namespace platform {

UString RunningObjectName(UStringView path) {
  UString name;
  for (char16_t c : path) {
    if (c != u'\\') name.push_back(c);
  }
  return name;
}

UString SystemErrorMessage(int code) {
  UString format = LoadResString(65458);
  if (format.empty()) format = u"System Error.  Code: %d.";
  return FormatText(format, {IntToText(code)}) + u"\r\n" + SystemErrorText(code);
}

}  // namespace platform
