// vorlo-reg: the configuration hive from the command line, with the syntax of
// Windows' own reg tool, so that one script serves both systems:
//
//   vorlo-reg add    KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
//   vorlo-reg query  KEY [/v NAME | /ve] [/s]
//   vorlo-reg delete KEY [/v NAME | /ve | /va] [/f]
//   vorlo-reg export KEY FILE [/y]
//   vorlo-reg import FILE
//
// KEY is HKCU\... or HKEY_CURRENT_USER\...; exit status 0 on success, 1 on
// failure.
#include <functional>
#include <optional>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/hive.h"
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
    u"  vorlo-reg import FILE\n"
    u"\n"
    u"KEY    HKCU\\Software\\Vorlo\\... or HKEY_CURRENT_USER\\Software\\Vorlo\\...\n"
    u"TYPE   REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    u"       REG_BINARY, REG_NONE\n"
    u"/f     no confirmation; without it a destructive command asks, but only when\n"
    u"       standard input is a terminal\n"
    u"FILE   a .reg file (\"Windows Registry Editor Version 5.00\"); export writes\n"
    u"       UTF-16LE with a byte-order mark, import also reads UTF-8\n"
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

bool IsOption(const UString& arg, const char16_t* name) {
  return arg.size() >= 2 && (arg[0] == u'/' || arg[0] == u'-') &&
         platform::UpperCase(UStringView(arg).substr(1)) == platform::UpperCase(name);
}

// The options of one command; a value option takes the next argument,
// whatever it looks like.
struct Options {
  std::optional<UString> v, t, s, d;
  bool ve = false, va = false, f = false, y = false, sflag = false;
  std::vector<UString> positional;
};

bool ParseOptions(const std::vector<UString>& args, size_t from, bool s_takes_value,
                  Options* o) {
  for (size_t i = from; i < args.size(); ++i) {
    const UString& a = args[i];
    const auto take = [&](std::optional<UString>* slot) {
      if (slot->has_value() || i + 1 >= args.size()) return false;
      *slot = args[++i];
      return true;
    };
    if (IsOption(a, u"v")) {
      if (!take(&o->v)) return false;
    } else if (IsOption(a, u"t")) {
      if (!take(&o->t)) return false;
    } else if (IsOption(a, u"d")) {
      if (!take(&o->d)) return false;
    } else if (IsOption(a, u"s")) {
      if (s_takes_value) {
        if (!take(&o->s)) return false;
      } else {
        o->sflag = true;
      }
    } else if (IsOption(a, u"ve")) {
      o->ve = true;
    } else if (IsOption(a, u"va")) {
      o->va = true;
    } else if (IsOption(a, u"f")) {
      o->f = true;
    } else if (IsOption(a, u"y")) {
      o->y = true;
    } else {
      // Anything else is a key, a file or a path, "/opt/..." included.
      o->positional.push_back(a);
    }
  }
  return true;
}

UString ValueLabel(const UString& name) { return name.empty() ? UString(u"(Default)") : name; }

void PrintValue(const UString& name, const RegValue& v) {
  PrintOut(u"    " + ValueLabel(name) + u"    " + TypeName(v.type) + u"    " + DisplayData(v) +
           u"\n");
}

int Add(const std::vector<UString>& args) {
  Options o;
  if (!ParseOptions(args, 1, true, &o) || o.positional.size() != 1 || (o.v && o.ve) ||
      (o.s && !o.t)) {
    return Usage(u"add");
  }
  UString path, error;
  if (!ParseKeyName(o.positional[0], &path, &error)) return Fail(error);
  uint32_t type = platform::kRegSz;
  if (o.t && !TypeFromName(*o.t, &type)) return Fail(u"Invalid type: " + *o.t + u".");
  const bool has_value = o.v || o.ve || o.d || o.t;
  RegValue value;
  if (has_value && !ValueFromData(type, o.d.value_or(u""), o.s.value_or(u""), &value, &error)) {
    return Fail(error);
  }
  const UString name = o.v.value_or(u"");
  platform::Hive hive;
  if (has_value && !o.f) {
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
  if (has_value && !key->Write(name, value)) {
    return Fail(u"Cannot write the value " + ValueLabel(name) + u".");
  }
  PrintOut(kDone);
  return 0;
}

// Prints one key's block; with `recurse`, its sub-keys' blocks after it.
void QueryKey(platform::Hive& hive, const UString& path, const UString& shown, bool recurse) {
  auto key = hive.OpenReadOnly(path);
  if (!key) return;
  PrintOut(u"\n" + shown + u"\n");
  for (const UString& name : key->ValueNames()) {
    RegValue v;
    if (key->Read(name, &v)) PrintValue(name, v);
  }
  const std::vector<UString> subs = key->SubKeyNames();
  if (!recurse) {
    if (!subs.empty()) PrintOut(u"\n");
    for (const UString& sub : subs) PrintOut(shown + u"\\" + sub + u"\n");
    return;
  }
  for (const UString& sub : subs) {
    QueryKey(hive, path.empty() ? sub : path + u"\\" + sub, shown + u"\\" + sub, true);
  }
}

// /v NAME /s: every key of the tree that holds the value.
int SearchValue(platform::Hive& hive, const UString& path, const UString& shown,
                const UString& name) {
  auto key = hive.OpenReadOnly(path);
  if (!key) return 0;
  int found = 0;
  RegValue v;
  if (key->Read(name, &v)) {
    PrintOut(u"\n" + shown + u"\n");
    PrintValue(name, v);
    ++found;
  }
  for (const UString& sub : key->SubKeyNames()) {
    found += SearchValue(hive, path.empty() ? sub : path + u"\\" + sub, shown + u"\\" + sub, name);
  }
  return found;
}

int Query(const std::vector<UString>& args) {
  Options o;
  if (!ParseOptions(args, 1, false, &o) || o.positional.size() != 1 || (o.v && o.ve) || o.t ||
      o.d || o.va || o.f || o.y) {
    return Usage(u"query");
  }
  UString path, error;
  if (!ParseKeyName(o.positional[0], &path, &error)) return Fail(error);
  const UString shown = FullKeyName(path);
  platform::Hive hive;
  auto key = hive.OpenReadOnly(path);
  if (!key) {
    PrintErr(kNotFound);
    return 1;
  }
  if (o.v || o.ve) {
    const UString name = o.v.value_or(u"");
    if (o.sflag) {
      const int found = SearchValue(hive, path, shown, name);
      PrintOut(u"End of search: " + platform::IntToText(found) + u" match(es) found.\n");
      return found > 0 ? 0 : 1;
    }
    RegValue v;
    UString stored = name;  // shown as the hive spells it
    for (const UString& n : key->ValueNames()) {
      if (platform::UpperCase(n) == platform::UpperCase(name)) stored = n;
    }
    if (!key->Read(name, &v)) {
      if (o.ve) {
        PrintOut(u"\n" + shown + u"\n    (Default)    REG_SZ    (value not set)\n\n");
        return 0;
      }
      PrintErr(kNotFound);
      return 1;
    }
    PrintOut(u"\n" + shown + u"\n");
    PrintValue(stored, v);
    PrintOut(u"\n");
    return 0;
  }
  QueryKey(hive, path, shown, o.sflag);
  return 0;
}

int Delete(const std::vector<UString>& args) {
  Options o;
  if (!ParseOptions(args, 1, false, &o) || o.positional.size() != 1 ||
      (o.v ? 1 : 0) + (o.ve ? 1 : 0) + (o.va ? 1 : 0) > 1 || o.t || o.d || o.sflag || o.y) {
    return Usage(u"delete");
  }
  UString path, error;
  if (!ParseKeyName(o.positional[0], &path, &error)) return Fail(error);
  platform::Hive hive;
  auto key = hive.Open(path);
  if (!key) {
    PrintErr(kNotFound);
    return 1;
  }
  if (o.v || o.ve) {
    const UString name = o.v.value_or(u"");
    RegValue v;
    if (!key->Read(name, &v)) {
      PrintErr(kNotFound);
      return 1;
    }
    if (!o.f && !Confirm(u"Delete the registry value " + ValueLabel(name))) return Cancelled();
    if (!key->DeleteValue(name)) return Fail(u"Cannot delete the value " + ValueLabel(name) + u".");
  } else if (o.va) {
    if (!o.f && !Confirm(u"Delete all values under the registry key " + FullKeyName(path))) {
      return Cancelled();
    }
    for (const UString& name : key->ValueNames()) {
      if (!key->DeleteValue(name)) return Fail(u"Cannot delete the value " + ValueLabel(name) + u".");
    }
  } else {
    if (path.empty()) return Fail(u"The hive root " + FullKeyName(path) + u" cannot be deleted.");
    if (!o.f && !Confirm(u"Permanently delete the registry key " + FullKeyName(path))) {
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

int Export(const std::vector<UString>& args) {
  Options o;
  if (!ParseOptions(args, 1, false, &o) || o.positional.size() != 2 || o.v || o.ve || o.va ||
      o.t || o.d || o.sflag || o.f) {
    return Usage(u"export");
  }
  UString path, error;
  if (!ParseKeyName(o.positional[0], &path, &error)) return Fail(error);
  const UString& file = o.positional[1];
  platform::Hive hive;
  std::vector<RegFileKey> keys;
  Collect(hive, path, &keys);
  if (keys.empty()) {
    PrintErr(kNotFound);
    return 1;
  }
  if (!o.y && platform::FileExists(file) &&
      !Confirm(u"File " + file + u" already exists. Overwrite")) {
    return Cancelled();
  }
  if (!platform::WriteWholeFile(file, FormatRegFile(keys), &error)) {
    return Fail(u"Cannot write " + file + u": " + error);
  }
  PrintOut(kDone);
  return 0;
}

int Import(const std::vector<UString>& args) {
  Options o;
  if (!ParseOptions(args, 1, false, &o) || o.positional.size() != 1 || o.v || o.ve || o.va ||
      o.t || o.d || o.sflag || o.f || o.y) {
    return Usage(u"import");
  }
  const UString& file = o.positional[0];
  std::string bytes;
  UString error;
  if (!platform::ReadWholeFile(file, &bytes, &error)) {
    return Fail(u"Cannot read " + file + u": " + error);
  }
  std::vector<RegFileKey> keys;
  // The whole file is checked before anything is changed.
  if (!ParseRegFile(bytes, &keys, &error)) return Fail(file + u", " + error);
  platform::Hive hive;
  for (const RegFileKey& k : keys) {
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
  if (args.empty()) return Usage(u"");
  const UString command = platform::UpperCase(args[0]);
  if (command == u"/?" || command == u"-?" || command == u"--HELP" || command == u"-H" ||
      (args.size() > 1 && (args[1] == u"/?" || args[1] == u"-?"))) {
    PrintOut(kHelp);
    return 0;
  }
  const std::pair<const char16_t*, std::function<int(const std::vector<UString>&)>> commands[] = {
      {u"ADD", Add}, {u"QUERY", Query}, {u"DELETE", Delete},
      {u"EXPORT", Export}, {u"IMPORT", Import}};
  for (const auto& [name, run] : commands) {
    if (command == name) {
      try {
        return run(args);
      } catch (const platform::HiveError& e) {
        return Fail(e.Message());
      }
    }
  }
  return Fail(u"Invalid operation " + args[0] + u" (add, query, delete, export or import).");
}

}  // namespace
}  // namespace regtool

int main(int argc, char** argv) {
  return regtool::Run(platform::CommandLineArguments(argc, argv));
}
