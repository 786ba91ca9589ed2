#include "tools/vorlo-reg/command.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace regtool {
namespace {

bool IsOption(const UString& arg, const char16_t* name) {
  return arg.size() >= 2 && (arg[0] == u'/' || arg[0] == u'-') &&
         platform::UpperCase(UStringView(arg).substr(1)) == platform::UpperCase(name);
}

bool LooksLikeOption(const UString& arg) {
  return !arg.empty() && (arg[0] == u'/' || arg[0] == u'-');
}

// The options of one command, as reg takes them: each at most once; a value
// option takes the next argument, whatever it looks like.
struct Options {
  std::optional<UString> v, t, s, d;
  bool ve = false, va = false, f = false, y = false, sflag = false, strict = false, view = false;
  std::vector<UString> positional;
  // Where the first option stood among the arguments (export wants its
  // options after its two names).
  size_t first_option = SIZE_MAX;
};

// `value_options` and `flags` name what the command takes ("v", "ve", ...).
// An argument that looks like an option but is none of them is a syntax
// error, unless `paths` (a file name may begin with "/" on Linux).
bool ParseOptions(const std::vector<UString>& args,
                  std::initializer_list<const char16_t*> value_options,
                  std::initializer_list<const char16_t*> flags, bool paths, Options* o) {
  const auto takes = [](std::initializer_list<const char16_t*> list, const UString& a) {
    for (const char16_t* name : list) {
      if (IsOption(a, name)) return true;
    }
    return false;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const UString& a = args[i];
    if (takes(value_options, a)) {
      std::optional<UString>* slot = IsOption(a, u"v")   ? &o->v
                                     : IsOption(a, u"t") ? &o->t
                                     : IsOption(a, u"s") ? &o->s
                                                         : &o->d;
      if (slot->has_value() || i + 1 >= args.size()) return false;
      *slot = args[++i];
    } else if (takes(flags, a)) {
      bool* flag = IsOption(a, u"ve")       ? &o->ve
                   : IsOption(a, u"va")     ? &o->va
                   : IsOption(a, u"f")      ? &o->f
                   : IsOption(a, u"y")      ? &o->y
                   : IsOption(a, u"s")      ? &o->sflag
                   : IsOption(a, u"strict") ? &o->strict
                                            : &o->view;  // /reg:32 or /reg:64
      if (*flag) return false;
      *flag = true;
    } else if (LooksLikeOption(a) && !paths) {
      return false;
    } else {
      o->positional.push_back(a);
      continue;
    }
    o->first_option = std::min(o->first_option, o->positional.size());
  }
  return true;
}

ParseResult Usage(const char16_t* command) { return {ParseResult::kUsage, command}; }

ParseResult Fail(UString reason) { return {ParseResult::kFail, std::move(reason)}; }

bool IsHelp(const UString& a) {
  const UString up = platform::UpperCase(a);
  return up == u"/?" || up == u"-?" || up == u"/H" || up == u"-H" || up == u"--HELP";
}

}  // namespace

ParseResult ParseCommand(const std::vector<UString>& args, Command* out) {
  Command c;
  if (args.empty()) return Usage(u"");
  if (IsHelp(args[0]) || (args.size() == 2 && IsHelp(args[1]))) {
    *out = c;
    return {};
  }
  const UString verb = platform::UpperCase(args[0]);
  Options o;
  UString error;
  if (verb == u"ADD") {
    c.verb = Command::kAdd;
    if (!ParseOptions(args, {u"v", u"t", u"s", u"d"}, {u"ve", u"f", u"reg:32", u"reg:64"}, false,
                      &o) ||
        o.positional.size() != 1 || (o.v && o.ve)) {
      return Usage(u"add");
    }
    if (!ParseKeyName(o.positional[0], &c.key, &error)) return Fail(error);
    uint32_t type = platform::kRegSz;
    if (o.t && !TypeFromName(*o.t, &type)) return Fail(u"Invalid type: " + *o.t + u".");
    // Without /v the value is the key's default one, as with /ve: reg add KEY
    // alone gives the key an empty default value.
    if (!ValueFromData(type, o.d ? &*o.d : nullptr, o.s ? &*o.s : nullptr, &c.value, &error)) {
      return Fail(error);
    }
  } else if (verb == u"QUERY") {
    c.verb = Command::kQuery;
    if (!ParseOptions(args, {u"v"}, {u"ve", u"s", u"reg:32", u"reg:64"}, false, &o) ||
        o.positional.size() != 1 || (o.v && o.ve)) {
      return Usage(u"query");
    }
    if (!ParseKeyName(o.positional[0], &c.key, &error)) return Fail(error);
  } else if (verb == u"DELETE") {
    c.verb = Command::kDelete;
    if (!ParseOptions(args, {u"v"}, {u"ve", u"va", u"f", u"reg:32", u"reg:64"}, false, &o) ||
        o.positional.size() != 1 || (o.v ? 1 : 0) + (o.ve ? 1 : 0) + (o.va ? 1 : 0) > 1) {
      return Usage(u"delete");
    }
    if (!ParseKeyName(o.positional[0], &c.key, &error)) return Fail(error);
  } else if (verb == u"EXPORT") {
    c.verb = Command::kExport;
    // reg export KEY FILE [/y]: the options come after the two names.
    if (!ParseOptions(args, {}, {u"y", u"reg:32", u"reg:64"}, true, &o) ||
        o.positional.size() != 2 || (o.first_option != SIZE_MAX && o.first_option < 2)) {
      return Usage(u"export");
    }
    if (!ParseKeyName(o.positional[0], &c.key, &error)) return Fail(error);
    c.file = o.positional[1];
  } else if (verb == u"IMPORT") {
    c.verb = Command::kImport;
    if (!ParseOptions(args, {}, {u"strict", u"reg:32", u"reg:64"}, true, &o) ||
        o.positional.size() != 1) {
      return Usage(u"import");
    }
    c.file = o.positional[0];
  } else {
    return Fail(u"Invalid operation " + args[0] + u" (add, query, delete, export or import).");
  }
  c.named = o.v.has_value() || o.ve;
  c.name = o.v.value_or(u"");
  c.default_value = o.ve;
  c.all_values = o.va;
  c.recurse = o.sflag;
  c.force = o.f || o.y;
  c.strict = o.strict;
  *out = std::move(c);
  return {};
}

}  // namespace regtool
