// store_probe PATH NAME KIND: one read through the configuration store, as
// the updater makes it, for the scripted tests. Prints the value, or
// "error: " and ErrorMessage (exit status 1).
#include <string>

#include "config/r_register.h"
#include "platform/command_line.h"

int main(int argc, char** argv) {
  const std::vector<platform::UString> args = platform::CommandLineArguments(argc, argv);
  if (args.size() != 3) {
    platform::PrintErr(u"usage: store_probe PATH NAME KIND\n");
    return 2;
  }
  config::TDatabaseRegistry store;
  const int kind = std::stoi(platform::Utf16ToUtf8(args[2]));
  platform::UString out;
  bool ok = false;
  if (kind == 256) {
    ok = store.ReadValueRegisterDFset(args[0], out, args[1], 256);
  } else if (kind == 20) {
    int64_t v = -1;
    ok = store.ReadValueRegisterDFset(args[0], v, args[1], 20);
    out = platform::IntToText(v);
  } else if (kind == 3) {
    int32_t v = 0;
    ok = store.ReadValueRegisterDFset(args[0], v, args[1], 3);
    out = platform::IntToText(v);
  }
  platform::PrintOut((ok ? out : u"error: " + store.ErrorMessage) + u"\n");
  return ok ? 0 : 1;
}
