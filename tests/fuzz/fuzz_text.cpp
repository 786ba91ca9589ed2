// The text conversions: UTF-8, Windows-1252, the system's code page and
// UTF-16, paths with escaped bytes, case mapping and trimming.
#include <string>

#include "platform/text.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using platform::UString;

bool ValidUtf16(const UString& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzzing::Bytes(data, size);
  const UString units = fuzzing::Units(data, size);

  // UTF-16 -> UTF-8 -> UTF-16 is the identity on valid UTF-16; otherwise the
  // result is valid and no longer.
  const std::string utf8 = platform::Utf16ToUtf8(units);
  const UString back = platform::Utf8ToUtf16(utf8);
  if (ValidUtf16(units)) {
    FUZZ_CHECK(back == units);
  } else {
    FUZZ_CHECK(ValidUtf16(back) && back.size() <= units.size());
  }
  FUZZ_CHECK(platform::Utf16ToUtf8(back) == utf8);

  // Bytes to UTF-16: always valid UTF-16; what was valid UTF-8 comes back.
  const UString decoded = platform::Utf8ToUtf16(bytes);
  FUZZ_CHECK(ValidUtf16(decoded));
  if (platform::Utf16ToUtf8(decoded) != bytes) {
    FUZZ_CHECK(decoded.find(u'\xFFFD') != UString::npos);
  }
  const UString mixed = platform::Utf8OrCp1252ToUtf16(bytes);
  FUZZ_CHECK(ValidUtf16(mixed));
  if (decoded.find(u'\xFFFD') == UString::npos) FUZZ_CHECK(mixed == decoded);
  const UString cp1252 = platform::Cp1252ToUtf16(bytes);
  FUZZ_CHECK(cp1252.size() == bytes.size() && ValidUtf16(cp1252));

  // A path keeps every byte, and an escaped path is found again.
  const UString path = platform::PathFromNative(bytes);
  FUZZ_CHECK(platform::PathToNative(path) == bytes);
  FUZZ_CHECK(platform::PathFromNative(platform::PathToNative(path)) == path);
  const UString ansi = platform::AnsiToUtf16(bytes);
  FUZZ_CHECK(ValidUtf16(ansi));
  FUZZ_CHECK(platform::AnsiToUtf16(platform::Utf16ToAnsi(ansi)) == ansi);

  // Case mapping keeps lengths; trimming is idempotent.
  FUZZ_CHECK(platform::UpperCase(units).size() == units.size());
  FUZZ_CHECK(platform::AsciiUpperCase(units).size() == units.size());
  const UString trimmed = platform::Trim(units);
  FUZZ_CHECK(platform::Trim(trimmed) == trimmed);
  FUZZ_CHECK(trimmed.empty() || (trimmed.front() > 32 && trimmed.back() > 32));
  platform::FormatText(units, {units, trimmed});
  return 0;
}
