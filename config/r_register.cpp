#include "config/r_register.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/hive.h"

namespace config {
namespace {

using platform::RegValue;

const UString kProductKey = u"\\Software\\Vorlo";

UString Cat(UStringView a, UStringView b) {
  UString s(a);
  s += b;
  return s;
}

bool IsTextValue(const RegValue& v) {
  return v.type == platform::kRegSz || v.type == platform::kRegExpandSz;
}

// The value as text, or the "Failed to read." failure.
UString ReadText(const RegValue& v, UStringView id) {
  if (!IsTextValue(v)) throw EReadWriteRegister(Cat(id, u" : Failed to read."));
  return v.AsText();
}

// A short string from text: the system code page, at most 255 bytes, never
// ending in part of a character.
void StoreShortString(ShortString* out, UStringView text) {
  std::string bytes;
  for (size_t i = 0; i < text.size();) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size();
    const size_t n = pair ? 2 : 1;
    const std::string one = platform::Utf16ToAnsi(text.substr(i, n));
    if (bytes.size() + one.size() > 255) break;
    bytes += one;
    i += n;
  }
  *out = ShortString();
  out->length = static_cast<uint8_t>(bytes.size());
  std::memcpy(out->chars, bytes.data(), bytes.size());
}

Variant DefaultFrom(const VarRef& v, int32_t kind) {
  switch (kind) {
    case 3:
      if (auto* p = v.Get<int32_t>()) return Variant(*p);
      break;
    case 4:
      if (auto* p = v.Get<float>()) return Variant(static_cast<double>(*p));
      break;
    case 5:
      if (auto* p = v.Get<double>()) return Variant(*p);
      break;
    case 7:
      if (auto* p = v.Get<double>()) return Variant::Date(*p);
      break;
    case 11:
      if (auto* p = v.Get<bool>()) return Variant(*p);
      break;
    case 17:
      if (auto* p = v.Get<uint8_t>()) return Variant::Byte(*p);
      break;
    case 19:
      if (auto* p = v.Get<uint32_t>()) return Variant::LongWord(*p);
      break;
    case 20:
      if (auto* p = v.Get<int64_t>()) return Variant(*p);
      break;
    case 256:
      if (auto* p = v.Get<UString>()) return Variant(*p);
      break;
    case kShortStringKind:
      if (auto* p = v.Get<ShortString>()) return Variant(platform::AnsiToUtf16(p->Bytes()));
      break;
    default: break;
  }
  return Variant();
}

std::vector<unsigned char> DoubleBytes(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  std::vector<unsigned char> out(8);
  for (int i = 0; i < 8; ++i)
    out[static_cast<size_t>(i)] = static_cast<unsigned char>(bits >> (8 * i));
  return out;
}

double BytesDouble(const std::vector<unsigned char>& b) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[static_cast<size_t>(i)];
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

TDatabaseRegistry::TDatabaseRegistry() : Reg(std::make_unique<platform::Hive>()) {}

TDatabaseRegistry::~TDatabaseRegistry() = default;

void TDatabaseRegistry::DeleteKey(UStringView Path) {
  try {
    Reg->DeleteTree(Cat(kProductKey, Path));
  } catch (const std::exception&) {
    // Deletion reports nothing.
  }
}

void TDatabaseRegistry::WriteCFGtoRegister(UStringView Path, const Variant& Value,
                                           UStringView IDString) {
  try {
    std::optional<platform::RegKey> key = Reg->Create(Cat(kProductKey, Path));
    if (!key) return;
    const UString where = Cat(Cat(kProductKey, Path), IDString);
    switch (Value.Kind()) {
      case varEmpty:
      case varNull:
        throw EReadWriteRegister(where + u" : Registry write Error, null or empty Variant !");
      case varSmallint:
      case varInteger:
      case varShortInt:
      case varByte:
      case varWord:
      case varLongWord:
      case varInt64:
        key->Write(IDString, RegValue::Text(platform::IntToText(Value.AsInt64())));
        break;
      case varSingle:
      case varDouble: key->Write(IDString, RegValue::Text(FloatToText(Value.AsDouble()))); break;
      case varCurrency:
      case varOleStr:
      case varDispatch:
      case varError:
      case varVariant:
      case varUnknown:
      case varStrArg:
        throw EReadWriteRegister(where + u" : Registry write Error, Data type not supported !");
      case varDate: key->Write(IDString, RegValue::Binary(DoubleBytes(Value.AsDouble()))); break;
      case varBoolean:
        key->Write(IDString, RegValue::Text(Value.AsBoolean() ? u"Yes" : u"No"));
        break;
      case varString:
      case varUString: key->Write(IDString, RegValue::Text(u"\"" + Value.AsText() + u"\"")); break;
      default: break;  // nothing is written for the other kinds
    }
  } catch (const std::exception&) {
    // Writes report nothing.
  }
}

void TDatabaseRegistry::ReadTypedValue(UStringView Path, UStringView IDString, Variant& Value,
                                       const Variant& Default, int32_t TypeVar) {
  const UString key_path = Cat(kProductKey, Path);
  std::optional<UString> failure;
  UString suffix;
  {
    std::optional<platform::RegKey> key;
    try {
      key = Reg->Open(key_path);
    } catch (const platform::HiveError& e) {
      throw EReadWriteRegister(u"Registry Read Error : " + e.Message());
    }
    if (!key) {
      throw EReadWriteRegister(u"Registry Read Error : Key " + key_path + u" not found!");
    }
    suffix = u", Default value CANNOT be used...";
    try {
      const auto fail = [&](UStringView what) -> void {
        throw EReadWriteRegister(Cat(IDString, what));
      };
      if ((TypeVar == 256 || TypeVar == kShortStringKind) && Default.Kind() != varString &&
          Default.Kind() != varUString) {
        fail(u" : Default value has wrong type.");
      }
      if (TypeVar < 0 || TypeVar > 0xFFFF) {
        throw EVariantError(u"Invalid variant type (" + platform::IntToText(TypeVar) + u")");
      }
      Value = Default.AsType(static_cast<uint16_t>(TypeVar));
      if (Value != Default) fail(u" : Default value has wrong type.");
      suffix = u", Default value used...";
      RegValue raw;
      if (!key->Read(IDString, &raw)) fail(u" : value does not exists.");
      switch (Value.Kind()) {
        case varEmpty:
        case varNull: fail(u" Null or empty Variant !"); break;
        case varCurrency:
        case varOleStr:
        case varDispatch:
        case varError:
        case varVariant:
        case varUnknown:
        case varStrArg: fail(u" : Data type not supported !"); break;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord: {
          int64_t n;
          if (!TextToInt64(ReadText(raw, IDString), &n) || n < INT32_MIN || n > INT32_MAX) {
            fail(u" : Failed to read.");
          }
          Value = Variant(static_cast<int32_t>(n));
          break;
        }
        case varSingle:
        case varDouble: {
          // A number the kind cannot hold is unreadable, not infinite.
          double d;
          if (!TextToFloat(ReadText(raw, IDString), &d) ||
              (Value.Kind() == varSingle && std::fabs(d) > std::numeric_limits<float>::max())) {
            fail(u" : Failed to read.");
          }
          Value = Variant(d);
          break;
        }
        case varDate:
          if (raw.type != platform::kRegBinary || raw.data.size() != 8) {
            fail(u" : Failed to read.");
          }
          Value = Variant::Date(BytesDouble(raw.data));
          break;
        case varBoolean: Value = Variant(ReadText(raw, IDString) == u"Yes"); break;
        case varLongWord: {
          int64_t n;
          if (!TextToInt64(ReadText(raw, IDString), &n)) fail(u" : Failed to read.");
          Value = Variant::LongWord(static_cast<uint32_t>(n));
          break;
        }
        case varInt64: {
          int64_t n;
          if (!TextToInt64(ReadText(raw, IDString), &n)) fail(u" : Failed to read.");
          Value = Variant(n);
          break;
        }
        case varString: {
          const UString text = ReadText(raw, IDString);
          Value = Variant(text.size() < 2 ? UString() : text.substr(1, text.size() - 2));
          break;
        }
        default: break;  // nothing is read; the converted default stays
      }
    } catch (const std::exception& e) {
      failure = platform::MessageOf(e);
    }
  }  // the key is closed here, before the failure goes on
  if (failure) {
    throw EReadWriteRegister(u"Registry Read Error : -> " + key_path + u":" + *failure + suffix);
  }
}

bool TDatabaseRegistry::ReadValueRegister(UStringView Path, UStringView IDString, VarRef Value,
                                          const Variant& Default, int32_t TypeVar) {
  const int32_t remembered = TypeVar;
  const int32_t code = TypeVar == kShortStringKind ? 256 : TypeVar;
  // Outside the guard: a code that is no kind raises to the caller.
  if (code < 0 || code > 0xFFFF) {
    throw EVariantError(u"Invalid variant type (" + platform::IntToText(code) + u")");
  }
  Variant result = Variant().AsType(static_cast<uint16_t>(code));
  const UString where = Cat(Cat(u"Read register for ", Path), IDString);
  try {
    ReadTypedValue(Path, IDString, result, Default, code);
    const auto failed = [&]() -> void { throw EReadWriteRegister(where + u" has failed !"); };
    switch (remembered) {
      case 3:
        if (auto* p = Value.Get<int32_t>())
          *p = static_cast<int32_t>(result.AsInt64());
        else
          failed();
        break;
      case 4:
        if (auto* p = Value.Get<float>())
          *p = static_cast<float>(result.AsDouble());
        else
          failed();
        break;
      case 5:
      case 7:
        if (auto* p = Value.Get<double>())
          *p = result.AsDouble();
        else
          failed();
        break;
      case 11:
        if (auto* p = Value.Get<bool>())
          *p = result.AsBoolean();
        else
          failed();
        break;
      case 17:
        if (auto* p = Value.Get<uint8_t>())
          *p = static_cast<uint8_t>(result.AsInt64() & 0xFF);
        else
          failed();
        break;
      case 19:
        if (auto* p = Value.Get<uint32_t>())
          *p = static_cast<uint32_t>(result.AsInt64() & 0xFFFFFFFF);
        else
          failed();
        break;
      case 20:
        if (auto* p = Value.Get<int64_t>())
          *p = result.AsInt64();
        else
          failed();
        break;
      case 256:
        if (auto* p = Value.Get<UString>())
          *p = result.AsText();
        else
          failed();
        break;
      case kShortStringKind: {
        ShortString* p = Value.Get<ShortString>();
        if (p == nullptr) failed();
        const UString def = Default.AsText();
        if (def.size() > 255) {
          *p = ShortString();
          throw EReadWriteRegister(where + u" Default string too long !");
        }
        const UString text = result.AsText();
        if (text.size() < 256) {
          StoreShortString(p, text);
        } else {
          StoreShortString(p, def);
          throw EReadWriteRegister(where + u" String too long !");
        }
        break;
      }
      default: failed();
    }
    return true;
  } catch (const std::exception& e) {
    ErrorMessage = platform::MessageOf(e);
    return false;
  }
}

bool TDatabaseRegistry::ReadValueRegisterDFset(UStringView PathVar, VarRef Value,
                                               UStringView IDString, int32_t TypeVar) {
  return ReadValueRegister(PathVar, IDString, Value, DefaultFrom(Value, TypeVar), TypeVar);
}

bool TDatabaseRegistry::SWKeyExists() { return SubKeyexists(u""); }

bool TDatabaseRegistry::SubKeyexists(UStringView SubKey) {
  try {
    return Reg->OpenReadOnly(Cat(kProductKey, SubKey)).has_value();
  } catch (const std::exception&) {
    return false;
  }
}

bool TDatabaseRegistry::ReadDword(UStringView Path, UStringView IDString, uint32_t* out) {
  try {
    const std::optional<platform::RegKey> key = Reg->OpenReadOnly(Cat(kProductKey, Path));
    RegValue raw;
    if (!key || !key->Read(IDString, &raw) || raw.type != platform::kRegDword ||
        raw.data.size() != 4) {
      return false;
    }
    *out = static_cast<uint32_t>(raw.data[0]) | static_cast<uint32_t>(raw.data[1]) << 8 |
           static_cast<uint32_t>(raw.data[2]) << 16 | static_cast<uint32_t>(raw.data[3]) << 24;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace config
