// exchange_probe INSTALL_DIR DOWNLOAD_DIR NAME...: the updater's own exchange
// of each NAME (installation and download folders end with a separator), on
// the real file system, with the log lines on standard output. The crash
// tests kill it at chosen moments. Before the first exchange it creates
// INSTALL_DIR/../probe.ready, so that a test can time its kill from there.
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/module.h"
#include "tests/support/harness.h"

int main(int argc, char** argv) {
  const std::vector<platform::UString> args = platform::CommandLineArguments(argc, argv);
  if (args.size() < 3) {
    platform::PrintErr(u"usage: exchange_probe INSTALL_DIR DOWNLOAD_DIR NAME...\n");
    return 2;
  }
  const platform::UString top = platform::FolderOf(args[0].substr(0, args[0].size() - 1));
  testing_support::Harness h(platform::Utf16ToUtf8(top));
  h.exec->Exe_Path = args[0];
  h.exec->User_Path = args[1];
  platform::WriteWholeFile(top + u"probe.ready", "", nullptr);
  h.OnWorker([&] {
    for (size_t i = 2; i < args.size(); ++i) h.exec->ExchangeFile(args[i]);
  });
  for (const platform::UString& line : h.screen.lines) platform::PrintOut(line + u"\n");
  return 0;
}
