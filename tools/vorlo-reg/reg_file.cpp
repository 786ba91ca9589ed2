#include "tools/vorlo-reg/reg_file.h"

#include <cstdint>

namespace regtool {
namespace {

using platform::UpperCase;

const char16_t kHeader[] = u"Windows Registry Editor Version 5.00";

bool StartsWithNoCase(UStringView s, UStringView prefix) {
  return s.size() >= prefix.size() && UpperCase(s.substr(0, prefix.size())) == UpperCase(prefix);
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool ParseHexNumber(UStringView s, uint64_t max, uint64_t* out) {
  if (s.empty() || s.size() > 16) return false;
  uint64_t v = 0;
  for (char16_t c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  if (v > max) return false;
  *out = v;
  return true;
}

bool ParseDecimal(UStringView s, uint64_t max, uint64_t* out) {
  if (s.empty() || s.size() > 20) return false;
  uint64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    const unsigned d = c - u'0';
    if (v > (UINT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  if (v > max) return false;
  *out = v;
  return true;
}

// "01,ab,ff" (blanks and a trailing comma allowed) to bytes.
bool ParseHexBytes(UStringView s, std::vector<unsigned char>* out) {
  out->clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    if (i == s.size()) break;
    size_t j = i;
    while (j < s.size() && s[j] != u',') ++j;
    const UString item = platform::Trim(s.substr(i, j - i));
    uint64_t b;
    if (!ParseHexNumber(item, 0xFF, &b)) return false;
    out->push_back(static_cast<unsigned char>(b));
    i = j < s.size() ? j + 1 : j;
  }
  return true;
}

UString Hex2(unsigned v, bool upper) {
  const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  return UString{digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

UString HexNumber(uint64_t v, size_t min_digits) {
  UString s;
  do {
    s.insert(s.begin(), u"0123456789abcdef"[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  while (s.size() < min_digits) s.insert(s.begin(), u'0');
  return s;
}

UString Escape(UStringView s) {
  UString out;
  for (char16_t c : s) {
    if (c == u'\\' || c == u'"') out.push_back(u'\\');
    out.push_back(c);
  }
  return out;
}

// Reads a quoted string starting at s[*pos] == '"'; *pos ends after the
// closing quote.
bool ReadQuoted(UStringView s, size_t* pos, UString* out) {
  if (*pos >= s.size() || s[*pos] != u'"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    if (s[i] == u'\\' && i + 1 < s.size()) {
      out->push_back(s[++i]);
    } else if (s[i] == u'"') {
      *pos = i + 1;
      return true;
    } else {
      out->push_back(s[i]);
    }
  }
  return false;
}

UString DecodeFileText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    UString s;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      s.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return s;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    return platform::Utf8ToUtf16(std::string_view(bytes).substr(3));
  }
  return platform::Utf8ToUtf16(bytes);
}

std::vector<UString> SplitLines(UStringView text) {
  std::vector<UString> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == UStringView::npos) end = text.size();
    UString line(text.substr(start, end - start));
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

struct TypeEntry {
  uint32_t type;
  const char16_t* name;
};
const TypeEntry kTypes[] = {
    {platform::kRegNone, u"REG_NONE"},     {platform::kRegSz, u"REG_SZ"},
    {platform::kRegExpandSz, u"REG_EXPAND_SZ"}, {platform::kRegBinary, u"REG_BINARY"},
    {platform::kRegDword, u"REG_DWORD"},   {platform::kRegMultiSz, u"REG_MULTI_SZ"},
    {platform::kRegQword, u"REG_QWORD"},
};

bool CleanText(const RegValue& v) {
  return v.data.size() % 2 == 0 && v.data.size() >= 2 &&
         v.data[v.data.size() - 1] == 0 && v.data[v.data.size() - 2] == 0 &&
         v.AsText().size() * 2 + 2 == v.data.size();
}

}  // namespace

bool ParseKeyName(UStringView name, UString* path, UString* error) {
  const UStringView roots[] = {u"HKEY_CURRENT_USER", u"HKCU"};
  for (UStringView root : roots) {
    if (StartsWithNoCase(name, root) &&
        (name.size() == root.size() || name[root.size()] == u'\\')) {
      UStringView rest = name.substr(root.size());
      if (!rest.empty()) rest.remove_prefix(1);
      while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
      if (rest.find(u"\\\\") != UStringView::npos) {
        *error = u"Invalid key name: " + UString(name);
        return false;
      }
      *path = UString(rest);
      return true;
    }
  }
  const size_t sep = name.find(u'\\');
  const UString root(name.substr(0, sep));
  const UString up = UpperCase(root);
  if (up == u"HKLM" || up == u"HKEY_LOCAL_MACHINE" || up == u"HKU" || up == u"HKEY_USERS" ||
      up == u"HKCR" || up == u"HKEY_CLASSES_ROOT" || up == u"HKCC" ||
      up == u"HKEY_CURRENT_CONFIG") {
    *error = u"The root " + root +
             u" is not available: this tool works on the current user's hive only "
             u"(HKCU\\... or HKEY_CURRENT_USER\\...).";
  } else {
    *error = u"Invalid key name: " + UString(name) +
             u" (write HKCU\\... or HKEY_CURRENT_USER\\...).";
  }
  return false;
}

UString FullKeyName(UStringView path) {
  UString s = kRootName;
  if (!path.empty()) s += u"\\" + UString(path);
  return s;
}

UString TypeName(uint32_t type) {
  for (const auto& t : kTypes) {
    if (t.type == type) return t.name;
  }
  return u"REG_0x" + HexNumber(type, 1);
}

bool TypeFromName(UStringView name, uint32_t* type) {
  const UString up = UpperCase(name);
  for (const auto& t : kTypes) {
    if (up == t.name) return *type = t.type, true;
  }
  return false;
}

UString DisplayData(const RegValue& v) {
  switch (v.type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
      return v.AsText();
    case platform::kRegMultiSz: {
      UString s;
      for (const UString& part : v.AsMultiText()) s += (s.empty() ? u"" : u"\\0") + part;
      return s;
    }
    case platform::kRegDword:
    case platform::kRegQword:
      if (v.data.size() == (v.type == platform::kRegDword ? 4u : 8u)) {
        uint64_t n = 0;
        for (size_t i = v.data.size(); i-- > 0;) n = (n << 8) | v.data[i];
        return u"0x" + HexNumber(n, 1);
      }
      break;
    default:
      break;
  }
  UString s;
  for (unsigned char b : v.data) s += Hex2(b, true);
  return s;
}

bool ValueFromData(uint32_t type, UStringView data, UStringView separator, RegValue* out,
                   UString* error) {
  switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
      *out = RegValue::Text(data, type);
      return true;
    case platform::kRegMultiSz: {
      const UString sep = separator.empty() ? UString(u"\\0") : UString(separator);
      UString joined;
      size_t start = 0;
      while (start <= data.size() && !data.empty()) {
        size_t end = data.find(sep, start);
        if (end == UStringView::npos) end = data.size();
        joined += UString(data.substr(start, end - start)) + u'\0';
        start = end + sep.size();
      }
      joined += u'\0';
      RegValue v = RegValue::Text(joined, type);
      v.data.resize(v.data.size() - 2);  // Text() added one more terminator
      *out = std::move(v);
      return true;
    }
    case platform::kRegDword:
    case platform::kRegQword: {
      const uint64_t max = type == platform::kRegDword ? 0xFFFFFFFFull : UINT64_MAX;
      uint64_t n = 0;
      const bool ok = StartsWithNoCase(data, u"0x") ? ParseHexNumber(data.substr(2), max, &n)
                                                    : ParseDecimal(data, max, &n);
      if (!ok) {
        *error = u"Invalid data for " + TypeName(type) + u": " + UString(data) +
                 u" (a number from 0 to " +
                 (type == platform::kRegDword ? UString(u"4294967295") : UString(u"18446744073709551615")) +
                 u", decimal or 0x hexadecimal).";
        return false;
      }
      *out = type == platform::kRegDword ? RegValue::Dword(static_cast<uint32_t>(n))
                                         : RegValue::Qword(n);
      return true;
    }
    default: {
      std::vector<unsigned char> bytes;
      if (data.size() % 2 != 0) {
        *error = u"Invalid data for " + TypeName(type) + u": " + UString(data) +
                 u" (pairs of hexadecimal digits).";
        return false;
      }
      for (size_t i = 0; i < data.size(); i += 2) {
        const int hi = HexDigit(data[i]);
        const int lo = HexDigit(data[i + 1]);
        if (hi < 0 || lo < 0) {
          *error = u"Invalid data for " + TypeName(type) + u": " + UString(data) +
                   u" (pairs of hexadecimal digits).";
          return false;
        }
        bytes.push_back(static_cast<unsigned char>(hi * 16 + lo));
      }
      *out = RegValue::Binary(std::move(bytes));
      out->type = type;
      return true;
    }
  }
}

bool ParseRegFile(const std::string& bytes, std::vector<RegFileKey>* keys, UString* error) {
  const std::vector<UString> lines = SplitLines(DecodeFileText(bytes));
  std::vector<RegFileKey> result;
  size_t n = 0;
  const auto fail = [&](size_t line, const UString& what) {
    *error = u"line " + platform::IntToText(static_cast<long long>(line)) + u": " + what;
    return false;
  };
  while (n < lines.size() && platform::Trim(lines[n]).empty()) ++n;
  if (n == lines.size() || (platform::Trim(lines[n]) != kHeader &&
                            platform::Trim(lines[n]) != u"REGEDIT4")) {
    return fail(n + 1, u"not a registry file (the first line must be \"" + UString(kHeader) +
                           u"\")");
  }
  for (++n; n < lines.size(); ++n) {
    const size_t line_no = n + 1;
    UString line = platform::Trim(lines[n]);
    if (line.empty() || line[0] == u';') continue;
    if (line[0] == u'[') {
      if (line.back() != u']') return fail(line_no, u"a key line must end with ]");
      RegFileKey key;
      UStringView name = UStringView(line).substr(1, line.size() - 2);
      if (!name.empty() && name[0] == u'-') {
        key.remove = true;
        name.remove_prefix(1);
      }
      UString why;
      if (!ParseKeyName(name, &key.path, &why)) return fail(line_no, why);
      result.push_back(std::move(key));
      continue;
    }
    if (result.empty() || result.back().remove) {
      return fail(line_no, u"a value must follow a key line");
    }
    RegFileValue value;
    size_t pos = 0;
    if (line[0] == u'@') {
      pos = 1;
    } else if (!ReadQuoted(line, &pos, &value.name)) {
      return fail(line_no, u"a value line must begin with \"name\" or @");
    }
    while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t')) ++pos;
    if (pos >= line.size() || line[pos] != u'=') return fail(line_no, u"= expected after the name");
    ++pos;
    while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t')) ++pos;
    UString data = line.substr(pos);
    if (data == u"-") {
      value.remove = true;
    } else if (!data.empty() && data[0] == u'"') {
      UString text;
      size_t p = 0;
      if (!ReadQuoted(data, &p, &text) || !platform::Trim(UStringView(data).substr(p)).empty()) {
        return fail(line_no, u"unterminated string");
      }
      value.value = RegValue::Text(text);
    } else if (StartsWithNoCase(data, u"dword:")) {
      uint64_t v;
      if (!ParseHexNumber(platform::Trim(UStringView(data).substr(6)), 0xFFFFFFFF, &v)) {
        return fail(line_no, u"dword: needs up to 8 hexadecimal digits");
      }
      value.value = RegValue::Dword(static_cast<uint32_t>(v));
    } else if (StartsWithNoCase(data, u"hex")) {
      uint32_t type = platform::kRegBinary;
      size_t colon = 3;
      if (data.size() > 3 && data[3] == u'(') {
        const size_t close = data.find(u')');
        uint64_t t;
        if (close == UString::npos ||
            !ParseHexNumber(UStringView(data).substr(4, close - 4), 0xFFFFFFFF, &t)) {
          return fail(line_no, u"hex(type) needs a hexadecimal type");
        }
        type = static_cast<uint32_t>(t);
        colon = close + 1;
      }
      if (colon >= data.size() || data[colon] != u':') return fail(line_no, u"hex needs a colon");
      UString hex = data.substr(colon + 1);
      // Long values go on over further lines that the previous one ends with "\".
      while (!hex.empty() && hex.back() == u'\\') {
        hex.pop_back();
        if (++n >= lines.size()) return fail(n, u"the file ends inside a value");
        hex += platform::Trim(lines[n]);
      }
      RegValue v;
      v.type = type;
      if (!ParseHexBytes(hex, &v.data)) return fail(line_no, u"invalid hexadecimal bytes");
      value.value = std::move(v);
    } else {
      return fail(line_no, u"unknown data: " + data);
    }
    result.back().values.push_back(std::move(value));
  }
  *keys = std::move(result);
  return true;
}

std::string FormatRegFile(const std::vector<RegFileKey>& keys) {
  UString text = UString(kHeader) + u"\r\n\r\n";
  for (const RegFileKey& key : keys) {
    text += u"[" + UString(key.remove ? u"-" : u"") + FullKeyName(key.path) + u"]\r\n";
    for (const RegFileValue& v : key.values) {
      UString line = v.name.empty() ? UString(u"@=") : u"\"" + Escape(v.name) + u"\"=";
      const RegValue& r = v.value;
      if (v.remove) {
        line += u"-";
      } else if (r.type == platform::kRegSz && CleanText(r)) {
        line += u"\"" + Escape(r.AsText()) + u"\"";
      } else if (r.type == platform::kRegDword && r.data.size() == 4) {
        const uint32_t n = static_cast<uint32_t>(r.data[0] | (r.data[1] << 8) |
                                                 (r.data[2] << 16) | (r.data[3] << 24));
        line += u"dword:" + HexNumber(n, 8);
      } else {
        line += r.type == platform::kRegBinary ? UString(u"hex:")
                                               : u"hex(" + HexNumber(r.type, 1) + u"):";
        // Lines are wrapped before 80 columns, as the registry editor does.
        for (size_t i = 0; i < r.data.size(); ++i) {
          const bool last = i + 1 == r.data.size();
          UString item = Hex2(r.data[i], false) + (last ? u"" : u",");
          const size_t line_start = line.rfind(u'\n') == UString::npos ? 0 : line.rfind(u'\n') + 1;
          if (line.size() - line_start + item.size() > 77 && !last) {
            line += u"\\\r\n  ";
          }
          line += item;
        }
      }
      text += line + u"\r\n";
    }
    text += u"\r\n";
  }
  std::string out = "\xFF\xFE";
  out.reserve(2 + text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

}  // namespace regtool
