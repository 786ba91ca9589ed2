// Code page and case mapping on Linux: the 8-bit code page is UTF-8, and
// upper-casing uses a C.UTF-8 locale object of its own, so that the result
// does not depend on the locale the process runs in.
#include <locale.h>
#include <wctype.h>

#include "platform/text.h"

namespace platform {
namespace {

locale_t Utf8Locale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (l == static_cast<locale_t>(0)) {
      l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    }
    return l;
  }();
  return loc;
}

}  // namespace

UString AnsiToUtf16(std::string_view bytes) { return Utf8OrCp1252ToUtf16(bytes); }

std::string Utf16ToAnsi(UStringView text) { return PathToNative(text); }

UString UpperCase(UStringView text) {
  const locale_t loc = Utf8Locale();
  if (loc == static_cast<locale_t>(0)) return AsciiUpperCase(text);
  UString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    const bool pair = cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    char32_t up = static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), loc));
    // A mapping that would change the number of code units is not taken, so
    // that positions in the text stay valid.
    if ((up >= 0x10000) != (cp >= 0x10000)) up = cp;
    if (up >= 0x10000) {
      up -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (up >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (up & 0x3FF)));
      ++i;
    } else {
      out.push_back(static_cast<char16_t>(up));
      if (pair) ++i;
    }
  }
  return out;
}

}  // namespace platform
