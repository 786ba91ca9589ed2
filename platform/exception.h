// The program's failures: an exception that carries a UTF-16 message text.
#pragma once

#include <exception>
#include <string>

#include "platform/text.h"

namespace platform {

class Exception : public std::exception {
 public:
  explicit Exception(UString message)
      : message_(std::move(message)), utf8_(Utf16ToUtf8(message_)) {}

  const UString& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  UString message_;
  std::string utf8_;
};

// The message of any failure: the text of a platform::Exception, what() of
// another.
inline UString MessageOf(const std::exception& e) {
  if (const auto* p = dynamic_cast<const Exception*>(&e)) return p->Message();
  return Utf8ToUtf16(e.what());
}

}  // namespace platform
