// Starting a program on Linux: posix_spawn for a program, xdg-open for any
// other file, with the shell's result codes.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/scoped_fd.h"
#include "platform/shell_launch.h"

extern char** environ;

namespace platform {
namespace {

int LaunchCode(int err) {
  switch (err) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM: return 5;
    case ENOMEM: return 8;
    case ENOEXEC:
    case ELIBBAD: return 11;
    case ETXTBSY: return 26;
    default: return 0;
  }
}

// Owns spawn attributes and file actions.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attr_);
    posix_spawn_file_actions_init(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  posix_spawnattr_t attr_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

int ShellLaunch(void*, UStringView target, UStringView directory) {
  const std::string file = PathToNative(target);
  const std::string dir = PathToNative(directory);
  struct stat st;
  if (stat(file.c_str(), &st) != 0) return LaunchCode(errno);
  if (!dir.empty()) {
    struct stat ds;
    if (stat(dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return 3;
  }
  // A program (executable, or a binary or script by its first bytes, so that
  // one that lost its execute permission is refused as a program) runs
  // itself; anything else opens with the program for its kind.
  bool executable = S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0;
  if (S_ISREG(st.st_mode) && !executable) {
    std::string head;
    char buf[4] = {};
    const ScopedFd fd(open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid()) {
      const ssize_t n = read(fd.get(), buf, sizeof buf);
      head.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    executable = head ==
                     "\x7F"
                     "ELF" ||
                 head.compare(0, 2, "#!") == 0;
  }
  std::vector<std::string> args;
  if (executable) {
    args = {file};
  } else {
    args = {"xdg-open", file};
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  SpawnSetup s;
  // Its own session, so no signal of this terminal reaches it; the default
  // signal handling and an empty mask; none of this program's files.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&s.attr_, &none);
  posix_spawnattr_setsigdefault(&s.attr_, &all);
  posix_spawnattr_setflags(&s.attr_,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&s.actions_, dir.c_str());
  // On its own: nothing of this program's terminal or pipes, so that a
  // caller that reads the updater's output is not held until Vorlo ends,
  // and Vorlo's own output does not mix with the log lines.
  posix_spawn_file_actions_addopen(&s.actions_, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&s.actions_, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&s.actions_, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&s.actions_, 3);
  pid_t pid;
  const int rc = executable
                     ? posix_spawn(&pid, file.c_str(), &s.actions_, &s.attr_, argv.data(), environ)
                     : posix_spawnp(&pid, "xdg-open", &s.actions_, &s.attr_, argv.data(), environ);
  if (rc != 0) return executable ? LaunchCode(rc) : 31;  // no program for the file
  return kLaunchStarted;
}

}  // namespace platform
