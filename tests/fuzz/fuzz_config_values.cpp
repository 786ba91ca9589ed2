// The configuration's values: a value of any kind converted to any kind is
// converted or refused with EVariantError, and numbers written as text read
// back as the same numbers.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "config/variant.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using config::Variant;
using platform::UString;

template <typename T>
T Take(const uint8_t*& data, size_t& size) {
  T v{};
  const size_t n = size < sizeof v ? size : sizeof v;
  std::memcpy(&v, data, n);
  data += n;
  size -= n;
  return v;
}

Variant Make(uint8_t pick, const uint8_t*& data, size_t& size) {
  switch (pick % 16) {
    case 0: return Variant();
    case 1: return Variant::Null();
    case 2: return Variant::Smallint(Take<int16_t>(data, size));
    case 3: return Variant(Take<int32_t>(data, size));
    case 4: return Variant::Single(Take<float>(data, size));
    case 5: return Variant(Take<double>(data, size));
    case 6: return Variant::Currency(Take<double>(data, size));
    case 7: return Variant::Date(Take<double>(data, size));
    case 8: return Variant(Take<uint8_t>(data, size) % 2 == 1);
    case 9: return Variant::ShortInt(Take<int8_t>(data, size));
    case 10: return Variant::Byte(Take<uint8_t>(data, size));
    case 11: return Variant::Word(Take<uint16_t>(data, size));
    case 12: return Variant::LongWord(Take<uint32_t>(data, size));
    case 13: return Variant(Take<int64_t>(data, size));
    case 14: return Variant::UInt64(Take<uint64_t>(data, size));
    default: {
      const UString text = platform::Utf8ToUtf16(fuzzing::Bytes(data, size));
      size = 0;
      return pick & 0x10 ? Variant::AnsiString(platform::Utf16ToAnsi(text)) : Variant(text);
    }
  }
}

// Each reader answers or refuses, never anything else.
void ReadAll(const Variant& v) {
  const std::function<void()> readers[] = {[&] { v.AsInt64(); }, [&] { v.AsDouble(); },
                                           [&] { v.AsBoolean(); }, [&] { v.AsText(); }};
  for (const auto& read : readers) {
    try {
      read();
    } catch (const config::EVariantError&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t pick = *data++;
  const uint16_t to = static_cast<uint16_t>(data[0] | (data[1] << 8));
  data += 2;
  size -= 3;
  const std::string rest = fuzzing::Bytes(data, size);
  const Variant v = Make(pick, data, size);
  ReadAll(v);
  try {
    const Variant converted = v.AsType(to);
    FUZZ_CHECK(converted.Kind() == to || to == config::varAny);
    ReadAll(converted);
    // A whole number travels through text and back unchanged.
    if (to == config::varUString && v.Kind() != config::varString &&
        v.Kind() != config::varUString && v.Kind() != config::varBoolean) {
      const Variant back = converted.AsType(v.Kind());
      if (v.Kind() != config::varSingle && v.Kind() != config::varDouble &&
          v.Kind() != config::varDate && v.Kind() != config::varCurrency) {
        FUZZ_CHECK(back == v);
      }
    }
  } catch (const config::EVariantError&) {
  }

  // Numbers as the store writes them as text read back as written.
  const UString text = platform::Utf8ToUtf16(rest);
  int64_t n;
  if (config::TextToInt64(text, &n)) {
    int64_t again;
    FUZZ_CHECK(config::TextToInt64(platform::IntToText(n), &again) && again == n);
  }
  double d;
  if (config::TextToFloat(text, &d) && std::isfinite(d)) {
    double again;
    FUZZ_CHECK(config::TextToFloat(config::FloatToText(d), &again));
    FUZZ_CHECK(again == d || std::fabs(again - d) <= std::fabs(d) * 1e-14);
  }
  return 0;
}
