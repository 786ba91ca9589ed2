#include "tools/vorlo-reg/reg_file.h"

#include <gtest/gtest.h>

namespace regtool {
namespace {

std::string Utf16Le(UStringView s) {
  std::string out = "\xFF\xFE";
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

TEST(RegFile, KeyNames) {
  const struct {
    const char16_t* arg;
    bool ok;
    const char16_t* path;
  } cases[] = {
      {u"HKCU\\Software\\Vorlo", true, u"Software\\Vorlo"},
      {u"hkey_current_user\\Software\\Vorlo\\", true, u"Software\\Vorlo"},
      {u"HKCU", true, u""},
      {u"HKLM\\Software\\Vorlo", false, u""},
      {u"HKEY_LOCAL_MACHINE", false, u""},
      {u"HKCUX\\Software", false, u""},
      {u"Software\\Vorlo", false, u""},
      {u"HKCU\\a\\\\b", false, u""},
  };
  for (const auto& c : cases) {
    UString path, error;
    EXPECT_EQ(ParseKeyName(c.arg, &path, &error), c.ok) << platform::Utf16ToUtf8(c.arg);
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

TEST(RegFile, DataByType) {
  const struct {
    const char16_t* type;
    const char16_t* data;
    bool ok;
    const char16_t* shown;
  } cases[] = {
      {u"REG_SZ", u"\"/opt/vorlo/\"", true, u"\"/opt/vorlo/\""},
      {u"reg_dword", u"42", true, u"0x2a"},
      {u"REG_DWORD", u"0xFFFFFFFF", true, u"0xffffffff"},
      {u"REG_DWORD", u"4294967296", false, u""},
      {u"REG_DWORD", u"-1", false, u""},
      {u"REG_QWORD", u"18446744073709551615", true, u"0xffffffffffffffff"},
      {u"REG_BINARY", u"00ff10", true, u"00FF10"},
      {u"REG_BINARY", u"0f0", false, u""},
      {u"REG_BINARY", u"zz", false, u""},
      {u"REG_MULTI_SZ", u"a\\0b", true, u"a\\0b"},
      {u"REG_EXPAND_SZ", u"%HOME%/x", true, u"%HOME%/x"},
  };
  for (const auto& c : cases) {
    uint32_t type = 0;
    ASSERT_TRUE(TypeFromName(c.type, &type));
    RegValue v;
    UString error;
    EXPECT_EQ(ValueFromData(type, c.data, u"", &v, &error), c.ok) << platform::Utf16ToUtf8(c.data);
    if (c.ok) {
      EXPECT_EQ(DisplayData(v), c.shown);
    }
  }
  uint32_t type;
  EXPECT_FALSE(TypeFromName(u"REG_LINK", &type));
  RegValue multi;
  UString error;
  ASSERT_TRUE(ValueFromData(platform::kRegMultiSz, u"a|b|c", u"|", &multi, &error));
  EXPECT_EQ(multi.AsMultiText(), (std::vector<UString>{u"a", u"b", u"c"}));
}

TEST(RegFile, EveryTypeSurvivesExportAndImport) {
  std::vector<RegFileKey> keys(2);
  keys[0].path = u"Software\\Vorlo";
  keys[1].path = u"Software\\Vorlo\\Updates";
  const auto add = [](RegFileKey& k, const UString& name, RegValue v) {
    RegFileValue fv;
    fv.name = name;
    fv.value = std::move(v);
    k.values.push_back(std::move(fv));
  };
  add(keys[0], u"", RegValue::Text(u"default"));
  add(keys[1], u"ExecPath", RegValue::Text(u"\"C:\\Program Files\\Vorlo\\\""));
  add(keys[1], u"quote\"and\\slash", RegValue::Text(u"é€"));
  add(keys[1], u"n", RegValue::Dword(10));
  add(keys[1], u"q", RegValue::Qword(0x1122334455667788ull));
  add(keys[1], u"e", RegValue::Text(u"%PATH%", platform::kRegExpandSz));
  std::vector<unsigned char> big(100);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
  add(keys[1], u"b", RegValue::Binary(big));
  RegValue odd;  // a REG_SZ without its terminator is kept byte for byte
  odd.type = platform::kRegSz;
  odd.data = {'a', 0, 'b'};
  add(keys[1], u"odd", odd);

  const std::string file = FormatRegFile(keys);
  ASSERT_EQ(file.substr(0, 2), "\xFF\xFE");
  std::vector<RegFileKey> back;
  UString error;
  ASSERT_TRUE(ParseRegFile(file, &back, &error)) << platform::Utf16ToUtf8(error);
  ASSERT_EQ(back.size(), keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    EXPECT_EQ(back[k].path, keys[k].path);
    ASSERT_EQ(back[k].values.size(), keys[k].values.size());
    for (size_t i = 0; i < keys[k].values.size(); ++i) {
      EXPECT_EQ(back[k].values[i].name, keys[k].values[i].name);
      EXPECT_EQ(back[k].values[i].value.type, keys[k].values[i].value.type);
      EXPECT_EQ(back[k].values[i].value.data, keys[k].values[i].value.data);
    }
  }
  // Long hexadecimal values are wrapped below 80 columns.
  std::string text;
  for (size_t i = 2; i + 1 < file.size(); i += 2) text.push_back(file[i]);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_LE((end == std::string::npos ? text.size() : end) - start, 80u);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  EXPECT_NE(text.find("\"n\"=dword:0000000a\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"ExecPath\"=\"\\\"C:\\\\Program Files\\\\Vorlo\\\\\\\"\"\r\n"),
            std::string::npos);
}

TEST(RegFile, ImportReadsUtf8AndDeletions) {
  const std::string file =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
      "\n"
      "; a comment\n"
      "[-HKEY_CURRENT_USER\\Software\\Vorlo\\Old]\n"
      "[HKCU\\Software\\Vorlo\\Updates]\n"
      "\"ExecPath\"=\"\\\"/opt/vorl\xC3\xB6/\\\"\"\n"
      "\"Gone\"=-\n"
      "@=hex(2):25,00,00,00\n"
      "\"wrapped\"=hex:01,02,\\\n"
      "  03\n";
  std::vector<RegFileKey> keys;
  UString error;
  ASSERT_TRUE(ParseRegFile(file, &keys, &error)) << platform::Utf16ToUtf8(error);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_TRUE(keys[0].remove);
  EXPECT_EQ(keys[0].path, u"Software\\Vorlo\\Old");
  ASSERT_EQ(keys[1].values.size(), 4u);
  EXPECT_EQ(keys[1].values[0].value.AsText(), u"\"/opt/vorlö/\"");
  EXPECT_TRUE(keys[1].values[1].remove);
  EXPECT_EQ(keys[1].values[2].name, u"");
  EXPECT_EQ(keys[1].values[2].value.type, platform::kRegExpandSz);
  EXPECT_EQ(keys[1].values[3].value.data, (std::vector<unsigned char>{1, 2, 3}));
}

TEST(RegFile, BadFilesNameTheLine) {
  const struct {
    std::string file;
    const char16_t* error;
  } cases[] = {
      {"hello", u"line 1: not a registry file"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", u"line 2: a value must follow"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\Software]\n", u"line 2: The root HKLM"},
      {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=dword:123456789\n",
       u"line 3: dword:"},
      {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=\"open\n", u"line 3: unterminated"},
      {"Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=hex:1,zz\n", u"line 3: invalid hex"},
  };
  for (const auto& c : cases) {
    std::vector<RegFileKey> keys;
    UString error;
    EXPECT_FALSE(ParseRegFile(c.file, &keys, &error)) << c.file;
    EXPECT_EQ(error.substr(0, UStringView(c.error).size()), c.error) << platform::Utf16ToUtf8(error);
  }
  std::vector<RegFileKey> keys;
  UString error;
  EXPECT_TRUE(ParseRegFile(Utf16Le(u"Windows Registry Editor Version 5.00\r\n"), &keys, &error));
}

}  // namespace
}  // namespace regtool
