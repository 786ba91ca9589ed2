// The process list on Linux: /proc, all users.
#include <dirent.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/scoped_fd.h"
#include "platform/process_list.h"

namespace platform {
namespace {

// The executable file name of a process: /proc/PID/exe where readable, else
// argv[0], else comm.
std::string ProcessExecutable(const std::string& pid) {
  const std::string base = "/proc/" + pid;
  char buf[4096];
  const ssize_t n = readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() &&
        exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
      exe.resize(exe.size() - deleted.size());
    }
    return exe;
  }
  std::string text;
  if (ReadWholeFile(Utf8ToUtf16(base + "/cmdline"), &text, nullptr) && !text.empty() &&
      text[0] != '\0') {
    return std::string(text.c_str());
  }
  if (ReadWholeFile(Utf8ToUtf16(base + "/comm"), &text, nullptr)) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  return {};
}

// The process's name as the kernel records it (at most 15 bytes) and its
// state letter, from /proc/PID/stat: "PID (NAME) STATE ...", where the name
// may hold anything, even ") ". False when the process has gone.
bool ReadStat(const std::string& pid, std::string* name, char* state) {
  std::string stat;
  if (!ReadWholeFile(Utf8ToUtf16("/proc/" + pid + "/stat"), &stat, nullptr)) return false;
  const size_t open = stat.find('(');
  const size_t close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open ||
      close + 2 >= stat.size()) {
    return false;
  }
  *name = stat.substr(open + 1, close - open - 1);
  *state = stat[close + 2];
  return true;
}

// The process's arguments after the program's own name.
std::vector<std::string> Arguments(const std::string& pid) {
  std::string cmdline;
  std::vector<std::string> args;
  if (!ReadWholeFile(Utf8ToUtf16("/proc/" + pid + "/cmdline"), &cmdline, nullptr)) return args;
  size_t start = cmdline.find('\0');
  while (start != std::string::npos && start + 1 < cmdline.size()) {
    const size_t end = cmdline.find('\0', start + 1);
    args.push_back(cmdline.substr(start + 1, end == std::string::npos ? end : end - start - 1));
    start = end;
  }
  return args;
}

UString FilePart(const UString& path) {
  const size_t slash = path.rfind(u'/');
  return slash == UString::npos ? path : path.substr(slash + 1);
}

// Whether the process `pid` runs the program named `wanted` (upper-cased a
// to z): its executable's file name (or whole path) is that name; or it runs
// a script of that name, which the kernel runs as its interpreter: then the
// kernel names the process after the script, and the script's path is among
// the interpreter's arguments. A process that has ended but that its parent
// has not collected yet (state Z or X) runs nothing, as on Windows, where
// such a process is not listed at all.
bool ProcessRuns(const std::string& pid, const UString& wanted) {
  const UString exe = PathFromNative(ProcessExecutable(pid));
  if (exe.empty()) return false;
  std::string name;
  char state = '?';
  bool runs = AsciiUpperCase(FilePart(exe)) == wanted || AsciiUpperCase(exe) == wanted;
  if (!runs) {
    if (!ReadStat(pid, &name, &state)) return false;
    if (AsciiUpperCase(PathFromNative(name)) != wanted.substr(0, 15)) return false;
    for (const std::string& arg : Arguments(pid)) {
      if (AsciiUpperCase(FilePart(PathFromNative(arg))) == wanted) runs = true;
    }
    if (!runs) return false;
  } else if (!ReadStat(pid, &name, &state)) {
    return false;
  }
  return state != 'Z' && state != 'X';
}

}  // namespace

bool ProcessExists(UStringView name) {
  ScopedDir proc(opendir("/proc"));
  if (!proc.valid()) return false;
  const UString wanted = AsciiUpperCase(name);
  bool found = false;
  // The scan runs to the end of the list, as the answer does not stop it.
  while (dirent* e = readdir(proc.get())) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    if (ProcessRuns(e->d_name, wanted)) found = true;
  }
  return found;
}

}  // namespace platform
