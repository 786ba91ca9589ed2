// Key names, reg's command-line data and .reg files, against what Windows'
// own reg and regedit do with the same input.
#include "tools/vorlo-reg/reg_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace regtool {
namespace {

using Bytes = std::vector<unsigned char>;

std::string Utf16Le(UStringView s) {
  std::string out = "\xFF\xFE";
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// "41 00 42" to bytes.
Bytes Hex(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i + 1 < text.size() + 1; i += 3) {
    out.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// UTF-16LE bytes of `text`, with the ending zero.
Bytes Wide(UStringView text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

TEST(KeyNames, AsRegTakesThemOnTheCommandLine) {
  const struct {
    const char16_t* arg;
    bool ok;
    const char16_t* path;
  } cases[] = {
      {u"HKCU\\Software\\Vorlo", true, u"Software\\Vorlo"},
      {u"hkey_current_user\\Software\\Vorlo\\", true, u"Software\\Vorlo"},
      {u"HKCU", true, u""},
      {u"HKCU\\https://example.org", true, u"https://example.org"},
      {u"HKCU\\", false, u""},              // the root with a backslash
      {u"HKCU\\a\\\\", false, u""},         // two trailing backslashes
      {u"HKCU\\a\\\\b", false, u""},        // an empty part
      {u"\\HKCU\\Software", false, u""},    // a leading backslash
      {u"\\\\HKCU\\Software", false, u""},  // a remote computer
      {u"HKLM\\Software\\Vorlo", false, u""},
      {u"HKEY_LOCAL_MACHINE", false, u""},
      {u"HKCUX\\Software", false, u""},
      {u"Software\\Vorlo", false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.arg));
    UString path, error;
    EXPECT_EQ(ParseKeyName(c.arg, &path, &error), c.ok);
    if (c.ok) {
      EXPECT_EQ(path, c.path);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
  UString path, error;
  ParseKeyName(u"HKLM\\Software", &path, &error);
  EXPECT_NE(error.find(u"current user"), UString::npos);
}

// reg add /t TYPE [/s SEP] [/d DATA]: what Windows' reg stores, or refuses.
TEST(AddData, AsRegMakesIt) {
  const std::optional<UString> none;
  const struct {
    const char16_t* type;
    std::optional<UString> data;
    std::optional<UString> separator;
    std::optional<Bytes> stored;  // nullopt: refused
    uint32_t stored_type;
  } cases[] = {
      {u"REG_SZ", none, none, Wide(u""), 1},
      {u"REG_SZ", u"foo\\0bar", none, Wide(u"foo\\0bar"), 1},  // no escapes
      {u"reg_expand_sz", u"%PATH%", none, Wide(u"%PATH%"), 2},
      {u"REG_NONE", u"Test", none, Wide(u"Test"), 0},
      {u"REG_NONE", none, none, Wide(u""), 0},
      {u"REG_BINARY", none, none, Bytes{}, 3},
      {u"REG_BINARY", u"", none, Bytes{}, 3},
      {u"REG_BINARY", u"deadbeef", none, Hex("de ad be ef"), 3},
      {u"REG_BINARY", u"DeAdBeEf0DD", none, Hex("0d ea db ee f0 dd"), 3},  // odd: 0 first
      {u"REG_BINARY", u"0xDeAdBeEf", none, std::nullopt, 3},
      {u"REG_BINARY", u"x01", none, std::nullopt, 3},
      {u"REG_DWORD", none, none, std::nullopt, 4},
      {u"REG_DWORD", u"12345678", none, Hex("4e 61 bc 00"), 4},
      {u"REG_DWORD", u"0123", none, Hex("7b 00 00 00"), 4},  // decimal, not octal
      {u"REG_DWORD", u"0xdeadbeef", none, Hex("ef be ad de"), 4},
      {u"REG_DWORD", u"0X123", none, Hex("23 01 00 00"), 4},
      {u"REG_DWORD", u"0xffffffff", none, Hex("ff ff ff ff"), 4},
      {u"REG_DWORD", u"4294967296", none, std::nullopt, 4},
      {u"REG_DWORD", u"0x01ffffffff", none, std::nullopt, 4},
      {u"REG_DWORD", u"deadbeef", none, std::nullopt, 4},
      {u"REG_DWORD", u"123xyz", none, std::nullopt, 4},
      {u"REG_DWORD", u"0xabcdefg", none, std::nullopt, 4},
      {u"REG_DWORD", u"00x123", none, std::nullopt, 4},
      {u"REG_DWORD", u"-1", none, std::nullopt, 4},
      {u"REG_DWORD", u"-0x1", none, std::nullopt, 4},
      {u"REG_DWORD_LITTLE_ENDIAN", u"456", none, Hex("c8 01 00 00"), 4},
      // Windows stores REG_DWORD_BIG_ENDIAN little-endian all the same.
      {u"REG_DWORD_BIG_ENDIAN", u"456", none, Hex("c8 01 00 00"), 5},
      {u"REG_DWORD_BIG_ENDIAN", none, none, std::nullopt, 5},
      {u"REG_QWORD", none, none, Hex("00 00 00 00 00 00 00 00"), 11},
      {u"REG_QWORD", u"-1", none, Hex("ff ff ff ff ff ff ff ff"), 11},
      {u"REG_QWORD", u"0x123456789abcdef", none, Hex("ef cd ab 89 67 45 23 01"), 11},
      {u"REG_QWORD", u"-0x1", none, std::nullopt, 11},
      {u"REG_QWORD", u"18446744073709551616", none, std::nullopt, 11},
      {u"REG_QWORD", u"0x01ffffffffffffffff", none, std::nullopt, 11},
      {u"REG_MULTI_SZ", none, none, Wide(u""), 7},
      {u"REG_MULTI_SZ", u"", none, Wide(u""), 7},
      {u"REG_MULTI_SZ", u"three\\0little\\0strings", none,
       Wide(UString(u"three\0little\0strings\0", 21)), 7},
      {u"REG_MULTI_SZ", u"a\\0", none, Wide(UString(u"a\0", 2)), 7},
      {u"REG_MULTI_SZ", u"\\0", none, Wide(UString(u"\0", 1)), 7},
      {u"REG_MULTI_SZ", u"\\0a", none, std::nullopt, 7},
      {u"REG_MULTI_SZ", u"two\\0\\0strings", none, std::nullopt, 7},
      {u"REG_MULTI_SZ", u"three#little#strings", u"#",
       Wide(UString(u"three\0little\0strings\0", 21)), 7},
      {u"REG_MULTI_SZ", u"a#", u"#", Wide(UString(u"a\0", 2)), 7},
      {u"REG_MULTI_SZ", u"#", u"#", Wide(UString(u"\0", 1)), 7},
      {u"REG_MULTI_SZ", u"two\\0#strings", u"#", Wide(UString(u"two\\0\0strings\0", 14)), 7},
      {u"REG_MULTI_SZ", u"##", u"#", std::nullopt, 7},
      {u"REG_MULTI_SZ", u"#a", u"#", std::nullopt, 7},
      {u"REG_MULTI_SZ", u"two##strings", u"#", std::nullopt, 7},
      {u"REG_MULTI_SZ", u"a#b", u"#random", std::nullopt, 7},  // a long separator
      {u"REG_MULTI_SZ", u"a\\0b", u"\\0", std::nullopt, 7},
      {u"REG_MULTI_SZ", u"a#b", u"", std::nullopt, 7},
      {u"REG_SZ", u"a#b", u"#", std::nullopt, 1},  // /s goes with REG_MULTI_SZ only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.type) + " /d " +
                 (c.data ? platform::Utf16ToUtf8(*c.data) : std::string("(none)")) + " /s " +
                 (c.separator ? platform::Utf16ToUtf8(*c.separator) : std::string("(none)")));
    uint32_t type = 0;
    ASSERT_TRUE(TypeFromName(c.type, &type));
    RegValue v;
    UString error;
    const bool ok = ValueFromData(type, c.data ? &*c.data : nullptr,
                                  c.separator ? &*c.separator : nullptr, &v, &error);
    EXPECT_EQ(ok, c.stored.has_value());
    if (ok && c.stored) {
      EXPECT_EQ(v.type, c.stored_type);
      EXPECT_EQ(v.data, *c.stored);
    } else if (!ok) {
      EXPECT_FALSE(error.empty());
    }
  }
  uint32_t type;
  EXPECT_FALSE(TypeFromName(u"REG_LINK", &type));
  EXPECT_FALSE(TypeFromName(u"", &type));
}

TEST(AddData, AsQueryShowsIt) {
  EXPECT_EQ(DisplayData(RegValue::Dword(42)), u"0x2a");
  EXPECT_EQ(DisplayData(RegValue::Qword(~0ull)), u"0xffffffffffffffff");
  EXPECT_EQ(DisplayData(RegValue::Binary(Hex("00 ff 10"))), u"00FF10");
  RegValue multi;
  multi.type = platform::kRegMultiSz;
  multi.data = Wide(UString(u"a\0b\0", 4));
  EXPECT_EQ(DisplayData(multi), u"a\\0b");
}

// ---- import ----

RegFile Parse(const std::string& bytes) {
  RegFile file;
  UString error;
  EXPECT_TRUE(ParseRegFile(bytes, &file, &error)) << platform::Utf16ToUtf8(error);
  return file;
}

const RegFileValue* Find(const RegFile& file, UStringView name) {
  const RegFileValue* found = nullptr;
  for (const RegFileKey& k : file.keys) {
    for (const RegFileValue& v : k.values) {
      if (v.name == name) found = &v;
    }
  }
  return found;
}

struct Expect {
  const char16_t* name;
  std::optional<Bytes> data;  // nullopt: the line is skipped, no such value
  uint32_t type;
};

// Checks each named value of the file: read with its type and bytes, or
// skipped.
void CheckValues(const RegFile& file, std::initializer_list<Expect> expected) {
  for (const Expect& e : expected) {
    SCOPED_TRACE(platform::Utf16ToUtf8(e.name));
    const RegFileValue* v = Find(file, e.name);
    if (!e.data) {
      EXPECT_EQ(v, nullptr);
      continue;
    }
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->value.type, e.type);
    EXPECT_EQ(v->value.data, *e.data);
  }
}

TEST(Import, Headers) {
  const struct {
    std::string first_line;
    bool file;     // taken as a registry file at all
    bool content;  // its values are read
  } cases[] = {
      {"Windows Registry Editor Version 5.00", true, true},
      {"REGEDIT4", true, true},
      {" \tREGEDIT4", true, true},
      {"REGEDIT", true, false},  // other versions: taken, nothing read
      {"REGEDIT3", true, false},
      {"REGEDIT 4", true, false},
      {"REGEDIT4 FOO", true, false},
      {"regedit4", false, false},
      {"Regedit4", false, false},
      {"Windows Registry Editor Version 4.00", false, false},
      {"WINDOWS REGISTRY EDITOR VERSION 5.00", false, false},
      {"", false, false},  // an empty first line
  };
  for (const auto& c : cases) {
    for (bool utf16 : {false, true}) {
      SCOPED_TRACE(c.first_line + (utf16 ? " (UTF-16)" : " (8-bit)"));
      const std::string text = c.first_line + "\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"x\"\n";
      const std::string bytes = utf16 ? Utf16Le(platform::Utf8ToUtf16(text)) : text;
      RegFile file;
      UString error;
      EXPECT_EQ(ParseRegFile(bytes, &file, &error), c.file);
      if (c.file) {
        EXPECT_EQ(Find(file, u"v") != nullptr, c.content);
      }
    }
  }
}

TEST(Import, ValueLines) {
  const RegFile file = Parse(
      "REGEDIT4\n"
      "\n"
      "[HKEY_CURRENT_USER\\K]\n"
      "\"Plain\"=\"Value\"\n"
      "  \t\"Indented\"  =  \"  Spaces kept  \"  \n"
      "\"Empty\"=\"\"\n"
      "\"\"=\"Default\"\n"
      "\"Escapes\\\\\\\"\"=\"\\\"quoted\\\" \\\\ back\"\n"
      "\"CommentAfter\"=\"v\" ;comment\n"
      "\"HashAfter\"=\"v\" #comment\n"
      "\"HashInside\"=\"v#x;y\"\n"
      "\"ZeroEscape\"=\"a\\0b\"\n"
      "\"QuoteInside\"=\"foo\"bar\"\n"
      "\"NoEnd\"=\"open\n"
      "NoQuotes=\"x\"\n"
      "\"NoEquals\" \"x\"\n"
      "\"Nothing\"=\n"
      "\"Dw1\"=dword:1\n"
      "\"Dw2\"=dword:  00000008\t\n"
      "\"Dw3\"=dword:1234;5678\n"
      "\"Dw4\"=dword:1234#5678\n"
      "\"Dw5\"=dword:123456789\n"
      "\"Dw6\"=dword:0x123\n"
      "\"Dw7\"=dword:\n"
      "\"Dw8\"=dword:12345678 abc\n"
      "\"Dw9\"=DWORD:1\n"
      "#comment line\n"
      "  ;comment line\n"
      "@=dword:00000002\n"
      "\"LineBreaks\"=\"a\\nb\\rc\"\n"
      "\"Unknown\"=\"a\\qb\"\n");
  CheckValues(file, {
                        {u"Plain", Wide(u"Value"), 1},
                        {u"Indented", Wide(u"  Spaces kept  "), 1},
                        {u"Empty", Wide(u""), 1},
                        {u"Escapes\\\"", Wide(u"\"quoted\" \\ back"), 1},
                        {u"CommentAfter", Wide(u"v"), 1},
                        {u"HashAfter", std::nullopt, 0},
                        {u"HashInside", Wide(u"v#x;y"), 1},
                        {u"ZeroEscape", std::nullopt, 0},
                        {u"LineBreaks", Wide(u"a\nb\rc"), 1},
                        {u"Unknown", Wide(u"aqb"), 1},
                        {u"QuoteInside", std::nullopt, 0},
                        {u"NoEnd", std::nullopt, 0},
                        {u"NoQuotes", std::nullopt, 0},
                        {u"NoEquals", std::nullopt, 0},
                        {u"Nothing", std::nullopt, 0},
                        {u"Dw1", Hex("01 00 00 00"), 4},
                        {u"Dw2", Hex("08 00 00 00"), 4},
                        {u"Dw3", Hex("34 12 00 00"), 4},
                        {u"Dw4", std::nullopt, 0},
                        {u"Dw5", std::nullopt, 0},
                        {u"Dw6", std::nullopt, 0},
                        {u"Dw7", std::nullopt, 0},
                        {u"Dw8", std::nullopt, 0},
                        {u"Dw9", std::nullopt, 0},
                    });
  // "" and @ both name the default value; the later one stands last.
  ASSERT_EQ(file.keys.size(), 1u);
  EXPECT_EQ(file.keys[0].values.front().name, u"Plain");
  const auto& values = file.keys[0].values;
  EXPECT_EQ(values[values.size() - 3].name, u"");
  EXPECT_EQ(values[values.size() - 3].value.data, Hex("02 00 00 00"));
  // An unknown escape is read as its character, and said.
  ASSERT_EQ(file.notes.size(), 1u);
  EXPECT_EQ(file.notes[0].line, 31u);
  // Every skipped line is named, with its number.
  std::vector<size_t> lines;
  for (const SkippedLine& s : file.skipped) lines.push_back(s.line);
  EXPECT_EQ(lines, (std::vector<size_t>{10, 12, 13, 14, 15, 16, 17, 21, 22, 23, 24, 25, 26}));
}

TEST(Import, HexDataAndItsContinuations) {
  const RegFile file = Parse(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\K]\n"
      "\"B1\"=hex:11,22,33,44\n"
      "\"B2\"=hex:11,22,\\\n"
      "  33,44\n"
      "\"B3\"=hex:11,22,  \\  ;comment\n"
      "\n"
      "  ;comment\n"
      "\t33,44,\n"
      "\"B4\"=hex:11,22\\\n"   // a backslash right after a byte
      "\"B5\"=hex:11,22,\\\n"  // the next line is no continuation:
      "\"Eaten\"=\"x\"\n"      // it goes with the value
      "\"B6\"=hex:11,22,\\\n"
      "#comment\n"  // a # line ends the continuation badly
      "\"After\"=\"x\"\n"
      "\"B7\"=hex:11,22,\\\n"
      "  ,33\n"
      "\"B8\"=hex:11,,22\n"
      "\"B9\"=hex:,11\n"
      "\"B10\"=hex:11,22,\\\n"
      "\\\n"
      "  33\n"
      "\"B11\"=hex:11,22;comment\n"
      "\"B12\"=hex:11,22 #comment\n"
      "\"B13\"=hex:11,22,;comment\n"
      "  33,44\n"  // not a continuation: a line of its own
      "\"B14\"=hex:100\n"
      "\"B15\"=hex:11,/\n"
      "\"B16\"=hex:11,\\ 22\n"
      "\"B17\"=hex:\\\n"
      "  11\n"
      "\"N1\"=hex(0):56,61,6c,75,65,00\n"
      "\"N2\"=hex(abcd):01\n"
      "\"N3\"=hex(ffffffff):01\n"
      "\"N4\"=hex(100000000):01\n"
      "\"N5\"=hex(0x2):01\n"
      "\"N6\"=hex:\n"
      "\"N7\"=hex(2):\n"
      "\"Last\"=hex:01,02,\\\n");
  CheckValues(file, {
                        {u"B1", Hex("11 22 33 44"), 3},
                        {u"B2", Hex("11 22 33 44"), 3},
                        {u"B3", Hex("11 22 33 44"), 3},
                        {u"B4", std::nullopt, 0},
                        {u"B5", std::nullopt, 0},
                        {u"Eaten", std::nullopt, 0},
                        {u"B6", std::nullopt, 0},
                        {u"After", Wide(u"x"), 1},
                        {u"B7", std::nullopt, 0},
                        {u"B8", std::nullopt, 0},
                        {u"B9", std::nullopt, 0},
                        {u"B10", std::nullopt, 0},
                        {u"B11", Hex("11 22"), 3},
                        {u"B12", std::nullopt, 0},
                        {u"B13", Hex("11 22"), 3},
                        {u"B14", std::nullopt, 0},
                        {u"B15", std::nullopt, 0},
                        {u"B16", std::nullopt, 0},
                        {u"B17", Hex("11"), 3},
                        {u"N1", Hex("56 61 6c 75 65 00"), 0},
                        {u"N2", Hex("01"), 0xabcd},
                        {u"N3", Hex("01"), 0xffffffff},
                        {u"N4", std::nullopt, 0},
                        {u"N5", std::nullopt, 0},
                        {u"N6", Bytes{}, 3},
                        {u"N7", Bytes{}, 2},
                        {u"Last", Hex("01 02"), 3},  // the file ends inside the value: it is kept
                    });
}

// In a REGEDIT4 file hex(1), hex(2) and hex(7) data are 8-bit text, widened
// to UTF-16; in a version 5 file they are UTF-16 already. Text data gets its
// ending zero when it lacks one.
TEST(Import, TextInHexData) {
  const RegFile four = Parse(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\K]\n"
      "\"E1\"=hex(2):25,50,41,54,48,25,00\n"
      "\"E2\"=hex(2):25,50,41,54,48,25\n"
      "\"M1\"=hex(7):4c,69,6e,65,00,00\n"
      "\"M2\"=hex(7):4c,69,6e,65\n"
      "\"S1\"=hex(1):63,61,66,e9,00\n"  // Windows-1252 é
      "\"R\"=hex(100):25,50,00\n");     // other types keep their bytes
  CheckValues(four, {
                        {u"E1", Wide(u"%PATH%"), 2},
                        {u"E2", Wide(u"%PATH%"), 2},
                        {u"M1", Wide(UString(u"Line\0", 5)), 7},
                        {u"M2", Wide(u"Line"), 7},
                        {u"S1", Wide(u"café"), 1},
                        {u"R", Hex("25 50 00"), 0x100},
                    });
  const RegFile five =
      Parse(Utf16Le(u"Windows Registry Editor Version 5.00\r\n"
                    u"[HKEY_CURRENT_USER\\K]\r\n"
                    u"\"E1\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00\r\n"
                    u"\"E2\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00\r\n"
                    u"\"S\"=hex(1):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00\r\n"));
  CheckValues(five, {
                        {u"E1", Wide(u"%PATH%"), 2},
                        {u"E2", Wide(u"%PATH%"), 2},
                        {u"S", Wide(UString(u"abc\0def", 7)), 1},
                    });
}

TEST(Import, KeyLines) {
  const RegFile file = Parse(
      "Windows Registry Editor Version 5.00\r"  // lines may end with CR alone
      "[HKEY_CURRENT_USER\\A]\r"
      "  [hkey_current_user\\B\\]\r"  // indentation, case, a trailing backslash
      "[HKCU\\C ]\r"                  // the blank belongs to the name
      "[ HKEY_CURRENT_USER\\D]\r"     // a blank before the name: skipped
      "\"InD\"=\"x\"\r"               // so its values go too
      "[-HKEY_CURRENT_USER\\E]\r"
      "\"InE\"=\"x\"\r"  // nothing to put a value in
      "[- HKEY_CURRENT_USER\\F]\r"
      "[HKEY_LOCAL_MACHINE\\G]\r"
      "[HKEY_CURRENT_USERS\\H]\r"
      "[HKEY_CURRENT_USER\\I\r"
      "[HKEY_CURRENT_USER\\J\\\\K]\r"
      "[HKEY_CURRENT_USER\\L]\r"
      "\"InL\"=-\r");
  std::vector<std::pair<UString, bool>> keys;
  for (const RegFileKey& k : file.keys) keys.emplace_back(k.path, k.remove);
  EXPECT_EQ(keys, (std::vector<std::pair<UString, bool>>{
                      {u"A", false}, {u"B", false}, {u"C ", false}, {u"E", true}, {u"L", false}}));
  EXPECT_EQ(Find(file, u"InD"), nullptr);
  EXPECT_EQ(Find(file, u"InE"), nullptr);
  ASSERT_NE(Find(file, u"InL"), nullptr);
  EXPECT_TRUE(Find(file, u"InL")->remove);
  std::vector<size_t> lines;
  for (const SkippedLine& s : file.skipped) lines.push_back(s.line);
  EXPECT_EQ(lines, (std::vector<size_t>{5, 6, 8, 9, 10, 11, 12, 13}));
}

TEST(Import, Deletions) {
  const RegFile file = Parse(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\K]\n"
      "\"D1\"=-\n"
      "\"D2\"=  \t-\t \n"
      "\"D3\"=- ;comment\n"
      "\"D4\"=- #comment\n"
      "\"D5\"=-\"x\"\n");
  for (const char16_t* name : {u"D1", u"D2", u"D3"}) {
    ASSERT_NE(Find(file, name), nullptr) << platform::Utf16ToUtf8(name);
    EXPECT_TRUE(Find(file, name)->remove);
  }
  EXPECT_EQ(Find(file, u"D4"), nullptr);
  EXPECT_EQ(Find(file, u"D5"), nullptr);
}

TEST(Import, EightBitFilesAndUtf8) {
  // The 8-bit text is the system's: Windows-1252 here under Wine; on Linux
  // UTF-8, a byte that is not being read as Windows-1252. A UTF-8 byte-order
  // mark is taken as well.
#ifdef _WIN32
  for (const std::string& e : {std::string("\xE9")}) {
#else
  for (const std::string& e : {std::string("\xE9"), std::string("\xC3\xA9")}) {
#endif
    const RegFile file =
        Parse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"caf" + e + "\"=\"caf" + e + "\"\n");
    CheckValues(file, {{u"café", Wide(u"café"), 1}});
  }
  const RegFile bom = Parse(
      "\xEF\xBB\xBFWindows Registry Editor Version "
      "5.00\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"\xC3\xB6\"\n");
  CheckValues(bom, {{u"v", Wide(u"ö"), 1}});
}

// ---- export ----

TEST(Export, WritesWhatWindowsWrites) {
  std::vector<RegFileKey> keys(3);
  keys[0].path = u"Software\\Wine";
  keys[1].path = u"Software\\Wine\\Subkey2a\\Subkey2b";
  keys[2].path = u"Software\\Wine\\Subkey4";
  const auto add = [](RegFileKey& k, const UString& name, uint32_t type, Bytes data) {
    RegFileValue v;
    v.name = name;
    v.value.type = type;
    v.value.data = std::move(data);
    k.values.push_back(std::move(v));
  };
  add(keys[0], u"DWORD", 4, Hex("00 01 00 00"));
  add(keys[0], u"String", 1, Wide(u"Your text here..."));
  add(keys[0], u"double\"quote", 1, Wide(u"\"Hello, World!\""));
  add(keys[0], u"Backslash", 1, Wide(u"Use \\\\ to escape a backslash"));
  add(keys[0], u"Undefined hex", 0x100, Hex("25 50 41 54 48 25 00"));
  add(keys[1], u"", 1, Wide(u"Default value name"));
  add(keys[1], u"Multiple strings", 7, Wide(UString(u"Line1\0Line2\0Line3\0", 18)));
  add(keys[2], u"", 4, Hex("78 56 34 12"));
  add(keys[2], u"43981", 0xabcd, Hex("56 61 6c 75 65 00"));
  add(keys[2], u"Empty", 3, Bytes{});
  std::string bytes;
  UString error;
  ASSERT_TRUE(FormatRegFile(keys, &bytes, &error)) << platform::Utf16ToUtf8(error);
  EXPECT_EQ(
      bytes,
      Utf16Le(
          u"Windows Registry Editor Version 5.00\r\n\r\n"
          u"[HKEY_CURRENT_USER\\Software\\Wine]\r\n"
          u"\"DWORD\"=dword:00000100\r\n"
          u"\"String\"=\"Your text here...\"\r\n"
          u"\"double\\\"quote\"=\"\\\"Hello, World!\\\"\"\r\n"
          u"\"Backslash\"=\"Use \\\\\\\\ to escape a backslash\"\r\n"
          u"\"Undefined hex\"=hex(100):25,50,41,54,48,25,00\r\n\r\n"
          u"[HKEY_CURRENT_USER\\Software\\Wine\\Subkey2a\\Subkey2b]\r\n"
          u"@=\"Default value name\"\r\n"
          u"\"Multiple strings\"=hex(7):4c,00,69,00,6e,00,65,00,31,00,00,00,4c,00,69,00,6e,\\\r\n"
          u"  00,65,00,32,00,00,00,4c,00,69,00,6e,00,65,00,33,00,00,00,00,00\r\n\r\n"
          u"[HKEY_CURRENT_USER\\Software\\Wine\\Subkey4]\r\n"
          u"@=dword:12345678\r\n"
          u"\"43981\"=hex(abcd):56,61,6c,75,65,00\r\n"
          u"\"Empty\"=hex:\r\n\r\n"));
}

// Where a quoted text would not give the value back, hex(1) data does.
TEST(Export, TextsThatCannotStandBetweenQuotes) {
  const struct {
    Bytes data;
    const char16_t* written;
  } cases[] = {
      {Wide(u"two\r\nlines"),
       u"hex(1):74,00,77,00,6f,00,0d,00,0a,00,6c,00,69,00,6e,00,65,00,73,00,00,00"},
      {Wide(UString(u"abc\0def", 7)), u"hex(1):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00"},
      {Bytes{}, u"hex(1):"},
      {Wide(u""), u"\"\""},  // the empty text, with its ending zero
  };
  for (const auto& c : cases) {
    std::vector<RegFileKey> keys(1);
    keys[0].path = u"K";
    RegFileValue v;
    v.name = u"v";
    v.value.type = platform::kRegSz;
    v.value.data = c.data;
    keys[0].values.push_back(v);
    std::string bytes;
    UString error;
    ASSERT_TRUE(FormatRegFile(keys, &bytes, &error));
    EXPECT_NE(bytes.find(Utf16Le(u"\"v\"=" + UString(c.written) + u"\r\n").substr(2)),
              std::string::npos)
        << platform::Utf16ToUtf8(c.written);
    const RegFile back = Parse(bytes);
    ASSERT_NE(Find(back, u"v"), nullptr);
    EXPECT_EQ(Find(back, u"v")->value.data, c.data);
  }
}

TEST(Export, RefusesWhatNoRegFileCanHold) {
  const struct {
    const char16_t* key;
    const char16_t* name;
    Bytes data;
  } cases[] = {
      {u"K", u"line\nbreak", Wide(u"x")},
      {u"K\r", u"v", Wide(u"x")},
      {u"K", u"v", Hex("61 00 62")},  // a text without its ending zero
  };
  for (const auto& c : cases) {
    std::vector<RegFileKey> keys(1);
    keys[0].path = c.key;
    RegFileValue v;
    v.name = c.name;
    v.value.type = platform::kRegSz;
    v.value.data = c.data;
    keys[0].values.push_back(v);
    std::string bytes;
    UString error;
    EXPECT_FALSE(FormatRegFile(keys, &bytes, &error));
    EXPECT_FALSE(error.empty());
  }
}

// Random keys and values of every kind: what export writes, import reads
// back byte for byte.
TEST(Export, AnyValueRoundTrips) {
  std::mt19937 random(20261210);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const char16_t palette[] = {u'a', u'Z', u'0', u' ', u'\t', u'"', u'\\', u';',   u'#',   u'[',
                              u']', u'=', u'@', u'-', u',',  u'é', u'€',  0xD800, 0xDC00, u'/'};
  const auto text = [&](size_t max, bool line_breaks, bool zeros) {
    UString s;
    const size_t n = pick(max + 1);
    for (size_t i = 0; i < n; ++i) {
      const size_t r = pick(30);
      if (line_breaks && r == 0) {
        s.push_back(u'\n');
      } else if (line_breaks && r == 1) {
        s.push_back(u'\r');
      } else if (zeros && r == 2) {
        s.push_back(0);
      } else {
        s.push_back(palette[pick(sizeof palette / sizeof palette[0])]);
      }
    }
    return s;
  };
  const uint32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 11, 0x100, 0xabcd, 0xffffffff};
  for (int round = 0; round < 200; ++round) {
    std::vector<RegFileKey> keys(1 + pick(3));
    for (size_t k = 0; k < keys.size(); ++k) {
      // A key name's parts hold anything but the backslash between them.
      UString part = platform::IntToText(static_cast<long long>(k)) + text(8, false, false);
      for (char16_t& c : part) {
        if (c == u'\\') c = u'_';
      }
      keys[k].path = u"Software\\R" + platform::IntToText(round) + u"\\" + part;
      const size_t values = pick(12);
      for (size_t i = 0; i < values; ++i) {
        RegFileValue v;
        v.name = i == 0 ? UString()
                        : platform::IntToText(static_cast<long long>(i)) + text(10, false, false);
        v.value.type = types[pick(sizeof types / sizeof types[0])];
        if (v.value.type == 1 || v.value.type == 2 || v.value.type == 7) {
          const UString t = text(60, true, true);
          v.value.data = pick(10) == 0 ? Bytes{} : Wide(t);
        } else if (v.value.type == 4 && pick(2) == 0) {
          v.value.data = Bytes(4);
          for (auto& b : v.value.data) b = static_cast<unsigned char>(random());
        } else {
          v.value.data = Bytes(pick(300));
          for (auto& b : v.value.data) b = static_cast<unsigned char>(random());
        }
        keys[k].values.push_back(std::move(v));
      }
    }
    std::string bytes;
    UString error;
    ASSERT_TRUE(FormatRegFile(keys, &bytes, &error)) << platform::Utf16ToUtf8(error);
    RegFile back;
    ASSERT_TRUE(ParseRegFile(bytes, &back, &error)) << platform::Utf16ToUtf8(error);
    ASSERT_TRUE(back.skipped.empty()) << "round " << round << ", line " << back.skipped[0].line
                                      << ": " << platform::Utf16ToUtf8(back.skipped[0].reason);
    ASSERT_EQ(back.keys.size(), keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      EXPECT_EQ(back.keys[k].path, keys[k].path);
      ASSERT_EQ(back.keys[k].values.size(), keys[k].values.size()) << "round " << round;
      for (size_t i = 0; i < keys[k].values.size(); ++i) {
        const auto& want = keys[k].values[i];
        const auto& got = back.keys[k].values[i];
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.value.type, want.value.type);
        EXPECT_EQ(got.value.data, want.value.data) << "round " << round << " value " << i;
      }
    }
  }
}

}  // namespace
}  // namespace regtool
