#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>

#include "platform/module.h"
#include "tests/support/child.h"

extern char** environ;

namespace testing_support {

struct ChildProcess::Impl {};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0) pid_ = pid;
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Started() const { return pid_ > 0; }

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(static_cast<pid_t>(pid_), SIGKILL);
  int status;
  waitpid(static_cast<pid_t>(pid_), &status, 0);
  pid_ = -1;
}

int ChildProcess::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  while (waitpid(static_cast<pid_t>(pid_), &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::WaitUntilEndedUncollected() {
  if (pid_ <= 0) return;
  siginfo_t info;
  while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
}

void CopyProgram(const std::string& from, const std::string& to) {
  {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
  }
  chmod(to.c_str(), 0755);
}

std::string ProgramFolder() {
  return platform::Utf16ToUtf8(platform::FolderOf(platform::ExecutablePath()));
}

}  // namespace testing_support
