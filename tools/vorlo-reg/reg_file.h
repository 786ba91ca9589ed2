// Registry key names and ".reg" files ("Windows Registry Editor Version
// 5.00"), as the command-line tool reads and writes them.
#pragma once

#include <string>
#include <vector>

#include "platform/hive.h"
#include "platform/text.h"

namespace regtool {

using platform::RegValue;
using platform::UString;
using platform::UStringView;

constexpr char16_t kRootName[] = u"HKEY_CURRENT_USER";

// "HKCU\Software\Vorlo" or "HKEY_CURRENT_USER\Software\Vorlo" (any case) to
// the path below the root ("Software\Vorlo"; empty for the root itself).
// False with a message for another root or a malformed name.
bool ParseKeyName(UStringView name, UString* path, UString* error);

// The full name of a key below the root: "HKEY_CURRENT_USER\" + path.
UString FullKeyName(UStringView path);

struct RegFileValue {
  UString name;         // empty: the key's default value ("@")
  bool remove = false;  // "name"=-
  RegValue value;
};

struct RegFileKey {
  UString path;         // below the root
  bool remove = false;  // [-HKEY_CURRENT_USER\...]
  std::vector<RegFileValue> values;
};

// Parses a whole .reg file: UTF-16LE with its byte-order mark, as exported,
// or UTF-8 with or without one. False with "line N: what" in `error`.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileKey>* keys, UString* error);

// The file for `keys`, UTF-16LE with a byte-order mark and CR LF line ends.
std::string FormatRegFile(const std::vector<RegFileKey>& keys);

// Type names as the tool shows them ("REG_SZ"); "REG_NONE" style for all.
UString TypeName(uint32_t type);
// False for a name that is not one of the types the tool can write.
bool TypeFromName(UStringView name, uint32_t* type);

// The data as a query shows it: text, "0x1f", hexadecimal bytes, or the
// strings of a REG_MULTI_SZ joined by "\0".
UString DisplayData(const RegValue& value);

// The value of `/t type /d data` (with `/s separator` for REG_MULTI_SZ);
// false with a message when the data does not suit the type.
bool ValueFromData(uint32_t type, UStringView data, UStringView separator, RegValue* out,
                   UString* error);

}  // namespace regtool
