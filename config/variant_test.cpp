#include "config/variant.h"

#include <gtest/gtest.h>

#include "platform/regional.h"

namespace config {
namespace {

class VariantTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::UseRegionalSettings({}); }
  static void Separator(char16_t c) {
    platform::RegionalSettings s;
    s.decimal_separator = c;
    platform::UseRegionalSettings(s);
  }
};

TEST_F(VariantTest, EmptyConvertsToTheEmptyValueOfEachKind) {
  EXPECT_EQ(Variant().AsType(varInteger), Variant(int32_t{0}));
  EXPECT_EQ(Variant().AsType(varDouble), Variant(0.0));
  EXPECT_EQ(Variant().AsType(varBoolean), Variant(false));
  EXPECT_EQ(Variant().AsType(varString).AsText(), u"");
  EXPECT_EQ(Variant().AsType(varDate).AsDouble(), 0.0);
  EXPECT_EQ(Variant().AsType(varString).Kind(), varString);
}

TEST_F(VariantTest, ConversionsThatKeepOrChangeTheValue) {
  // A default survives a check only when the conversion does not change it.
  const struct {
    Variant from;
    uint16_t to;
    bool same;
  } cases[] = {
      {Variant(int32_t{5}), varDouble, true}, {Variant(2.5), varInteger, false},  // 2, half to even
      {Variant(3.0), varInteger, true},       {Variant(int64_t{-1}), varInt64, true},
      {Variant(u"é"), varString, true},  // representable in the code page
      {Variant(u"5"), varInteger, true},      {Variant(true), varBoolean, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.from.AsType(c.to) == c.from, c.same)
        << platform::Utf16ToUtf8(c.from.AsText()) << " -> " << c.to;
  }
  EXPECT_EQ(Variant(2.5).AsType(varInteger).AsInt64(), 2);
  EXPECT_EQ(Variant(3.5).AsType(varInteger).AsInt64(), 4);
  // Whole numbers in text convert exactly, up to the largest UInt64.
  for (uint64_t n : {18446744073709551615ull, 18446744073709551557ull, 9223372036854775809ull}) {
    const Variant text = Variant::UInt64(n).AsType(varUString);
    EXPECT_EQ(text.AsType(varUInt64), Variant::UInt64(n)) << n;
  }
}

TEST_F(VariantTest, ImpossibleConversionsFailWithAMessage) {
  const struct {
    Variant from;
    uint16_t to;
    const char16_t* message;
  } cases[] = {
      {Variant(u"abc"), varInteger,
       u"Could not convert variant of type (UnicodeString) into type (Integer)"},
      {Variant(int32_t{300}), varByte,
       u"Overflow while converting variant of type (Integer) into type (Byte)"},
      {Variant::Null(), varInteger,
       u"Could not convert variant of type (Null) into type (Integer)"},
      {Variant(int32_t{1}), varDispatch,
       u"Could not convert variant of type (Integer) into type (Dispatch)"},
      {Variant(int32_t{1}), 999, u"Invalid variant type (999)"},
  };
  for (const auto& c : cases) {
    try {
      c.from.AsType(c.to);
      ADD_FAILURE() << "no failure for kind " << c.to;
    } catch (const EVariantError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST_F(VariantTest, EqualityComparesTextCaseSensitively) {
  EXPECT_EQ(Variant(u"Abc"), Variant(u"Abc"));
  EXPECT_NE(Variant(u"Abc"), Variant(u"abc"));
  EXPECT_EQ(Variant(u"Abc"), Variant::AnsiString("Abc"));
  EXPECT_EQ(Variant(int32_t{7}), Variant(int64_t{7}));
  EXPECT_EQ(Variant::LongWord(4294967295u), Variant(int64_t{4294967295}));
  EXPECT_NE(Variant::UInt64(~0ull), Variant(int64_t{-1}));
  EXPECT_NE(Variant(), Variant(int32_t{0}));
}

TEST_F(VariantTest, FloatText) {
  const struct {
    double value;
    const char16_t* dot;
    const char16_t* comma;
  } cases[] = {
      {2.5, u"2.5", u"2,5"},
      {-0.125, u"-0.125", u"-0,125"},
      {1e20, u"1E20", u"1E20"},
      {1.5e-5, u"1.5E-5", u"1,5E-5"},
      {1.0 / 3, u"0.333333333333333", u"0,333333333333333"},
      {100, u"100", u"100"},
  };
  for (const auto& c : cases) {
    Separator(u'.');
    EXPECT_EQ(FloatToText(c.value), c.dot);
    Separator(u',');
    EXPECT_EQ(FloatToText(c.value), c.comma);
  }
}

TEST_F(VariantTest, FloatTextParsesOnlyWithTheSeparatorInForce) {
  double d = 0;
  Separator(u',');
  EXPECT_TRUE(TextToFloat(u"2,5", &d));
  EXPECT_EQ(d, 2.5);
  EXPECT_FALSE(TextToFloat(u"2.5", &d));
  Separator(u'.');
  EXPECT_FALSE(TextToFloat(u"2,5", &d));
  for (const char16_t* bad : {u"", u"abc", u"1.2.3", u"inf", u"nan", u"1e999"}) {
    EXPECT_FALSE(TextToFloat(bad, &d)) << platform::Utf16ToUtf8(bad);
  }
}

TEST_F(VariantTest, IntegerText) {
  int64_t n = 0;
  EXPECT_TRUE(TextToInt64(u"-9223372036854775808", &n));
  EXPECT_EQ(n, INT64_MIN);
  EXPECT_TRUE(TextToInt64(u"+42", &n));
  EXPECT_EQ(n, 42);
  for (const char16_t* bad : {u"", u"-", u"9223372036854775808", u"1 2", u" 1", u"0x10"}) {
    EXPECT_FALSE(TextToInt64(bad, &n)) << platform::Utf16ToUtf8(bad);
  }
}

TEST_F(VariantTest, DatesAreOleAutomationDates) {
  EXPECT_EQ(Variant::Date(0).AsText(), u"1899-12-30");
  EXPECT_EQ(Variant::Date(2.5).AsText(), u"1900-01-01 12:00:00");
  EXPECT_EQ(Variant(u"2026-12-10 06:00:00").AsType(varDate).AsDouble(), 46366.25);
  EXPECT_THROW(Variant(u"2026-02-30").AsType(varDate), EVariantError);
  // The years 1 to 9999 have a text; a date beyond them is refused, not
  // shown as a wrong one.
  EXPECT_EQ(Variant::Date(2958465.5).AsText(), u"9999-12-31 12:00:00");
  EXPECT_EQ(Variant::Date(-693593).AsText(), u"0001-01-01");
  EXPECT_EQ(Variant(u"0001-01-01").AsType(varDate).AsDouble(), -693593.0);
  for (double far : {2958466.0, -693594.0, 4.4e262, -1e19}) {
    EXPECT_THROW(Variant::Date(far).AsText(), EVariantError) << far;
    EXPECT_THROW(Variant::Date(far).AsType(varUString), EVariantError) << far;
  }
}

}  // namespace
}  // namespace config
