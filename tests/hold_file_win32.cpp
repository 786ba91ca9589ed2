// hold-file: holds a file open as another Windows program does (a virus
// scanner, the search indexer, a helper of Vorlo's that has not ended yet):
// read access, others may read it too, nobody may write, rename or delete it.
//
//   hold-file PATH SECONDS READY
//
// READY is written once the file is open, so that a test knows the hold has
// begun; after SECONDS the file is closed and the program exits 0. Exit 1
// when the file cannot be opened.
#include <windows.h>

#include <string>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/win32/scoped_handle.h"

int main(int argc, char** argv) {
  const std::vector<platform::UString> args = platform::CommandLineArguments(argc, argv);
  if (args.size() != 3) return 2;
  const std::wstring path(args[0].begin(), args[0].end());
  const platform::ScopedHandle held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
  if (!held.valid()) return 1;
  if (!platform::WriteWholeFile(args[2], "held\n", nullptr)) return 1;
  Sleep(static_cast<DWORD>(std::stoul(platform::Utf16ToUtf8(args[1]))) * 1000);
  return 0;
}
