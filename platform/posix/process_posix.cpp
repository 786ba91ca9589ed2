// Processes on Linux. The running-application object is an abstract UNIX
// socket address of this user's: it exists exactly while a socket is bound
// to it, and the kernel unbinds it when its holder exits, also after kill -9.
// The process list is /proc.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/exception.h"
#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

// Owns a file descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Owns a DIR*.
class ScopedDir {
 public:
  explicit ScopedDir(DIR* d) : d_(d) {}
  ScopedDir(const ScopedDir&) = delete;
  ScopedDir& operator=(const ScopedDir&) = delete;
  ~ScopedDir() {
    if (d_ != nullptr) closedir(d_);
  }
  DIR* get() const { return d_; }

 private:
  DIR* d_;
};

uint64_t Fnv64(const std::string& s, uint64_t basis) {
  uint64_t h = basis;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// The socket address for an object name: this user's prefix and 128 bits of
// hash, so that names of any length fit and stay case-sensitive.
sockaddr_un ObjectAddress(UStringView name, socklen_t* len) {
  const std::string utf8 = Utf16ToUtf8(name);
  char id[80];
  snprintf(id, sizeof id, "vorlo-running/%u/%016llx%016llx", static_cast<unsigned>(getuid()),
           static_cast<unsigned long long>(Fnv64(utf8, 14695981039346656037ull)),
           static_cast<unsigned long long>(Fnv64(utf8 + "\x01", 0x84222325cbf29ce4ull)));
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  addr.sun_path[0] = '\0';  // the abstract namespace: no file
  std::memcpy(addr.sun_path + 1, id, std::strlen(id));
  *len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + std::strlen(id));
  return addr;
}

// Binds a new socket to the object's address. Answers the descriptor, or -1
// with `exists` true when another holder has it, or -1 with errno set.
int BindObject(UStringView name, bool* exists) {
  *exists = false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  socklen_t len;
  const sockaddr_un addr = ObjectAddress(name, &len);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    const int err = errno;
    close(fd);
    if (err == EADDRINUSE) *exists = true;
    errno = err;
    return -1;
  }
  return fd;
}

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

UString SystemErrorText(int code) { return Utf8ToUtf16(std::strerror(code)); }

bool ProcessExists(UStringView name) {
  ScopedDir proc(opendir("/proc"));
  if (proc.get() == nullptr) return false;
  const UString wanted = AsciiUpperCase(name);
  bool found = false;
  // The scan runs to the end of the list, as the answer does not stop it.
  while (dirent* e = readdir(proc.get())) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    if (ProcessRuns(e->d_name, wanted)) found = true;
  }
  return found;
}

bool IsApplicationRunning(UStringView path) {
  bool exists = false;
  const ScopedFd fd(BindObject(RunningObjectName(path), &exists));
  if (exists) return true;
  if (fd.get() < 0) throw Exception(SystemErrorMessage(errno));
  // This check holds the object while it scans, as a new object does.
  return ProcessExists(u"vorlo.exe");
}

struct RunningMarker::Impl {
  int fd = -1;
};

RunningMarker::RunningMarker(UStringView path) : impl_(std::make_unique<Impl>()) {
  bool exists = false;
  impl_->fd = BindObject(RunningObjectName(path), &exists);
}

RunningMarker::~RunningMarker() {
  if (impl_->fd >= 0) close(impl_->fd);
}

bool RunningMarker::Held() const { return impl_->fd >= 0; }

namespace {

int LaunchCode(int err) {
  switch (err) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES: case EPERM: return 5;
    case ENOMEM: return 8;
    case ENOEXEC: case ELIBBAD: return 11;
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
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      const ssize_t n = read(fd, buf, sizeof buf);
      close(fd);
      head.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    executable = head == "\x7F" "ELF" || head.compare(0, 2, "#!") == 0;
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
  posix_spawnattr_setflags(&s.attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                         POSIX_SPAWN_SETSIGDEF);
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
  return 42;
}

}  // namespace platform
