// Registry key names, `reg` command-line data, and ".reg" files, as Windows'
// own reg and regedit read and write them:
//
//   "Windows Registry Editor Version 5.00"  UTF-16LE with a byte-order mark
//                                           (or any encoding below); hex(1),
//                                           hex(2) and hex(7) data are
//                                           UTF-16LE bytes
//   "REGEDIT4"                              the system's 8-bit code page
//                                           (Linux: UTF-8, and Windows-1252
//                                           for bytes that are not); hex(1),
//                                           hex(2) and hex(7) data are 8-bit
//                                           text, widened on import
//
// A line that Windows cannot read is skipped and the rest goes on, as
// Windows does; ParseRegFile lists each skipped line with its reason.
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
// the path below the root ("Software\Vorlo"; empty for the root itself). One
// trailing backslash is allowed. False with a message for another root, a
// remote name, a leading backslash or an empty component.
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

// A line that an import passes over, or reads with a remark, and why.
struct SkippedLine {
  size_t line;  // from 1
  UString reason;
};

struct RegFile {
  std::vector<RegFileKey> keys;      // in the order of the file
  std::vector<SkippedLine> skipped;  // lines not read, in the order of the file
  std::vector<SkippedLine> notes;    // lines read with a remark (an unknown escape)
};

// Parses a whole .reg file. False, with the reason in `error`, only when the
// file as a whole is not one Windows imports (its first line is not a
// registry file's header). A header of another REGEDIT version ("REGEDIT3",
// "REGEDIT4 FOO") is a file Windows accepts and reads nothing of: no keys,
// and one skipped line that says so.
bool ParseRegFile(const std::string& bytes, RegFile* out, UString* error);

// The "Windows Registry Editor Version 5.00" file of `keys`, UTF-16LE with a
// byte-order mark and CR LF line ends, as Windows' reg export writes it, but
// for one thing: every value is written so that ParseRegFile reads it back
// byte for byte (a text that cannot stand between quotes, such as one with a
// line break or an embedded zero, is written as hex(1) data). False with a
// message for what no .reg file can hold: a key or value name with a line
// break, or a text value without its ending zero (an import adds one).
bool FormatRegFile(const std::vector<RegFileKey>& keys, std::string* out, UString* error);

// Type names as reg shows and takes them ("REG_SZ"); other types as
// "REG_0x..." when shown.
UString TypeName(uint32_t type);
// The type `reg add /t` takes (any case); false for one it does not.
bool TypeFromName(UStringView name, uint32_t* type);

// The data as reg query shows it: text, "0x1f", hexadecimal bytes, or the
// strings of a REG_MULTI_SZ joined by "\0".
UString DisplayData(const RegValue& value);

// The value of `reg add /t type [/s separator] [/d data]`, as reg makes it;
// `data` is null without /d, `separator` null without /s. False with a
// message when reg refuses them.
bool ValueFromData(uint32_t type, const UString* data, const UString* separator, RegValue* out,
                   UString* error);

}  // namespace regtool
