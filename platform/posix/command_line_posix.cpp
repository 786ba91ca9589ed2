#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/command_line.h"

namespace platform {
namespace {
void WriteAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}
}  // namespace

std::vector<UString> CommandLineArguments(int argc, char** argv) {
  std::vector<UString> args;
  for (int i = 1; i < argc; ++i) args.push_back(PathFromNative(argv[i]));
  return args;
}

void PrintOut(UStringView text) { WriteAll(STDOUT_FILENO, Utf16ToUtf8(text)); }
void PrintErr(UStringView text) { WriteAll(STDERR_FILENO, Utf16ToUtf8(text)); }

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool ReadStdinLine(UString* line) {
  std::string s;
  if (!std::getline(std::cin, s)) return false;
  if (!s.empty() && s.back() == '\r') s.pop_back();
  *line = Utf8ToUtf16(s);
  return true;
}

}  // namespace platform
