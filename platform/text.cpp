// The system-independent half of text.h.
#include "platform/text.h"

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(UString& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of the valid UTF-8 sequence at bytes[i], or 0 when the byte there
// does not start one (overlong forms, surrogates and values above U+10FFFF
// are not valid).
size_t Utf8SequenceAt(std::string_view bytes, size_t i, char32_t* cp) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  size_t len;
  char32_t value;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, value = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, value = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, value = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > bytes.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b & 0x3F);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *cp = value;
  return len;
}

const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252Char(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t{b};
}

// What a byte that belongs to no valid UTF-8 sequence becomes.
enum class Invalid { kReplace, kCp1252, kEscape };

// An escaped byte: the low surrogate U+DC00 + byte (only bytes 0x80..0xFF
// can be invalid, so U+DC80..U+DCFF).
constexpr char16_t kEscapeBase = 0xDC00;
bool IsEscapedByte(char32_t cp) { return cp >= 0xDC80 && cp <= 0xDCFF; }

UString DecodeUtf8(std::string_view bytes, Invalid invalid) {
  UString out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t cp;
    const size_t len = Utf8SequenceAt(bytes, i, &cp);
    if (len == 0) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      switch (invalid) {
        case Invalid::kReplace: out.push_back(kReplacement); break;
        case Invalid::kCp1252: out.push_back(Cp1252Char(b)); break;
        case Invalid::kEscape: out.push_back(static_cast<char16_t>(kEscapeBase + b)); break;
      }
      ++i;
    } else {
      AppendCodePoint(out, cp);
      i += len;
    }
  }
  return out;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD, or, with `unescape`, a
// lone U+DC80..U+DCFF becomes the byte it carries.
std::string EncodeUtf8(UStringView text, bool unescape) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unescape && IsEscapedByte(cp)) {
      out.push_back(static_cast<char>(cp - kEscapeBase));
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace

UString Utf8ToUtf16(std::string_view utf8) { return DecodeUtf8(utf8, Invalid::kReplace); }

UString Utf8OrCp1252ToUtf16(std::string_view bytes) { return DecodeUtf8(bytes, Invalid::kCp1252); }

std::string Utf16ToUtf8(UStringView text) { return EncodeUtf8(text, false); }

UString PathFromNative(std::string_view bytes) { return DecodeUtf8(bytes, Invalid::kEscape); }

std::string PathToNative(UStringView path) { return EncodeUtf8(path, true); }

UString Cp1252ToUtf16(std::string_view bytes) {
  UString out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(Cp1252Char(static_cast<unsigned char>(c)));
  return out;
}

UString AsciiUpperCase(UStringView text) {
  UString out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

UString Trim(UStringView text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] <= 32) ++begin;
  while (end > begin && text[end - 1] <= 32) --end;
  return UString(text.substr(begin, end - begin));
}

UString WideToUtf16(const wchar_t* text) {
  UString out;
  for (const wchar_t* p = text; *p != 0; ++p) {
    const auto cp = static_cast<char32_t>(*p);
    if (sizeof(wchar_t) == 4 && cp >= 0x10000) {
      AppendCodePoint(out, cp);
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

UString FormatText(UStringView format, std::initializer_list<UString> args) {
  UString out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size()) {
      const char16_t c = format[i + 1];
      if (c == u's' || c == u'd') {
        if (next != args.end()) out += *next++;
        ++i;
        continue;
      }
      if (c == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
    }
    out.push_back(format[i]);
  }
  return out;
}

UString IntToText(long long value) {
  const std::string s = std::to_string(value);
  return UString(s.begin(), s.end());
}

}  // namespace platform
