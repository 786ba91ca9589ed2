#include "config/variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/regional.h"

namespace config {
namespace {

using platform::IntToText;

bool IsKnownKind(uint16_t kind) {
  return kind <= varUInt64 ? kind != 15
                           : (kind == varRecord || kind == varStrArg || kind == varString ||
                              kind == varAny || kind == varUString);
}

// Kinds that hold no value this program can carry.
bool IsOpaqueKind(uint16_t kind) {
  return kind == varDispatch || kind == varError || kind == varVariant || kind == varUnknown ||
         kind == varDecimal || kind == varRecord || kind == varStrArg || kind == varAny;
}

bool IsIntegerKind(uint16_t kind) {
  switch (kind) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varUInt64: return true;
    default: return false;
  }
}

struct Range {
  long double min;
  long double max;
};

Range IntegerRange(uint16_t kind) {
  switch (kind) {
    case varSmallint: return {-32768.0L, 32767.0L};
    case varInteger: return {-2147483648.0L, 2147483647.0L};
    case varShortInt: return {-128.0L, 127.0L};
    case varByte: return {0.0L, 255.0L};
    case varWord: return {0.0L, 65535.0L};
    case varLongWord: return {0.0L, 4294967295.0L};
    case varInt64: return {-9223372036854775808.0L, 9223372036854775807.0L};
    default: return {0.0L, 18446744073709551615.0L};  // UInt64
  }
}

// Days from 1 March of year 0 style civil arithmetic (H. Hinnant).
void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yy + (*m <= 2 ? 1 : 0);
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// 30 December 1899 in days since 1 January 1970.
constexpr int64_t kOleEpoch = -25569;

std::string TwoDigits(unsigned v) {
  return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

// Whether the date falls in the years 1 to 9999, the ones its text can show.
bool DateInRange(double date) {
  const double whole = std::trunc(date);
  return whole >= static_cast<double>(DaysFromCivil(1, 1, 1) - kOleEpoch) &&
         whole < static_cast<double>(DaysFromCivil(10000, 1, 1) - kOleEpoch);
}

// A finite date outside DateInRange has no text: the caller refuses it.
UString DateToText(double date) {
  if (!std::isfinite(date)) return u"";
  // The OLE date's fraction is the time of day, also for dates before 1899.
  const double whole = std::trunc(date);
  const double frac = std::fabs(date - whole);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000) ms = 86399999;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days + kOleEpoch, &y, &m, &d);
  std::string year = std::to_string(y);
  year.insert(0, year.size() < 4 ? 4 - year.size() : 0, '0');
  std::string s = year + "-" + TwoDigits(m) + "-" + TwoDigits(d);
  if (ms != 0) {
    const auto secs = static_cast<unsigned>(ms / 1000);
    s +=
        " " + TwoDigits(secs / 3600) + ":" + TwoDigits(secs / 60 % 60) + ":" + TwoDigits(secs % 60);
  }
  return UString(s.begin(), s.end());
}

bool ParseUnsigned(UStringView t, size_t* pos, size_t digits, unsigned* out) {
  unsigned v = 0;
  for (size_t k = 0; k < digits; ++k) {
    if (*pos >= t.size() || t[*pos] < u'0' || t[*pos] > u'9') return false;
    v = v * 10 + (t[*pos] - u'0');
    ++*pos;
  }
  *out = v;
  return true;
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", as DateToText writes it.
bool TextToDate(UStringView t, double* out) {
  size_t pos = 0;
  unsigned y, mo, d, h = 0, mi = 0, s = 0;
  if (!ParseUnsigned(t, &pos, 4, &y) || pos >= t.size() || t[pos++] != u'-' ||
      !ParseUnsigned(t, &pos, 2, &mo) || pos >= t.size() || t[pos++] != u'-' ||
      !ParseUnsigned(t, &pos, 2, &d)) {
    return false;
  }
  if (pos < t.size()) {
    if (t[pos++] != u' ' || !ParseUnsigned(t, &pos, 2, &h) || pos >= t.size() || t[pos++] != u':' ||
        !ParseUnsigned(t, &pos, 2, &mi) || pos >= t.size() || t[pos++] != u':' ||
        !ParseUnsigned(t, &pos, 2, &s) || pos != t.size()) {
      return false;
    }
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  const int64_t days = DaysFromCivil(y, mo, d) - kOleEpoch;
  int64_t yy;
  unsigned mm, dd;
  CivilFromDays(days + kOleEpoch, &yy, &mm, &dd);
  if (mm != mo || dd != d) return false;  // 31 February and the like
  const double time = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
  *out = days >= 0 ? days + time : days - time;
  return true;
}

bool TextToBoolean(UStringView t, bool* out) {
  const UString up = platform::AsciiUpperCase(platform::Trim(t));
  if (up == u"TRUE") return *out = true, true;
  if (up == u"FALSE") return *out = false, true;
  double d;
  if (TextToFloat(t, &d)) return *out = d != 0, true;
  return false;
}

}  // namespace

UString FloatToText(double value) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value > 0 ? u"INF" : u"-INF";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  std::string s(buf, res.ptr);
  // "1e+20" -> "1E20", "1.5e-05" -> "1.5E-5".
  const size_t e = s.find('e');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    bool neg = false;
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      neg = exp[0] == '-';
      exp.erase(0, 1);
    }
    exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
    s = mant + "E" + (neg ? "-" : "") + exp;
  }
  UString out(s.begin(), s.end());
  for (char16_t& c : out) {
    if (c == u'.') c = platform::Regional().decimal_separator;
  }
  return out;
}

bool TextToFloat(UStringView text, double* out) {
  const char16_t sep = platform::Regional().decimal_separator;
  const UString t = platform::Trim(text);
  std::string ascii;
  ascii.reserve(t.size());
  bool digit = false;
  for (char16_t c : t) {
    if (c == sep) {
      ascii.push_back('.');
    } else if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'e' || c == u'E') {
      digit = digit || (c >= u'0' && c <= u'9');
      ascii.push_back(static_cast<char>(c));
    } else {
      return false;  // also a '.' when the separator is another character
    }
  }
  if (!digit) return false;
  const char* first = ascii.data();
  if (*first == '+') ++first;
  double v;
  const auto res = std::from_chars(first, ascii.data() + ascii.size(), v);
  if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size() || !std::isfinite(v)) {
    return false;
  }
  *out = v;
  return true;
}

namespace {

// An optionally signed decimal integer whose magnitude fits in 64 bits.
bool ParseDecimal(UStringView text, bool* neg, uint64_t* magnitude) {
  if (text.empty()) return false;
  size_t pos = 0;
  *neg = false;
  if (text[0] == u'-' || text[0] == u'+') {
    *neg = text[0] == u'-';
    pos = 1;
  }
  if (pos == text.size()) return false;
  uint64_t v = 0;
  for (; pos < text.size(); ++pos) {
    const char16_t c = text[pos];
    if (c < u'0' || c > u'9') return false;
    const unsigned digit = c - u'0';
    if (v > (UINT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *magnitude = v;
  return true;
}

}  // namespace

bool TextToInt64(UStringView text, int64_t* out) {
  bool neg;
  uint64_t v;
  if (!ParseDecimal(text, &neg, &v)) return false;
  if (v > (neg ? 9223372036854775808ULL : 9223372036854775807ULL)) return false;
  *out = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

Variant Variant::Null() {
  Variant v;
  v.kind_ = varNull;
  return v;
}

Variant Variant::Smallint(int16_t x) {
  Variant v(int32_t{x});
  v.kind_ = varSmallint;
  return v;
}

Variant Variant::Single(float x) {
  Variant v(static_cast<double>(x));
  v.kind_ = varSingle;
  return v;
}

Variant Variant::Date(double x) {
  Variant v(x);
  v.kind_ = varDate;
  return v;
}

Variant Variant::Currency(double x) {
  Variant v;
  v.kind_ = varCurrency;
  v.i_ = std::llround(x * 10000.0);
  return v;
}

Variant Variant::ShortInt(int8_t x) {
  Variant v(int32_t{x});
  v.kind_ = varShortInt;
  return v;
}

Variant Variant::Byte(uint8_t x) { return Variant::UInt64(x).AsType(varByte); }
Variant Variant::Word(uint16_t x) { return Variant::UInt64(x).AsType(varWord); }
Variant Variant::LongWord(uint32_t x) { return Variant::UInt64(x).AsType(varLongWord); }

Variant Variant::UInt64(uint64_t x) {
  Variant v;
  v.kind_ = varUInt64;
  v.u_ = x;
  return v;
}

Variant Variant::AnsiString(std::string bytes) {
  Variant v;
  v.kind_ = varString;
  v.ansi_ = std::move(bytes);
  return v;
}

Variant Variant::OleStr(UString x) {
  Variant v(std::move(x));
  v.kind_ = varOleStr;
  return v;
}

UString Variant::KindName(uint16_t kind) {
  switch (kind) {
    case varEmpty: return u"Empty";
    case varNull: return u"Null";
    case varSmallint: return u"Smallint";
    case varInteger: return u"Integer";
    case varSingle: return u"Single";
    case varDouble: return u"Double";
    case varCurrency: return u"Currency";
    case varDate: return u"Date";
    case varOleStr: return u"OleStr";
    case varDispatch: return u"Dispatch";
    case varError: return u"Error";
    case varBoolean: return u"Boolean";
    case varVariant: return u"Variant";
    case varUnknown: return u"Unknown";
    case varDecimal: return u"Decimal";
    case varShortInt: return u"ShortInt";
    case varByte: return u"Byte";
    case varWord: return u"Word";
    case varLongWord: return u"LongWord";
    case varInt64: return u"Int64";
    case varUInt64: return u"UInt64";
    case varRecord: return u"Record";
    case varStrArg: return u"StrArg";
    case varString: return u"String";
    case varAny: return u"Any";
    case varUString: return u"UnicodeString";
    default: return u"$" + IntToText(kind);
  }
}

bool Variant::IsText() const {
  return kind_ == varOleStr || kind_ == varString || kind_ == varUString;
}

bool Variant::IsUnsigned() const {
  return kind_ == varByte || kind_ == varWord || kind_ == varLongWord || kind_ == varUInt64;
}

bool Variant::IsNumeric() const {
  return IsIntegerKind(kind_) || kind_ == varSingle || kind_ == varDouble || kind_ == varDate ||
         kind_ == varCurrency || kind_ == varBoolean;
}

void Variant::FailConversion(uint16_t to) const {
  throw EVariantError(u"Could not convert variant of type (" + KindName(kind_) + u") into type (" +
                      KindName(to) + u")");
}

void Variant::FailOverflow(uint16_t to) const {
  throw EVariantError(u"Overflow while converting variant of type (" + KindName(kind_) +
                      u") into type (" + KindName(to) + u")");
}

Variant Variant::ToInteger(uint16_t to) const {
  Variant r;
  r.kind_ = to;
  const bool unsigned_target =
      to == varByte || to == varWord || to == varLongWord || to == varUInt64;
  long double value;
  std::optional<uint64_t> exact;
  if (IsUnsigned()) {
    value = static_cast<long double>(u_);
  } else if (IsIntegerKind(kind_) || kind_ == varBoolean) {
    value = static_cast<long double>(kind_ == varBoolean ? -i_ : i_);
  } else if (kind_ == varCurrency) {
    value = std::nearbyint(static_cast<long double>(i_) / 10000.0L);
  } else if (kind_ == varSingle || kind_ == varDouble || kind_ == varDate) {
    if (!std::isfinite(d_)) FailOverflow(to);
    value = std::nearbyint(static_cast<long double>(d_));  // half to even
  } else {                                                 // text
    const UString t = AsText();
    bool neg;
    uint64_t n;
    double d;
    // Whole numbers exactly, up to the largest UInt64; others as floating point.
    if (ParseDecimal(platform::Trim(t), &neg, &n)) {
      value = neg ? -static_cast<long double>(n) : static_cast<long double>(n);
      if (unsigned_target && !neg) exact = n;
    } else if (TextToFloat(t, &d)) {
      value = std::nearbyint(static_cast<long double>(d));
    } else {
      FailConversion(to);
    }
  }
  const Range range = IntegerRange(to);
  if (value < range.min || value > range.max) FailOverflow(to);
  if (unsigned_target) {
    r.u_ = IsUnsigned() ? u_ : exact ? *exact : static_cast<uint64_t>(value);
  } else {
    r.i_ = IsIntegerKind(kind_) && !IsUnsigned() ? i_ : static_cast<int64_t>(value);
  }
  return r;
}

Variant Variant::AsType(uint16_t to) const {
  if (!IsKnownKind(to)) {
    throw EVariantError(u"Invalid variant type (" + IntToText(to) + u")");
  }
  if (to == kind_) return *this;
  if (IsOpaqueKind(to) || IsOpaqueKind(kind_)) FailConversion(to);
  if (to == varEmpty) return Variant();
  if (to == varNull) {
    if (kind_ != varEmpty) FailConversion(to);
    return Null();
  }
  if (kind_ == varNull) FailConversion(to);
  if (kind_ == varEmpty) {
    // The empty value of each kind: 0, false, the empty text, date 0.
    Variant r;
    r.kind_ = to;
    return r;
  }
  if (IsIntegerKind(to)) return ToInteger(to);
  Variant r;
  r.kind_ = to;
  switch (to) {
    case varSingle: {
      const double d = AsDouble();
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
        FailOverflow(to);
      }
      r.d_ = static_cast<float>(d);
      return r;
    }
    case varDouble: r.d_ = AsDouble(); return r;
    case varDate:
      if (IsText()) {
        if (!TextToDate(platform::Trim(AsText()), &r.d_) && !TextToFloat(AsText(), &r.d_)) {
          FailConversion(to);
        }
      } else {
        r.d_ = AsDouble();
      }
      return r;
    case varCurrency: {
      const double d = AsDouble();
      if (!std::isfinite(d) || std::fabs(d) > 922337203685477.0) FailOverflow(to);
      r.i_ = std::llround(d * 10000.0);
      return r;
    }
    case varBoolean: r.i_ = AsBoolean() ? 1 : 0; return r;
    case varString: r.ansi_ = platform::Utf16ToAnsi(AsText()); return r;
    case varOleStr:
    case varUString: r.text_ = AsText(); return r;
    default: FailConversion(to);
  }
}

bool Variant::operator==(const Variant& o) const {
  if (kind_ == varEmpty || o.kind_ == varEmpty || kind_ == varNull || o.kind_ == varNull) {
    return kind_ == o.kind_;
  }
  if (IsText() && o.IsText()) return AsText() == o.AsText();
  const bool a_num = IsNumeric();
  const bool b_num = o.IsNumeric();
  if (a_num && b_num) {
    const bool a_int = IsIntegerKind(kind_) || kind_ == varBoolean;
    const bool b_int = IsIntegerKind(o.kind_) || o.kind_ == varBoolean;
    if (a_int && b_int) {
      const bool a_neg = !IsUnsigned() && AsInt64() < 0;
      const bool b_neg = !o.IsUnsigned() && o.AsInt64() < 0;
      if (a_neg != b_neg) return false;
      const uint64_t a = IsUnsigned() ? u_ : static_cast<uint64_t>(AsInt64());
      const uint64_t b = o.IsUnsigned() ? o.u_ : static_cast<uint64_t>(o.AsInt64());
      return a == b;
    }
    return AsDouble() == o.AsDouble();
  }
  if ((a_num && o.IsText()) || (IsText() && b_num)) {
    try {
      return AsDouble() == o.AsDouble();
    } catch (const EVariantError&) {
      return false;
    }
  }
  return false;
}

int64_t Variant::AsInt64() const {
  if (kind_ == varBoolean) return i_ ? -1 : 0;  // OLE's true is -1
  if (IsIntegerKind(kind_) && !IsUnsigned()) return i_;
  return ToInteger(varInt64).i_;
}

double Variant::AsDouble() const {
  switch (kind_) {
    case varEmpty: return 0;
    case varSingle:
    case varDouble:
    case varDate: return d_;
    case varCurrency: return static_cast<double>(i_) / 10000.0;
    case varBoolean: return i_ ? -1.0 : 0.0;
    default: break;
  }
  if (IsUnsigned()) return static_cast<double>(u_);
  if (IsIntegerKind(kind_)) return static_cast<double>(i_);
  if (IsText()) {
    double d;
    if (TextToFloat(AsText(), &d)) return d;
  }
  FailConversion(varDouble);
}

bool Variant::AsBoolean() const {
  if (kind_ == varEmpty) return false;
  if (kind_ == varBoolean) return i_ != 0;
  if (IsText()) {
    bool b;
    if (TextToBoolean(AsText(), &b)) return b;
    FailConversion(varBoolean);
  }
  if (IsNumeric()) return AsDouble() != 0;
  FailConversion(varBoolean);
}

UString Variant::AsText() const {
  switch (kind_) {
    case varEmpty: return u"";
    case varOleStr:
    case varUString: return text_;
    case varString: return platform::AnsiToUtf16(ansi_);
    case varBoolean: return i_ ? u"True" : u"False";
    case varSingle:
    case varDouble: return FloatToText(d_);
    case varCurrency: return FloatToText(static_cast<double>(i_) / 10000.0);
    case varDate:
      if (std::isfinite(d_) && !DateInRange(d_)) FailConversion(varUString);
      return DateToText(d_);
    default: break;
  }
  if (IsUnsigned()) {
    const std::string s = std::to_string(u_);
    return UString(s.begin(), s.end());
  }
  if (IsIntegerKind(kind_)) return IntToText(i_);
  FailConversion(varUString);
}

}  // namespace config
