// Variant: the tagged value in which configuration values travel. A 16-bit
// kind code (the OLE Automation variant types, with 256 String: 8-bit text in
// the system code page, 257 Any, 258 UnicodeString) and a payload.
//
//   Variant v(int32_t{5});                 // Integer
//   v.AsType(varDouble) == Variant(5.0);   // true
//   v.AsType(varString).AsText() == u"5";
//
// Conversions that are not possible throw EVariantError with a message that
// names both kinds, such as "Could not convert variant of type (UnicodeString)
// into type (Integer)".
#pragma once

#include <cstdint>
#include <string>

#include "platform/exception.h"
#include "platform/text.h"

namespace config {

using platform::UString;
using platform::UStringView;

enum VarKind : uint16_t {
  varEmpty = 0,
  varNull = 1,
  varSmallint = 2,
  varInteger = 3,
  varSingle = 4,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varOleStr = 8,
  varDispatch = 9,
  varError = 10,
  varBoolean = 11,
  varVariant = 12,
  varUnknown = 13,
  varDecimal = 14,
  varShortInt = 16,
  varByte = 17,
  varWord = 18,
  varLongWord = 19,
  varInt64 = 20,
  varUInt64 = 21,
  varRecord = 36,
  varStrArg = 72,
  varString = 256,
  varAny = 257,
  varUString = 258,
};

class EVariantError : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

class Variant {
 public:
  // Empty.
  Variant() = default;
  // Integer, Int64, Double, Boolean and UnicodeString, by the C++ type.
  explicit Variant(int32_t v) : kind_(varInteger), i_(v) {}
  explicit Variant(int64_t v) : kind_(varInt64), i_(v) {}
  explicit Variant(double v) : kind_(varDouble), d_(v) {}
  explicit Variant(bool v) : kind_(varBoolean), i_(v ? 1 : 0) {}
  explicit Variant(UString v) : kind_(varUString), text_(std::move(v)) {}
  explicit Variant(const char16_t* v) : Variant(UString(v)) {}

  static Variant Null();
  static Variant Smallint(int16_t v);
  static Variant Single(float v);
  // An OLE Automation date: days since 30 December 1899, the fraction being
  // the time of day.
  static Variant Date(double v);
  static Variant Currency(double v);
  static Variant ShortInt(int8_t v);
  static Variant Byte(uint8_t v);
  static Variant Word(uint16_t v);
  static Variant LongWord(uint32_t v);
  static Variant UInt64(uint64_t v);
  // String (256): 8-bit text in the system code page.
  static Variant AnsiString(std::string bytes);
  static Variant OleStr(UString v);

  uint16_t Kind() const { return kind_; }
  static UString KindName(uint16_t kind);

  // This value converted to `kind`. Throws EVariantError when the kind is no
  // kind of Variant, or when this value cannot be expressed in it (text that
  // does not parse, a number out of range, Null into anything but Null).
  Variant AsType(uint16_t kind) const;

  // Equality: texts case-sensitively, numbers by value across kinds, a text
  // and a number by the text's numeric value.
  bool operator==(const Variant& other) const;
  bool operator!=(const Variant& other) const { return !(*this == other); }

  // Readers; each throws EVariantError where AsType would.
  int64_t AsInt64() const;
  double AsDouble() const;
  bool AsBoolean() const;
  UString AsText() const;

 private:
  bool IsText() const;
  bool IsNumeric() const;
  bool IsUnsigned() const;
  [[noreturn]] void FailConversion(uint16_t to) const;
  [[noreturn]] void FailOverflow(uint16_t to) const;
  Variant ToInteger(uint16_t to) const;

  uint16_t kind_ = varEmpty;
  int64_t i_ = 0;     // signed integers, Boolean (0 or 1), Currency (x 10000)
  uint64_t u_ = 0;    // Byte, Word, LongWord, UInt64
  double d_ = 0;      // Single, Double, Date
  UString text_;      // OleStr, UnicodeString
  std::string ansi_;  // String
};

// Floating-point text: general format with 15 significant digits and the
// regional decimal separator taken at start ("2,5", "1E20", "1,5E-5").
UString FloatToText(double value);
// Parses floating-point text written with the regional decimal separator;
// false when `text` is not such a number as a whole.
bool TextToFloat(UStringView text, double* out);
// Parses an optionally signed decimal integer; false when it is not one or
// does not fit in 64 bits.
bool TextToInt64(UStringView text, int64_t* out);

}  // namespace config
