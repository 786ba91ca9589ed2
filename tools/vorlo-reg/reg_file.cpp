#include "tools/vorlo-reg/reg_file.h"

#include <cstdint>
#include <optional>

namespace regtool {
namespace {

using platform::UpperCase;

const char16_t kHeader5[] = u"Windows Registry Editor Version 5.00";
const char16_t kHeader4[] = u"REGEDIT4";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// 1 to `max_digits` hexadecimal digits, nothing else.
bool ParseHex(UStringView s, size_t max_digits, uint64_t* out) {
  if (s.empty() || s.size() > max_digits) return false;
  uint64_t v = 0;
  for (char16_t c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  *out = v;
  return true;
}

// Decimal digits only, within `max`.
bool ParseDecimal(UStringView s, uint64_t max, uint64_t* out) {
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
    const unsigned d = c - u'0';
    if (v > (max - d) / 10) return false;
    v = v * 10 + d;
  }
  *out = v;
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

uint64_t LittleEndian(const std::vector<unsigned char>& data) {
  uint64_t n = 0;
  for (size_t i = data.size(); i-- > 0;) n = (n << 8) | data[i];
  return n;
}

void PutUtf16(std::vector<unsigned char>* out, UStringView text) {
  for (char16_t c : text) {
    out->push_back(static_cast<unsigned char>(c & 0xFF));
    out->push_back(static_cast<unsigned char>(c >> 8));
  }
}

bool IsTextType(uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

// ---- reading a file ----

enum class Dialect { kVersion5, kRegedit4 };

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
  return platform::AnsiToUtf16(bytes);
}

// CR LF, LF and a lone CR all end a line.
std::vector<UString> SplitLines(UStringView text) {
  std::vector<UString> lines;
  UString line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

UStringView SkipBlanks(UStringView s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

// What may follow the data of a value: blanks, then nothing or a comment
// that starts with ";" (a "#" there is no comment: the line is refused).
bool OnlyCommentLeft(UStringView rest) {
  rest = SkipBlanks(rest);
  return rest.empty() || rest[0] == u';';
}

// A quoted string at the start of `s`, with the escapes Windows' reg reads:
// \\ and \" for themselves, \n and \r for a line break, any other
// character after a backslash for itself (reported in `*unknown`), but \0,
// which no text may hold. Answers the text and, in `*used`, how much of `s`
// it took; nullopt when it is not closed or holds \0.
std::optional<UString> ReadQuoted(UStringView s, size_t* used, UString* unknown) {
  if (s.empty() || s[0] != u'"') return std::nullopt;
  UString text;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == u'\\') {
      if (i + 1 >= s.size() || s[i + 1] == u'0') return std::nullopt;
      const char16_t c = s[++i];
      if (c == u'n') {
        text.push_back(u'\n');
      } else if (c == u'r') {
        text.push_back(u'\r');
      } else {
        if (c != u'\\' && c != u'"') unknown->push_back(c);
        text.push_back(c);
      }
    } else if (s[i] == u'"') {
      *used = i + 1;
      return text;
    } else {
      text.push_back(s[i]);
    }
  }
  return std::nullopt;
}

// The key name of a file's key line, without brackets and "-": the root
// HKEY_CURRENT_USER (or HKCU) and the path below it; trailing backslashes
// go. False with the reason for anything else.
bool FileKeyName(UStringView name, UString* path, UString* why) {
  static const char16_t* const kOtherRoots[] = {u"HKEY_LOCAL_MACHINE",
                                                u"HKEY_USERS",
                                                u"HKEY_CLASSES_ROOT",
                                                u"HKEY_CURRENT_CONFIG",
                                                u"HKEY_DYN_DATA",
                                                u"HKLM",
                                                u"HKU",
                                                u"HKCR",
                                                u"HKCC"};
  const size_t sep = name.find(u'\\');
  const UString root = UpperCase(name.substr(0, sep));
  if (root != u"HKEY_CURRENT_USER" && root != u"HKCU") {
    for (const char16_t* other : kOtherRoots) {
      if (root == other) {
        *why = u"only the current user's hive (HKEY_CURRENT_USER) is available here";
        return false;
      }
    }
    *why = u"not a registry key name";
    return false;
  }
  UStringView rest = sep == UStringView::npos ? UStringView() : name.substr(sep + 1);
  while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
  if (rest.find(u"\\\\") != UStringView::npos || (!rest.empty() && rest[0] == u'\\')) {
    *why = u"an empty part in the key name";
    return false;
  }
  *path = UString(rest);
  return true;
}

class Parser {
 public:
  Parser(std::vector<UString> lines, Dialect dialect)
      : lines_(std::move(lines)), dialect_(dialect) {}

  void Run(size_t first, RegFile* out) {
    out_ = out;
    for (n_ = first; n_ < lines_.size(); ++n_) Line();
  }

 private:
  void Skip(size_t line_index, const UString& why) {
    out_->skipped.push_back({line_index + 1, why});
  }
  void Note(size_t line_index, const UString& unknown) {
    for (char16_t c : unknown) {
      out_->notes.push_back(
          {line_index + 1, u"unknown escape \\" + UString(1, c) + u", read as " + UString(1, c)});
    }
  }

  void Line() {
    const UStringView line = SkipBlanks(lines_[n_]);
    if (line.empty() || line[0] == u';' || line[0] == u'#') return;
    if (line[0] == u'[') return KeyLine(line);
    if (line[0] == u'"' || line[0] == u'@') return ValueLine(line);
    Skip(n_, u"neither a key, a value nor a comment");
  }

  void KeyLine(UStringView line) {
    current_ = nullptr;
    size_t end = line.size();
    while (end > 0 && IsBlank(line[end - 1])) --end;
    if (end < 2 || line[end - 1] != u']') return Skip(n_, u"a key line must end with ]");
    UStringView name = line.substr(1, end - 2);
    bool remove = false;
    if (!name.empty() && name[0] == u'-') {
      remove = true;
      name.remove_prefix(1);
    }
    if (name.empty() || IsBlank(name[0])) {
      return Skip(n_, u"a blank before the key name");
    }
    RegFileKey key;
    key.remove = remove;
    UString why;
    if (!FileKeyName(name, &key.path, &why)) return Skip(n_, why);
    out_->keys.push_back(std::move(key));
    if (!remove) current_ = &out_->keys.back();
  }

  void ValueLine(UStringView line) {
    const size_t start = n_;
    RegFileValue value;
    size_t pos = 0;
    if (line[0] == u'@') {
      pos = 1;
    } else {
      UString unknown;
      auto name = ReadQuoted(line, &pos, &unknown);
      if (!name) return Skip(start, u"the value name is not closed by \" (or holds \\0)");
      Note(start, unknown);
      value.name = std::move(*name);
    }
    UStringView rest = SkipBlanks(line.substr(pos));
    if (rest.empty() || rest[0] != u'=') return Skip(start, u"= expected after the value name");
    rest = SkipBlanks(rest.substr(1));
    UString why;
    if (!Data(rest, &value, &why)) return Skip(start, why);
    if (current_ == nullptr) return Skip(start, u"no key to put this value in");
    current_->values.push_back(std::move(value));
  }

  bool Data(UStringView data, RegFileValue* value, UString* why) {
    if (!data.empty() && data[0] == u'-') {
      value->remove = true;
      if (!OnlyCommentLeft(data.substr(1))) return *why = u"unexpected text after -", false;
      return true;
    }
    if (!data.empty() && data[0] == u'"') {
      size_t used = 0;
      UString unknown;
      auto text = ReadQuoted(data, &used, &unknown);
      if (!text) return *why = u"the text is not closed by \" (or holds \\0)", false;
      Note(n_, unknown);
      if (!OnlyCommentLeft(data.substr(used)))
        return *why = u"unexpected text after the text", false;
      value->value = RegValue::Text(*text);
      return true;
    }
    if (data.substr(0, 6) == u"dword:") {
      UStringView digits = SkipBlanks(data.substr(6));
      size_t len = 0;
      while (len < digits.size() && HexDigit(digits[len]) >= 0) ++len;
      uint64_t v;
      if (!ParseHex(digits.substr(0, len), 8, &v) || !OnlyCommentLeft(digits.substr(len))) {
        return *why = u"dword: takes 1 to 8 hexadecimal digits", false;
      }
      value->value = RegValue::Dword(static_cast<uint32_t>(v));
      return true;
    }
    if (data.substr(0, 3) == u"hex") return Hex(data.substr(3), value, why);
    return *why = u"unknown data (a text in quotes, dword:, hex: or - expected)", false;
  }

  // "hex(type):bytes", the bytes going on over further lines after ",\".
  bool Hex(UStringView data, RegFileValue* value, UString* why) {
    uint32_t type = platform::kRegBinary;
    if (!data.empty() && data[0] == u'(') {
      const size_t close = data.find(u')');
      uint64_t t;
      if (close == UStringView::npos || !ParseHex(data.substr(1, close - 1), 8, &t)) {
        return *why = u"hex(type) takes a type of 1 to 8 hexadecimal digits", false;
      }
      type = static_cast<uint32_t>(t);
      data = data.substr(close + 1);
    }
    if (data.empty() || data[0] != u':') return *why = u"hex data must follow a colon", false;
    std::vector<unsigned char> bytes;
    UStringView rest = data.substr(1);
    bool continuation = false;  // on a line that goes on the previous one
    for (;;) {
      const HexLine result = HexBytes(rest, continuation, &bytes);
      if (result == HexLine::kBad) return *why = u"invalid hexadecimal data", false;
      if (result == HexLine::kDone) break;
      // The value goes on: blank lines and ";" comments are passed over.
      bool more = false;
      while (++n_ < lines_.size()) {
        const UStringView next = SkipBlanks(lines_[n_]);
        if (next.empty() || next[0] == u';') continue;
        rest = next;
        more = true;
        break;
      }
      if (!more) break;  // the file ends inside the value: what came is kept
      continuation = true;
    }
    value->value.type = type;
    value->value.data = Widen(type, std::move(bytes));
    return true;
  }

  enum class HexLine { kDone, kGoesOn, kBad };

  // The bytes of one line of hex data: "hh,hh,..." with blanks between,
  // ending at the line's end or a ";" comment, or with ",\" when the next
  // line goes on. A continuation line must start with a byte.
  static HexLine HexBytes(UStringView s, bool continuation, std::vector<unsigned char>* out) {
    bool expect_byte = true;  // at the start, or after a comma
    bool any = false;         // a byte or a comma seen on this line
    size_t i = 0;
    for (;;) {
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (i == s.size() || s[i] == u';')
        return continuation && !any ? HexLine::kBad : HexLine::kDone;
      const char16_t c = s[i];
      if (HexDigit(c) >= 0) {
        if (!expect_byte) return HexLine::kBad;
        size_t len = 0;
        while (i + len < s.size() && HexDigit(s[i + len]) >= 0) ++len;
        uint64_t b;
        if (!ParseHex(s.substr(i, len), 2, &b)) return HexLine::kBad;
        out->push_back(static_cast<unsigned char>(b));
        i += len;
        expect_byte = false;
        any = true;
      } else if (c == u',') {
        if (expect_byte) return HexLine::kBad;  // a leading comma, or two in a row
        expect_byte = true;
        any = true;
        ++i;
      } else if (c == u'\\') {
        if (!expect_byte || (continuation && !any)) return HexLine::kBad;
        return OnlyCommentLeft(s.substr(i + 1)) ? HexLine::kGoesOn : HexLine::kBad;
      } else {
        return HexLine::kBad;
      }
    }
  }

  // What the bytes of hex data become in the registry. Texts end with their
  // zero, one being added when the data lacks it; in a REGEDIT4 file they
  // are 8-bit text and are widened to UTF-16.
  std::vector<unsigned char> Widen(uint32_t type, std::vector<unsigned char> bytes) const {
    if (!IsTextType(type) || bytes.empty()) return bytes;
    if (dialect_ == Dialect::kRegedit4) {
      const std::string ansi(bytes.begin(), bytes.end());
      std::vector<unsigned char> wide;
      PutUtf16(&wide, platform::AnsiToUtf16(ansi));
      bytes = std::move(wide);
    }
    if (bytes.size() % 2 != 0) bytes.push_back(0);
    if (bytes[bytes.size() - 2] != 0 || bytes[bytes.size() - 1] != 0) {
      bytes.push_back(0);
      bytes.push_back(0);
    }
    return bytes;
  }

  std::vector<UString> lines_;
  Dialect dialect_;
  size_t n_ = 0;
  RegFile* out_ = nullptr;
  RegFileKey* current_ = nullptr;
};

// ---- writing a file ----

UString Escape(UStringView s) {
  UString out;
  for (char16_t c : s) {
    if (c == u'\\' || c == u'"') out.push_back(u'\\');
    out.push_back(c);
  }
  return out;
}

bool HasLineBreak(UStringView s) { return s.find_first_of(u"\r\n") != UStringView::npos; }

// A text value that an import would not give back as it is: Windows adds
// the ending zero to text data that lacks it.
bool UnterminatedText(const RegValue& v) {
  const auto& d = v.data;
  return IsTextType(v.type) && !d.empty() &&
         (d.size() % 2 != 0 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0);
}

// A REG_SZ that a quoted text gives back byte for byte: UTF-16LE text with
// one ending zero, no zero and no line break inside.
bool QuotableText(const RegValue& v) {
  const auto& d = v.data;
  if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0) {
    return false;
  }
  for (size_t i = 0; i + 2 < d.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(d[i] | (d[i + 1] << 8));
    if (c == 0 || c == u'\r' || c == u'\n') return false;
  }
  return true;
}

// Hex data, wrapped as regedit does: a line breaks after the byte that
// reaches column 77 (counting from the value name's start).
UString HexData(const std::vector<unsigned char>& data, size_t column) {
  UString out;
  for (size_t i = 0; i < data.size(); ++i) {
    out += Hex2(data[i], false);
    if (i + 1 == data.size()) break;
    out += u",";
    column += 3;
    if (column >= 77) {
      out += u"\\\r\n  ";
      column = 2;
    }
  }
  return out;
}

// The value types by name: what a listing shows (the first entry of a type)
// and which names a command line takes.
struct TypeEntry {
  uint32_t type;
  const char16_t* name;
  bool taken;
};
const TypeEntry kTypes[] = {
    {platform::kRegNone, u"REG_NONE", true},
    {platform::kRegSz, u"REG_SZ", true},
    {platform::kRegExpandSz, u"REG_EXPAND_SZ", true},
    {platform::kRegBinary, u"REG_BINARY", true},
    {platform::kRegDword, u"REG_DWORD", true},
    {platform::kRegDword, u"REG_DWORD_LITTLE_ENDIAN", true},
    {platform::kRegDwordBigEndian, u"REG_DWORD_BIG_ENDIAN", true},
    {platform::kRegLink, u"REG_LINK", false},
    {platform::kRegMultiSz, u"REG_MULTI_SZ", true},
    {8, u"REG_RESOURCE_LIST", false},
    {9, u"REG_FULL_RESOURCE_DESCRIPTOR", false},
    {10, u"REG_RESOURCE_REQUIREMENTS_LIST", false},
    {platform::kRegQword, u"REG_QWORD", true},
};

}  // namespace

bool ParseKeyName(UStringView name, UString* path, UString* error) {
  const auto invalid = [&](const UString& why) {
    *error = u"Invalid key name: " + UString(name) + u" (" + why + u").";
    return false;
  };
  if (name.substr(0, 2) == u"\\\\") return invalid(u"a remote computer is not available here");
  if (!name.empty() && name[0] == u'\\') return invalid(u"it must begin with its root, HKCU\\...");
  const size_t sep = name.find(u'\\');
  const UString root = UpperCase(name.substr(0, sep));
  if (root == u"HKCU" || root == u"HKEY_CURRENT_USER") {
    if (sep == UStringView::npos) {
      path->clear();
      return true;
    }
    UStringView rest = name.substr(sep + 1);
    if (rest.empty()) return invalid(u"nothing after the backslash");
    if (rest.back() == u'\\') rest.remove_suffix(1);
    if (rest.empty() || rest[0] == u'\\' || rest.back() == u'\\' ||
        rest.find(u"\\\\") != UStringView::npos) {
      return invalid(u"an empty part");
    }
    *path = UString(rest);
    return true;
  }
  if (root == u"HKLM" || root == u"HKEY_LOCAL_MACHINE" || root == u"HKU" || root == u"HKEY_USERS" ||
      root == u"HKCR" || root == u"HKEY_CLASSES_ROOT" || root == u"HKCC" ||
      root == u"HKEY_CURRENT_CONFIG") {
    *error = u"The root " + UString(name.substr(0, sep)) +
             u" is not available: this tool works on the current user's hive only "
             u"(HKCU\\... or HKEY_CURRENT_USER\\...).";
    return false;
  }
  return invalid(u"write HKCU\\... or HKEY_CURRENT_USER\\...");
}

UString FullKeyName(UStringView path) {
  UString s = kRootName;
  if (!path.empty()) s += u"\\" + UString(path);
  return s;
}

bool ParseRegFile(const std::string& bytes, RegFile* out, UString* error) {
  std::vector<UString> lines = SplitLines(DecodeFileText(bytes));
  RegFile file;
  // The header is the first line, blanks before it allowed; a file that
  // starts with an empty line is no registry file.
  const UStringView first = lines.empty() ? UStringView() : SkipBlanks(lines[0]);
  UString header(first);
  while (!header.empty() && IsBlank(header.back())) header.pop_back();
  if (header == kHeader5 || header == kHeader4) {
    Parser(std::move(lines), header == kHeader4 ? Dialect::kRegedit4 : Dialect::kVersion5)
        .Run(1, &file);
  } else if (header.substr(0, 7) == u"REGEDIT") {
    // Windows takes the file and reads nothing of it.
    file.skipped.push_back({1, u"\"" + header + u"\" files are not read: nothing is imported"});
  } else {
    *error = u"not a registry file: the first line must be \"" + UString(kHeader5) + u"\" or \"" +
             UString(kHeader4) + u"\"";
    return false;
  }
  *out = std::move(file);
  return true;
}

bool FormatRegFile(const std::vector<RegFileKey>& keys, std::string* out, UString* error) {
  UString text = UString(kHeader5) + u"\r\n\r\n";
  for (const RegFileKey& key : keys) {
    if (HasLineBreak(key.path)) {
      *error = u"the key " + FullKeyName(key.path) +
               u" has a line break in its name, which a "
               u".reg file cannot hold";
      return false;
    }
    text += u"[" + UString(key.remove ? u"-" : u"") + FullKeyName(key.path) + u"]\r\n";
    for (const RegFileValue& v : key.values) {
      if (HasLineBreak(v.name)) {
        *error = u"the value " + v.name + u" of " + FullKeyName(key.path) +
                 u" has a line break in its name, which a .reg file cannot hold";
        return false;
      }
      UString line = v.name.empty() ? UString(u"@=") : u"\"" + Escape(v.name) + u"\"=";
      const RegValue& r = v.value;
      if (!v.remove && UnterminatedText(r)) {
        *error = u"the value " + (v.name.empty() ? UString(u"(Default)") : v.name) + u" of " +
                 FullKeyName(key.path) +
                 u" is a text without its ending zero, which a .reg file cannot keep";
        return false;
      }
      if (v.remove) {
        line += u"-";
      } else if (r.type == platform::kRegSz && QuotableText(r)) {
        line += u"\"" + Escape(r.AsText()) + u"\"";
      } else if (r.type == platform::kRegDword && r.data.size() == 4) {
        line += u"dword:" + HexNumber(LittleEndian(r.data), 8);
      } else {
        line += r.type == platform::kRegBinary ? UString(u"hex:")
                                               : u"hex(" + HexNumber(r.type, 1) + u"):";
        line += HexData(r.data, line.size());
      }
      text += line + u"\r\n";
    }
    text += u"\r\n";
  }
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  *out = std::move(bytes);
  return true;
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
    if (t.taken && up == t.name) return *type = t.type, true;
  }
  return false;
}

UString DisplayData(const RegValue& v) {
  switch (v.type) {
    case platform::kRegSz:
    case platform::kRegExpandSz: return v.AsText();
    case platform::kRegMultiSz: {
      UString s;
      bool first = true;
      for (const UString& part : v.AsMultiText()) {
        s += (first ? u"" : u"\\0") + part;
        first = false;
      }
      return s;
    }
    case platform::kRegDword:
    case platform::kRegDwordBigEndian:
    case platform::kRegQword:
      if (v.data.size() == (v.type == platform::kRegQword ? 8u : 4u)) {
        return u"0x" + HexNumber(LittleEndian(v.data), 1);
      }
      break;
    default: break;
  }
  UString s;
  for (unsigned char b : v.data) s += Hex2(b, true);
  return s;
}

bool ValueFromData(uint32_t type, const UString* data, const UString* separator, RegValue* out,
                   UString* error) {
  const auto invalid = [&](const UString& what) {
    *error = u"Invalid data for " + TypeName(type) + u": " + (data ? *data : UString()) + u" (" +
             what + u").";
    return false;
  };
  if (separator != nullptr && type != platform::kRegMultiSz) {
    *error = u"/s goes with REG_MULTI_SZ only.";
    return false;
  }
  switch (type) {
    case platform::kRegNone:
    case platform::kRegSz:
    case platform::kRegExpandSz: *out = RegValue::Text(data ? *data : UString(), type); return true;
    case platform::kRegDword:
    case platform::kRegDwordBigEndian:
    case platform::kRegQword: {
      const bool qword = type == platform::kRegQword;
      if (data == nullptr) {
        if (!qword) return invalid(u"a number is needed");
        *out = RegValue::Qword(0);
        return true;
      }
      const uint64_t max = qword ? UINT64_MAX : 0xFFFFFFFFull;
      UStringView d = *data;
      // reg takes "-N" for a REG_QWORD, as the two's complement of N.
      const bool negative = qword && !d.empty() && d[0] == u'-';
      if (negative) d.remove_prefix(1);
      uint64_t n = 0;
      const bool hex = !negative && d.size() > 2 && d[0] == u'0' && (d[1] == u'x' || d[1] == u'X');
      const bool ok = hex ? ParseHex(d.substr(2), qword ? 16 : 8, &n) : ParseDecimal(d, max, &n);
      if (!ok) {
        return invalid(u"a number from 0 to " +
                       UString(qword ? u"18446744073709551615" : u"4294967295") +
                       u", decimal or 0x hexadecimal");
      }
      if (negative) n = 0 - n;
      *out = qword ? RegValue::Qword(n) : RegValue::Dword(static_cast<uint32_t>(n));
      out->type = type;
      return true;
    }
    case platform::kRegMultiSz: {
      // Strings separated by the one character of /s, or by the two
      // characters \0 without it; an empty string may only stand alone.
      if (separator != nullptr && separator->size() != 1) {
        *error = u"The separator of /s must be one character.";
        return false;
      }
      const UString d = data ? *data : UString();
      UString joined;
      for (size_t i = 0; i < d.size(); ++i) {
        const bool ends = separator ? d[i] == (*separator)[0]
                                    : (d[i] == u'\\' && i + 1 < d.size() && d[i + 1] == u'0');
        if (ends && separator == nullptr) ++i;
        joined.push_back(ends ? u'\0' : d[i]);
        const size_t k = joined.size() - 1;
        if (k > 0 && joined[k - 1] == u'\0' && (joined[k] == u'\0' || k == 1)) {
          return invalid(u"an empty string inside the list");
        }
      }
      // The list ends with an empty string: one zero after a last string
      // that ends with its own, two otherwise.
      const bool open_end = !joined.empty() && joined.back() != u'\0';
      joined.push_back(u'\0');
      if (open_end) joined.push_back(u'\0');
      RegValue v;
      v.type = type;
      PutUtf16(&v.data, joined);
      *out = std::move(v);
      return true;
    }
    case platform::kRegBinary: {
      UString d = data ? *data : UString();
      // An odd number of digits: the first byte has one.
      if (d.size() % 2 != 0) d.insert(d.begin(), u'0');
      std::vector<unsigned char> bytes;
      for (size_t i = 0; i < d.size(); i += 2) {
        const int hi = HexDigit(d[i]);
        const int lo = HexDigit(d[i + 1]);
        if (hi < 0 || lo < 0) return invalid(u"hexadecimal digits only");
        bytes.push_back(static_cast<unsigned char>(hi * 16 + lo));
      }
      *out = RegValue::Binary(std::move(bytes));
      return true;
    }
    default: *error = u"The type " + TypeName(type) + u" is not supported."; return false;
  }
}

}  // namespace regtool
