// The current user's configuration hive: the registry's HKEY_CURRENT_USER on
// Windows, a SQLite database on Linux (see docs/registry-hive.md). Keys are
// addressed by their path below the hive root, components separated by
// backslashes ("Software\Vorlo\Updates"); one leading backslash is ignored.
// Key and value names compare without regard to case and keep the case in
// which they were first written.
//
//   platform::Hive hive;
//   if (auto key = hive.Open(u"Software\\Vorlo\\Updates")) {
//     platform::RegValue v;
//     if (key->Read(u"ExecPath", &v)) { ... }
//   }
//
// Failures of the hive itself (Linux: a file that is not a database, a damaged
// one, one of a newer format) throw HiveError with a message that names the
// file and what is wrong with it; the file is never changed then.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/exception.h"
#include "platform/text.h"

namespace platform {

// Registry value types, with the registry's numbers.
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// A value as the registry holds it: its type and its data bytes. Text types
// hold UTF-16LE with a terminating zero; DWORD 4 and QWORD 8 little-endian
// bytes.
struct RegValue {
  uint32_t type = kRegNone;
  std::vector<unsigned char> data;

  static RegValue Text(UStringView text, uint32_t type = kRegSz);
  static RegValue Dword(uint32_t v);
  static RegValue Qword(uint64_t v);
  static RegValue Binary(std::vector<unsigned char> bytes);

  // The text of a text-typed value, up to its first zero; the whole data
  // decoded as UTF-16LE for other types.
  UString AsText() const;
  // REG_MULTI_SZ: the strings, without the empty one that ends the list.
  std::vector<UString> AsMultiText() const;
};

class HiveError : public Exception {
 public:
  using Exception::Exception;
};

class Hive;

// One open key. Move-only; closing happens in the destructor.
class RegKey {
 public:
  RegKey(RegKey&&) noexcept;
  RegKey& operator=(RegKey&&) noexcept;
  ~RegKey();

  // The value named `name` (empty: the key's default value). Returns false
  // when there is none; `out` is not touched then.
  bool Read(UStringView name, RegValue* out) const;
  // Creates or replaces the value, whatever its type was. False on failure.
  bool Write(UStringView name, const RegValue& value);
  // False when there was no such value or it could not be deleted.
  bool DeleteValue(UStringView name);
  // Names of the values (the default value as an empty name), in the order
  // the hive keeps them.
  std::vector<UString> ValueNames() const;
  // Names of the direct sub-keys.
  std::vector<UString> SubKeyNames() const;

  struct Impl;

 private:
  friend class Hive;
  explicit RegKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

class Hive {
 public:
  Hive();
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // Where the hive lives, for messages: "HKEY_CURRENT_USER" or the database
  // file's path.
  static UString Location();

  // Opens an existing key; nullopt when it is missing or cannot be opened
  // with full access.
  std::optional<RegKey> Open(UStringView path);
  // Opens a key for reading only.
  std::optional<RegKey> OpenReadOnly(UStringView path);
  // Opens a key, creating it and every missing key above it; nullopt on
  // failure. On Linux the database file and its folder are created by the
  // first call.
  std::optional<RegKey> Create(UStringView path);
  // Deletes the key with all its sub-keys and values. False when it is
  // missing or could not be deleted; then nothing has changed.
  bool DeleteTree(UStringView path);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
