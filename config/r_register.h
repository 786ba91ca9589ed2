// The configuration store: typed values of the product kept as values of the
// current user's hive below the product key "\Software\Vorlo".
//
// Reads never throw for an ordinary failure: they answer false and leave a
// text in ErrorMessage. Writes and deletions report nothing at all.
//
//   config::TDatabaseRegistry store;             // Create
//   platform::UString exe_path;                  // empty: the default
//   if (!store.ReadValueRegisterDFset(u"\\Updates", exe_path, u"ExecPath", varString))
//     show(store.ErrorMessage);
//
// A store object belongs to the thread that made it; each user makes its own
// for one operation or a short sequence of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "config/variant.h"
#include "platform/exception.h"

namespace platform {
class Hive;
}

namespace config {

// Every failure inside the store; it never leaves the store.
class EReadWriteRegister : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

// A short string: a length byte and up to 255 8-bit characters in the system
// code page, 256 bytes in all (kind code 30873).
struct ShortString {
  uint8_t length = 0;
  char chars[255] = {};

  std::string Bytes() const { return std::string(chars, length); }
};
static_assert(sizeof(ShortString) == 256, "a short string is 256 bytes");

// The caller's variable of a read. The kind code of the read says which type
// it must be: 3 int32_t, 4 float, 5 and 7 double, 11 bool, 17 uint8_t,
// 19 uint32_t, 20 int64_t, 256 UString, 30873 ShortString. A variable of
// another type than the code names is never written: the read fails.
class VarRef {
 public:
  VarRef(int32_t& v) : p_(&v) {}
  VarRef(float& v) : p_(&v) {}
  VarRef(double& v) : p_(&v) {}
  VarRef(bool& v) : p_(&v) {}
  VarRef(uint8_t& v) : p_(&v) {}
  VarRef(uint32_t& v) : p_(&v) {}
  VarRef(int64_t& v) : p_(&v) {}
  VarRef(UString& v) : p_(&v) {}
  VarRef(ShortString& v) : p_(&v) {}

  // The variable if it is a T, else null.
  template <class T>
  T* Get() const {
    T* const* p = std::get_if<T*>(&p_);
    return p != nullptr ? *p : nullptr;
  }

 private:
  std::variant<int32_t*, float*, double*, bool*, uint8_t*, uint32_t*, int64_t*, UString*,
               ShortString*>
      p_;
};

// Kind code of the short string; a code of reads only, never a Variant kind.
constexpr int32_t kShortStringKind = 30873;

class TDatabaseRegistry {
 public:
  // Create: makes the store and its accessor on the current user's hive.
  // Opens nothing.
  TDatabaseRegistry();
  // Destroy: frees the accessor, which closes any key still open.
  ~TDatabaseRegistry();
  TDatabaseRegistry(const TDatabaseRegistry&) = delete;
  TDatabaseRegistry& operator=(const TDatabaseRegistry&) = delete;

  // Deletes "\Software\Vorlo" + Path with everything below it. Silent.
  void DeleteKey(UStringView Path);

  // Stores Value under IDString in "\Software\Vorlo" + Path, creating the
  // key and those above it. Integers as decimal text, floats as
  // floating-point text, Boolean as "Yes"/"No", texts wrapped in double
  // quotes (all REG_SZ), dates as an 8-byte REG_BINARY. Never throws, never
  // reports.
  void WriteCFGtoRegister(UStringView Path, const Variant& Value, UStringView IDString);

  // Reads IDString under "\Software\Vorlo" + Path as kind TypeVar into the
  // caller's variable, after checking Default against the kind. True when the
  // value was read and stored; false with ErrorMessage set otherwise, the
  // variable untouched (but for the two short-string cases). Throws only when
  // no empty value of the kind can be made (a code that is no kind).
  bool ReadValueRegister(UStringView Path, UStringView IDString, VarRef Value,
                         const Variant& Default, int32_t TypeVar);

  // The same read with the variable's present content as the default: the
  // variable keeps it whenever the read fails. Note the order of arguments.
  bool ReadValueRegisterDFset(UStringView PathVar, VarRef Value, UStringView IDString,
                              int32_t TypeVar);

  // Reads the REG_DWORD IDString under "\Software\Vorlo" + Path. False when
  // there is none (or it has another type); `out` is not touched then.
  bool ReadDword(UStringView Path, UStringView IDString, uint32_t* out);

  // Whether "\Software\Vorlo" exists.
  bool SWKeyExists();
  // Whether "\Software\Vorlo" + SubKey exists.
  bool SubKeyexists(UStringView SubKey);

  // The text of the last failed read; a successful read does not clear it.
  UString ErrorMessage;

 private:
  void ReadTypedValue(UStringView Path, UStringView IDString, Variant& Value,
                      const Variant& Default, int32_t TypeVar);

  std::unique_ptr<platform::Hive> Reg;
};

}  // namespace config
