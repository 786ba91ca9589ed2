// The process list on Windows: a Toolhelp snapshot of all processes.
#include <string>

#include "platform/process_list.h"
#include "platform/win32/scoped_handle.h"

#include <tlhelp32.h>  // after windows.h

namespace platform {

bool ProcessExists(UStringView name) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  if (!Process32FirstW(snapshot.get(), &entry)) return false;
  const UString wanted = AsciiUpperCase(name);
  bool found = false;
  do {
    const std::wstring exe = entry.szExeFile;
    const UString e(exe.begin(), exe.end());
    const size_t sep = e.find_last_of(u"\\:");
    const UString file = sep == UString::npos ? e : e.substr(sep + 1);
    if (AsciiUpperCase(file) == wanted || AsciiUpperCase(e) == wanted) found = true;
  } while (Process32NextW(snapshot.get(), &entry));
  return found;
}

}  // namespace platform
