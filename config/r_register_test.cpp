// The configuration store on the real hive of the platform: the registry
// (under Wine, in a scratch prefix) or the SQLite hive (in a scratch folder).
#include "config/r_register.h"

#include <gtest/gtest.h>

#include <cmath>

#include <cstring>
#include <type_traits>
#include <utility>

#include "platform/hive.h"
#include "platform/regional.h"
#include "tests/support/scratch.h"

namespace config {
namespace {

using platform::RegValue;

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!scratch_.Usable()) GTEST_SKIP() << "no scratch hive here";
  }
  void TearDown() override { platform::UseRegionalSettings({}); }

  // Writes a value as it stands, past the store's own forms.
  static void Raw(const UString& path, const UString& name, const RegValue& v) {
    platform::Hive hive;
    auto key = hive.Create(u"Software\\Vorlo" + path);
    ASSERT_TRUE(key.has_value());
    ASSERT_TRUE(key->Write(name, v));
  }
  static std::optional<RegValue> Stored(const UString& path, const UString& name) {
    platform::Hive hive;
    auto key = hive.Open(u"Software\\Vorlo" + path);
    RegValue v;
    if (!key || !key->Read(name, &v)) return std::nullopt;
    return v;
  }

  // Reads \K:V with the kind, into a variable of the kind's type that
  // starts at 7 (false for a boolean): whether the read succeeded, and what
  // the variable holds as an integer (a floating one: 7 while untouched, else 0).
  std::pair<bool, int64_t> ReadAs(int32_t kind) {
    switch (kind) {
      case 3: return ReadInto<int32_t>(kind, 7);
      case 11: return ReadInto<bool>(kind, false);
      case 17: return ReadInto<uint8_t>(kind, 7);
      case 19: return ReadInto<uint32_t>(kind, 7);
      case 20: return ReadInto<int64_t>(kind, 7);
      case 4: return ReadInto<float>(kind, 7);
      case 5: return ReadInto<double>(kind, 7);
    }
    ADD_FAILURE() << "no variable for kind " << kind;
    return {false, 0};
  }
  template <class T>
  std::pair<bool, int64_t> ReadInto(int32_t kind, T v) {
    const bool ok = store_.ReadValueRegisterDFset(u"\\K", v, u"V", kind);
    if constexpr (std::is_floating_point_v<T>) return {ok, std::isfinite(v) && v == 7 ? 7 : 0};
    return {ok, static_cast<int64_t>(v)};
  }

  testing_support::ScratchHive scratch_;
  TDatabaseRegistry store_;
};

TEST_F(StoreTest, WrittenValuesReadBackAndHaveTheirStoredForms) {
  store_.WriteCFGtoRegister(u"\\Updates", Variant(u"/opt/vorlo/"), u"ExecPath");
  store_.WriteCFGtoRegister(u"\\T", Variant(int32_t{-42}), u"Int");
  store_.WriteCFGtoRegister(u"\\T", Variant(true), u"Flag");
  store_.WriteCFGtoRegister(u"\\T", Variant(int64_t{1} << 40), u"Big");
  store_.WriteCFGtoRegister(u"\\T", Variant(2.5), u"Dbl");
  store_.WriteCFGtoRegister(u"\\T", Variant::Date(46366.25), u"When");

  const struct {
    const char16_t* path;
    const char16_t* name;
    uint32_t type;
    const char16_t* text;
  } forms[] = {
      {u"\\Updates", u"ExecPath", platform::kRegSz, u"\"/opt/vorlo/\""},
      {u"\\T", u"Int", platform::kRegSz, u"-42"},
      {u"\\T", u"Flag", platform::kRegSz, u"Yes"},
      {u"\\T", u"Big", platform::kRegSz, u"1099511627776"},
      {u"\\T", u"Dbl", platform::kRegSz, u"2.5"},
  };
  for (const auto& f : forms) {
    const auto v = Stored(f.path, f.name);
    ASSERT_TRUE(v.has_value()) << platform::Utf16ToUtf8(f.name);
    EXPECT_EQ(v->type, f.type);
    EXPECT_EQ(v->AsText(), f.text);
  }
  const auto when = Stored(u"\\T", u"When");
  ASSERT_TRUE(when.has_value());
  EXPECT_EQ(when->type, platform::kRegBinary);
  EXPECT_EQ(when->data.size(), 8u);

  UString path;
  int32_t i = 0;
  bool flag = false;
  int64_t big = 0;
  double dbl = 0, date = 0;
  float single = 0;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\Updates", path, u"ExecPath", 256));
  EXPECT_EQ(path, u"/opt/vorlo/");
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", i, u"Int", 3));
  EXPECT_EQ(i, -42);
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", flag, u"Flag", 11));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", big, u"Big", 20));
  EXPECT_EQ(big, int64_t{1} << 40);
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", dbl, u"Dbl", 5));
  EXPECT_EQ(dbl, 2.5);
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", single, u"Dbl", 4));
  EXPECT_EQ(single, 2.5f);
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\T", date, u"When", 7));
  EXPECT_EQ(date, 46366.25);
}

TEST_F(StoreTest, TextsLoseTheirFirstAndLastCharacterWhateverTheyAre) {
  const struct {
    const char16_t* stored;
    const char16_t* read;
  } cases[] = {
      {u"\"US\"", u"US"}, {u"/opt/vorlo/", u"opt/vorlo"},  // entered by hand, without quotes
      {u"US", u""},       {u"x", u""},
      {u"", u""},
  };
  for (const auto& c : cases) {
    Raw(u"\\Lang", u"Lang_selected", RegValue::Text(c.stored));
    UString lang = u"before";
    EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\Lang", lang, u"Lang_selected", 256));
    EXPECT_EQ(lang, c.read) << platform::Utf16ToUtf8(c.stored);
  }
  // REG_EXPAND_SZ reads as text too, unexpanded.
  Raw(u"\\Lang", u"Lang_selected", RegValue::Text(u"\"%HOME%\"", platform::kRegExpandSz));
  UString lang;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\Lang", lang, u"Lang_selected", 256));
  EXPECT_EQ(lang, u"%HOME%");
}

TEST_F(StoreTest, ReadsOfStoredTextByKind) {
  const struct {
    const char16_t* stored;
    int32_t kind;
    bool ok;
    int64_t value;  // what the variable holds afterwards, as an integer
  } cases[] = {
      {u"Yes", 11, true, 1},
      {u"yes", 11, true, 0},
      {u"True", 11, true, 0},
      {u"1", 11, true, 0},
      {u"300", 17, true, 44},  // low 8 bits
      {u"-1", 19, true, 4294967295},
      {u"2147483647", 3, true, 2147483647},
      {u"2147483648", 3, false, 7},  // beyond 32 bits
      {u"12abc", 3, false, 7},
      {u"-5", 20, true, -5},
      {u"9223372036854775808", 20, false, 7},
      // Floating point, as the truncated integer: a number the kind cannot
      // hold is unreadable, never infinite.
      {u"3.4E38", 4, true, 0},
      {u"1E39", 4, false, 7},
      {u"-1E39", 4, false, 7},
      {u"1E39", 5, true, 0},
      {u"1E309", 5, false, 7},
  };
  for (const auto& c : cases) {
    Raw(u"\\K", u"V", RegValue::Text(c.stored));
    const auto [ok, got] = ReadAs(c.kind);
    EXPECT_EQ(ok, c.ok) << platform::Utf16ToUtf8(c.stored) << " as " << c.kind;
    EXPECT_EQ(got, c.value) << platform::Utf16ToUtf8(c.stored) << " as " << c.kind;
    if (!c.ok) {
      EXPECT_EQ(store_.ErrorMessage,
                u"Registry Read Error : -> \\Software\\Vorlo\\K:V : Failed to read., "
                u"Default value used...");
    }
  }
}

TEST_F(StoreTest, ValuesOfTheWrongRegistryTypeFailToRead) {
  Raw(u"\\K", u"DateAsText", RegValue::Text(u"46366.25"));
  Raw(u"\\K", u"IntAsDword", RegValue::Dword(5));
  Raw(u"\\K", u"ShortDate", RegValue::Binary({1, 2, 3}));
  double date = 1;
  int32_t n = 1;
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", date, u"DateAsText", 7));
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", n, u"IntAsDword", 3));
  EXPECT_EQ(store_.ErrorMessage,
            u"Registry Read Error : -> \\Software\\Vorlo\\K:IntAsDword : Failed to read., "
            u"Default value used...");
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", date, u"ShortDate", 7));
  EXPECT_EQ(date, 1);
  EXPECT_EQ(n, 1);
}

TEST_F(StoreTest, FailedReadsLeaveTheVariableAndSayWhy) {
  Raw(u"\\Updates", u"Other", RegValue::Text(u"\"x\""));
  Raw(u"\\K", u"Text", RegValue::Text(u"\"x\""));
  const struct {
    const char16_t* path;
    const char16_t* name;
    Variant def;
    int32_t kind;
    const char16_t* message;
  } cases[] = {
      {u"\\Updates", u"ExecPath", Variant(UString()), 256,
       u"Registry Read Error : -> \\Software\\Vorlo\\Updates:ExecPath : value does not "
       u"exists., Default value used..."},
      {u"\\Nowhere", u"ExecPath", Variant(UString()), 256,
       u"Registry Read Error : Key \\Software\\Vorlo\\Nowhere not found!"},
      {u"\\K", u"Text", Variant(int32_t{1}), 256,
       u"Registry Read Error : -> \\Software\\Vorlo\\K:Text : Default value has wrong "
       u"type., Default value CANNOT be used..."},
      {u"\\K", u"Text", Variant(2.5), 3,
       u"Registry Read Error : -> \\Software\\Vorlo\\K:Text : Default value has wrong "
       u"type., Default value CANNOT be used..."},
      {u"\\K", u"Text", Variant(u"abc"), 3,
       u"Registry Read Error : -> \\Software\\Vorlo\\K:Could not convert variant of type "
       u"(UnicodeString) into type (Integer), Default value CANNOT be used..."},
      {u"\\K", u"Text", Variant(), 0,
       u"Registry Read Error : -> \\Software\\Vorlo\\K:Text Null or empty Variant !, "
       u"Default value used..."},
      {u"\\K", u"Text", Variant::Currency(0), 6,
       u"Registry Read Error : -> \\Software\\Vorlo\\K:Text : Data type not supported !, "
       u"Default value used..."},
      {u"\\K", u"Text", Variant::UInt64(0), 21, u"Read register for \\KText has failed !"},
  };
  for (const auto& c : cases) {
    UString var = u"kept";
    EXPECT_FALSE(store_.ReadValueRegister(c.path, c.name, var, c.def, c.kind));
    EXPECT_EQ(store_.ErrorMessage, c.message);
    EXPECT_EQ(var, u"kept");
  }
}

TEST_F(StoreTest, KindsThePublicReadersDoNotReadNeverSucceed) {
  Raw(u"\\K", u"V", RegValue::Text(u"5"));
  int32_t v = 0;
  for (int32_t kind : {2, 16, 18, 258}) {
    EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", v, u"V", kind)) << kind;
  }
  const struct {
    Variant def;
    int32_t kind;
  } explicit_defaults[] = {{Variant::Smallint(0), 2},
                           {Variant::ShortInt(0), 16},
                           {Variant::Word(0), 18},
                           {Variant(u""), 258}};
  for (const auto& c : explicit_defaults) {
    EXPECT_FALSE(store_.ReadValueRegister(u"\\K", u"V", v, c.def, c.kind)) << c.kind;
  }
}

TEST_F(StoreTest, ACodeThatIsNoKindRaises) {
  int32_t v = 0;
  EXPECT_THROW(store_.ReadValueRegister(u"\\K", u"V", v, Variant(), 999), EVariantError);
  EXPECT_THROW(store_.ReadValueRegister(u"\\K", u"V", v, Variant(), 9), EVariantError);
}

TEST_F(StoreTest, DfsetKeepsTheDefaultOnAMissingValue) {
  store_.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{3}), u"other.dll");
  int64_t size = -1;
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\Updates\\files", size, u"vorlo.exe", 20));
  EXPECT_EQ(size, -1);
  // A size written by hand as decimal text reads as kind 20.
  Raw(u"\\Updates\\files", u"vorlo.exe", RegValue::Text(u"123456"));
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\Updates\\files", size, u"VORLO.EXE", 20));
  EXPECT_EQ(size, 123456);
}

TEST_F(StoreTest, ErrorMessageOutlivesALaterSuccessfulRead) {
  store_.WriteCFGtoRegister(u"\\K", Variant(int32_t{1}), u"V");
  int32_t v = 0;
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", v, u"Missing", 3));
  const UString first = store_.ErrorMessage;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\K", v, u"V", 3));
  EXPECT_EQ(store_.ErrorMessage, first);
}

TEST_F(StoreTest, RefusedWritesLeaveTheStoredValue) {
  store_.WriteCFGtoRegister(u"\\K", Variant(int32_t{1}), u"V");
  store_.WriteCFGtoRegister(u"\\K", Variant(), u"V");
  store_.WriteCFGtoRegister(u"\\K", Variant::Null(), u"V");
  store_.WriteCFGtoRegister(u"\\K", Variant::Currency(1), u"V");
  store_.WriteCFGtoRegister(u"\\K", Variant::UInt64(2), u"V");
  int32_t v = 0;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\K", v, u"V", 3));
  EXPECT_EQ(v, 1);
}

TEST_F(StoreTest, WritesReplaceAValueOfAnotherTypeAndCreateEveryKey) {
  Raw(u"\\A", u"V", RegValue::Dword(9));
  store_.WriteCFGtoRegister(u"\\A", Variant(u"t"), u"V");
  EXPECT_EQ(Stored(u"\\A", u"V")->type, platform::kRegSz);
  store_.WriteCFGtoRegister(u"\\X\\Y\\Z", Variant(int32_t{1}), u"V");
  EXPECT_TRUE(store_.SubKeyexists(u"\\X"));
  EXPECT_TRUE(store_.SubKeyexists(u"\\X\\Y\\Z"));
}

TEST_F(StoreTest, KeyExistenceAndDeletion) {
  EXPECT_FALSE(store_.SWKeyExists());
  store_.WriteCFGtoRegister(u"\\Updates\\files", Variant(int32_t{1}), u"a");
  store_.WriteCFGtoRegister(u"\\Lang", Variant(u"US"), u"Lang_selected");
  EXPECT_TRUE(store_.SWKeyExists());
  EXPECT_TRUE(store_.SubKeyexists(u"\\updates\\FILES"));  // names ignore case
  store_.DeleteKey(u"\\Updates");
  EXPECT_FALSE(store_.SubKeyexists(u"\\Updates\\files"));
  EXPECT_TRUE(store_.SubKeyexists(u"\\Lang"));
  store_.DeleteKey(u"\\Missing");  // silent
  store_.DeleteKey(u"");
  EXPECT_FALSE(store_.SWKeyExists());
}

TEST_F(StoreTest, FloatTextFollowsTheRegionalSeparator) {
  platform::RegionalSettings comma;
  comma.decimal_separator = u',';
  platform::UseRegionalSettings(comma);
  store_.WriteCFGtoRegister(u"\\K", Variant(2.5), u"F");
  EXPECT_EQ(Stored(u"\\K", u"F")->AsText(), u"2,5");
  double d = 0;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\K", d, u"F", 5));
  EXPECT_EQ(d, 2.5);
  platform::UseRegionalSettings({});
  d = 0;
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", d, u"F", 5));
  EXPECT_EQ(d, 0);
}

TEST_F(StoreTest, ShortStrings) {
  Raw(u"\\K", u"S", RegValue::Text(u"\"hello\""));
  ShortString s;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\K", s, u"S", kShortStringKind));
  EXPECT_EQ(s.Bytes(), "hello");

  // A stored text of 256 characters or more: the default, and a failure.
  Raw(u"\\K", u"Long", RegValue::Text(u"\"" + UString(256, u'x') + u"\""));
  std::memcpy(s.chars, "def", 3);
  s.length = 3;
  EXPECT_FALSE(store_.ReadValueRegisterDFset(u"\\K", s, u"Long", kShortStringKind));
  EXPECT_EQ(s.Bytes(), "def");
  EXPECT_EQ(store_.ErrorMessage, u"Read register for \\KLong String too long !");

  // 255 characters fit.
  Raw(u"\\K", u"Max", RegValue::Text(u"\"" + UString(255, u'y') + u"\""));
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\K", s, u"Max", kShortStringKind));
  EXPECT_EQ(s.length, 255);

  // A default longer than 255 characters empties the variable.
  EXPECT_FALSE(
      store_.ReadValueRegister(u"\\K", u"S", s, Variant(UString(256, u'z')), kShortStringKind));
  EXPECT_EQ(s.length, 0);
  EXPECT_EQ(store_.ErrorMessage, u"Read register for \\KS Default string too long !");
}

TEST_F(StoreTest, AVariableOfAnotherTypeThanTheKindIsNeverWritten) {
  Raw(u"\\K", u"V", RegValue::Text(u"5"));
  int64_t wide = 9;
  EXPECT_FALSE(store_.ReadValueRegister(u"\\K", u"V", wide, Variant(int32_t{0}), 3));
  EXPECT_EQ(wide, 9);
  EXPECT_EQ(store_.ErrorMessage, u"Read register for \\KV has failed !");
}

TEST_F(StoreTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  store_.WriteCFGtoRegister(u"\\Updates", Variant(u"a"), u"ExecPath");
  store_.WriteCFGtoRegister(u"\\UPDATES", Variant(u"b"), u"EXECPATH");
  platform::Hive hive;
  auto key = hive.Open(u"Software\\Vorlo\\Updates");
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->ValueNames(), std::vector<UString>{u"ExecPath"});
  auto root = hive.Open(u"Software\\Vorlo");
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->SubKeyNames(), std::vector<UString>{u"Updates"});
  UString v;
  EXPECT_TRUE(store_.ReadValueRegisterDFset(u"\\updates", v, u"execpath", 256));
  EXPECT_EQ(v, u"b");
}

}  // namespace
}  // namespace config
