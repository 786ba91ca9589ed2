#include "platform/system_error.h"

#include "platform/resources.h"
#include "resources/texts.h"

namespace platform {

UString SystemErrorMessage(int code) {
  UString format = LoadResString(texts::kSystemError);
  if (format.empty()) format = u"System Error.  Code: %d.";
  return FormatText(format, {IntToText(code)}) + u"\r\n" + SystemErrorText(code);
}

}  // namespace platform
