// vorlo-reg: the configuration hive from the command line, with the syntax of
// Windows' own reg tool, so that one script serves both systems:
//
//   vorlo-reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
//   vorlo-reg query  KEY [/v NAME | /ve] [/s]
//   vorlo-reg delete KEY [/v NAME | /ve | /va] [/f]
//   vorlo-reg export KEY FILE [/y]
//   vorlo-reg import FILE [/strict]
//
// KEY is HKCU\... or HKEY_CURRENT_USER\...; /reg:32 or /reg:64 is taken and
// means nothing here; exit status 0 on success, 1 on failure. Where reg's
// documentation is silent, the tool does what Windows' reg does
// (docs/registry-hive.md lists the few differences).
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/hive.h"
#include "tools/vorlo-reg/command.h"
#include "tools/vorlo-reg/reg_file.h"

namespace regtool {
namespace {

using platform::PrintErr;
using platform::PrintOut;

const char16_t kDone[] = u"The operation completed successfully.\n";
const char16_t kNotFound[] =
    u"ERROR: The system was unable to find the specified registry key or value.\n";

int Fail(const UString& message) {
  PrintErr(u"ERROR: " + message + u"\n");
  return 1;
}

int Usage(UStringView command) {
  UString upper = platform::UpperCase(command);
  PrintErr(u"ERROR: Invalid syntax.\nType \"vorlo-reg " + upper + u" /?\" for usage.\n");
  return 1;
}

const char16_t kHelp[] =
    u"vorlo-reg: reads and writes the Vorlo configuration hive of the current user.\n"
    u"\n"
    u"  vorlo-reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]\n"
    u"  vorlo-reg query  KEY [/v NAME | /ve] [/s]\n"
    u"  vorlo-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    u"  vorlo-reg export KEY FILE [/y]\n"
    u"  vorlo-reg import FILE [/strict]\n"
    u"\n"
    u"KEY      HKCU\\Software\\Vorlo\\... or HKEY_CURRENT_USER\\Software\\Vorlo\\...\n"
    u"/v /ve   the value's name, or the key's default value (also without either)\n"
    u"TYPE     REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,\n"
    u"         REG_DWORD_LITTLE_ENDIAN, REG_DWORD_BIG_ENDIAN, REG_QWORD, REG_BINARY,\n"
    u"         REG_NONE\n"
    u"/s SEP   the one character between the strings of a REG_MULTI_SZ (else \\0)\n"
    u"/s       with query: the whole tree\n"
    u"/f /y    no confirmation; without them a command that would replace or\n"
    u"         delete something asks, but only when standard input is a terminal\n"
    u"FILE     a .reg file: \"Windows Registry Editor Version 5.00\" (export writes\n"
    u"         UTF-16LE with a byte-order mark; import also reads the system's 8-bit\n"
    u"         text and UTF-8) or \"REGEDIT4\"\n"
    u"/strict  import nothing when a line of the file cannot be read (without it,\n"
    u"         such lines are skipped and named on standard error, as Windows skips\n"
    u"         them)\n"
    u"/reg:32 /reg:64  taken, and mean nothing here\n"
    u"\n"
    u"Example:\n"
    u"  vorlo-reg add 'HKCU\\Software\\Vorlo\\Updates' /v ExecPath /t REG_SZ "
    u"/d '\"/opt/vorlo/\"' /f\n";

// Asks a yes/no question when standard input is a terminal; elsewhere the
// answer is yes.
bool Confirm(const UString& question) {
  if (!platform::StdinIsTerminal()) return true;
  PrintOut(question + u" (Yes/No)? ");
  UString answer;
  if (!platform::ReadStdinLine(&answer)) return false;
  answer = platform::UpperCase(platform::Trim(answer));
  return answer == u"Y" || answer == u"YES";
}

int Cancelled() {
  PrintOut(u"The operation was cancelled by the user.\n");
  return 1;
}

UString ValueLabel(const UString& name) { return name.empty() ? UString(u"(Default)") : name; }

// The value's name as the hive spells it.
UString StoredName(const platform::RegKey& key, const UString& name) {
  for (const UString& n : key.ValueNames()) {
    if (platform::UpperCase(n) == platform::UpperCase(name)) return n;
  }
  return name;
}

void PrintValue(const UString& name, const RegValue& v) {
  PrintOut(u"    " + ValueLabel(name) + u"    " + TypeName(v.type) + u"    " + DisplayData(v) +
           u"\n");
}

int Add(const Command& c) {
  const UString& path = c.key;
  const UString& name = c.name;
  platform::Hive hive;
  if (!c.force) {
    if (auto existing = hive.Open(path)) {
      RegValue old;
      if (existing->Read(name, &old) &&
          !Confirm(u"Value " + ValueLabel(name) + u" exists, overwrite")) {
        return Cancelled();
      }
    }
  }
  auto key = hive.Create(path);
  if (!key) return Fail(u"Access is denied: cannot create " + FullKeyName(path) + u".");
  if (!key->Write(name, c.value)) return Fail(u"Cannot write the value " + ValueLabel(name) + u".");
  PrintOut(kDone);
  return 0;
}

// One key's block as reg query prints it: the key's name, its values and a
// blank line when it has values (or is a sub-key of a /s listing); then,
// without /s, its sub-keys' names, and with /s their blocks.
void QueryKey(platform::Hive& hive, const UString& path, const UString& shown, bool recurse,
              bool recursing) {
  auto key = hive.OpenReadOnly(path);
  if (!key) return;
  const std::vector<UString> names = key->ValueNames();
  if (!names.empty() || recursing) PrintOut(shown + u"\n");
  for (const UString& name : names) {
    RegValue v;
    if (key->Read(name, &v)) PrintValue(name, v);
  }
  if (!names.empty() || recursing) PrintOut(u"\n");
  for (const UString& sub : key->SubKeyNames()) {
    const UString sub_path = path.empty() ? sub : path + u"\\" + sub;
    if (recurse) {
      QueryKey(hive, sub_path, shown + u"\\" + sub, true, true);
    } else {
      PrintOut(shown + u"\\" + sub + u"\n");
    }
  }
}

// /v NAME /s: the block of every key of the tree that holds the value.
int SearchValue(platform::Hive& hive, const UString& path, const UString& shown,
                const UString& name) {
  auto key = hive.OpenReadOnly(path);
  if (!key) return 0;
  int found = 0;
  RegValue v;
  if (key->Read(name, &v)) {
    PrintOut(shown + u"\n");
    PrintValue(StoredName(*key, name), v);
    PrintOut(u"\n");
    ++found;
  }
  for (const UString& sub : key->SubKeyNames()) {
    found += SearchValue(hive, path.empty() ? sub : path + u"\\" + sub, shown + u"\\" + sub, name);
  }
  return found;
}

int Query(const Command& c) {
  const UString& path = c.key;
  const UString shown = FullKeyName(path);
  platform::Hive hive;
  auto key = hive.OpenReadOnly(path);
  if (!key) {
    PrintErr(kNotFound);
    return 1;
  }
  PrintOut(u"\n");
  if (c.named) {
    const UString& name = c.name;
    if (c.recurse) {
      const int found = SearchValue(hive, path, shown, name);
      PrintOut(u"End of search: " + platform::IntToText(found) + u" match(es) found.\n");
      return found > 0 ? 0 : 1;
    }
    RegValue v;
    if (!key->Read(name, &v)) {
      if (c.default_value) {
        PrintOut(shown + u"\n    (Default)    REG_SZ    (value not set)\n\n");
        return 0;
      }
      PrintErr(kNotFound);
      return 1;
    }
    PrintOut(shown + u"\n");
    PrintValue(StoredName(*key, name), v);
    PrintOut(u"\n");
    return 0;
  }
  QueryKey(hive, path, shown, c.recurse, false);
  return 0;
}

int Delete(const Command& c) {
  const UString& path = c.key;
  platform::Hive hive;
  auto key = hive.Open(path);
  if (!key) {
    PrintErr(kNotFound);
    return 1;
  }
  if (c.named) {
    const UString& name = c.name;
    RegValue v;
    if (!key->Read(name, &v)) {
      PrintErr(kNotFound);
      return 1;
    }
    if (!c.force && !Confirm(u"Delete the registry value " + ValueLabel(name))) return Cancelled();
    if (!key->DeleteValue(name)) return Fail(u"Cannot delete the value " + ValueLabel(name) + u".");
  } else if (c.all_values) {
    if (!c.force && !Confirm(u"Delete all values under the registry key " + FullKeyName(path))) {
      return Cancelled();
    }
    for (const UString& name : key->ValueNames()) {
      if (!key->DeleteValue(name))
        return Fail(u"Cannot delete the value " + ValueLabel(name) + u".");
    }
  } else {
    if (path.empty()) return Fail(u"The hive root " + FullKeyName(path) + u" cannot be deleted.");
    if (!c.force && !Confirm(u"Permanently delete the registry key " + FullKeyName(path))) {
      return Cancelled();
    }
    key.reset();
    if (!hive.DeleteTree(path)) return Fail(u"Cannot delete " + FullKeyName(path) + u".");
  }
  PrintOut(kDone);
  return 0;
}

void Collect(platform::Hive& hive, const UString& path, std::vector<RegFileKey>* out) {
  auto key = hive.OpenReadOnly(path);
  if (!key) return;
  RegFileKey k;
  k.path = path;
  for (const UString& name : key->ValueNames()) {
    RegFileValue v;
    v.name = name;
    if (key->Read(name, &v.value)) k.values.push_back(std::move(v));
  }
  const std::vector<UString> subs = key->SubKeyNames();
  out->push_back(std::move(k));
  for (const UString& sub : subs) Collect(hive, path.empty() ? sub : path + u"\\" + sub, out);
}

int Export(const Command& c) {
  const UString& path = c.key;
  const UString& file = c.file;
  UString error;
  platform::Hive hive;
  std::vector<RegFileKey> keys;
  Collect(hive, path, &keys);
  if (keys.empty()) {
    PrintErr(kNotFound);
    return 1;
  }
  std::string bytes;
  if (!FormatRegFile(keys, &bytes, &error)) return Fail(u"Cannot export: " + error + u".");
  if (!c.force && platform::FileExists(file) &&
      !Confirm(u"File " + file + u" already exists. Overwrite")) {
    return Cancelled();
  }
  if (!platform::WriteWholeFile(file, bytes, &error)) {
    return Fail(u"Cannot write " + file + u": " + error);
  }
  PrintOut(kDone);
  return 0;
}

int Import(const Command& c) {
  const UString& file = c.file;
  std::string bytes;
  UString error;
  if (!platform::ReadWholeFile(file, &bytes, &error)) {
    return Fail(u"Cannot read " + file + u": " + error);
  }
  RegFile parsed;
  // The whole file is read before anything is changed.
  if (!ParseRegFile(bytes, &parsed, &error)) return Fail(file + u": " + error + u".");
  for (const SkippedLine& s : parsed.skipped) {
    PrintErr(file + u", line " + platform::IntToText(static_cast<long long>(s.line)) +
             u" skipped: " + s.reason + u"\n");
  }
  for (const SkippedLine& s : parsed.notes) {
    PrintErr(file + u", line " + platform::IntToText(static_cast<long long>(s.line)) + u": " +
             s.reason + u"\n");
  }
  if (c.strict && !parsed.skipped.empty()) {
    return Fail(file + u": " + platform::IntToText(static_cast<long long>(parsed.skipped.size())) +
                u" line(s) cannot be read, and /strict imports nothing then.");
  }
  platform::Hive hive;
  for (const RegFileKey& k : parsed.keys) {
    if (k.remove) {
      hive.DeleteTree(k.path);
      continue;
    }
    auto key = hive.Create(k.path);
    if (!key) return Fail(u"Access is denied: cannot create " + FullKeyName(k.path) + u".");
    for (const RegFileValue& v : k.values) {
      const bool ok = v.remove ? (key->DeleteValue(v.name), true) : key->Write(v.name, v.value);
      if (!ok) return Fail(u"Cannot write the value " + ValueLabel(v.name) + u".");
    }
  }
  PrintOut(kDone);
  return 0;
}

int Run(const std::vector<UString>& args) {
  Command c;
  const ParseResult parsed = ParseCommand(args, &c);
  if (parsed.kind == ParseResult::kUsage) return Usage(parsed.text);
  if (parsed.kind == ParseResult::kFail) return Fail(parsed.text);
  try {
    switch (c.verb) {
      case Command::kHelp: PrintOut(kHelp); return 0;
      case Command::kAdd: return Add(c);
      case Command::kQuery: return Query(c);
      case Command::kDelete: return Delete(c);
      case Command::kExport: return Export(c);
      case Command::kImport: return Import(c);
    }
  } catch (const platform::HiveError& e) {
    return Fail(e.Message());
  }
  return 1;
}

}  // namespace
}  // namespace regtool

int main(int argc, char** argv) { return regtool::Run(platform::CommandLineArguments(argc, argv)); }
