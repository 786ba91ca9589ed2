// The running-application object on Linux: an abstract UNIX socket address
// of this user's. It exists exactly while a socket is bound to it, and the
// kernel unbinds it when its holder exits, also after kill -9.
#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/exception.h"
#include "platform/posix/scoped_fd.h"
#include "platform/process_list.h"
#include "platform/running_object.h"
#include "platform/system_error.h"

namespace platform {
namespace {

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

// Binds a new socket to the object's address. Answers the descriptor, or an
// invalid one with `exists` true when another holder has it, or with errno
// set.
ScopedFd BindObject(UStringView name, bool* exists) {
  *exists = false;
  ScopedFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return fd;
  socklen_t len;
  const sockaddr_un addr = ObjectAddress(name, &len);
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    const int err = errno;
    fd.reset();
    if (err == EADDRINUSE) *exists = true;
    errno = err;
  }
  return fd;
}

}  // namespace

bool IsApplicationRunning(UStringView path) {
  bool exists = false;
  {
    const ScopedFd fd = BindObject(RunningObjectName(path), &exists);
    if (exists) return true;
    if (!fd.valid()) throw Exception(SystemErrorMessage(errno));
  }
  // The name goes before the process scan: a bound name cannot be bound
  // twice, so a Vorlo starting meanwhile could not hold its object (on
  // Windows it would share the checker's).
  return ProcessExists(u"vorlo.exe");
}

struct RunningMarker::Impl {
  ScopedFd fd;
};

RunningMarker::RunningMarker(UStringView path) : impl_(std::make_unique<Impl>()) {
  // A check of IsApplicationRunning holds the name for an instant, and a
  // bound name cannot be bound twice: where Windows would open the
  // checker's object and hold it too, the marker waits for the check to let
  // it go. A holder that stays is another running instance.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    bool exists = false;
    impl_->fd = BindObject(RunningObjectName(path), &exists);
    if (impl_->fd.valid() || !exists || std::chrono::steady_clock::now() > give_up) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

RunningMarker::~RunningMarker() = default;

bool RunningMarker::Held() const { return impl_->fd.valid(); }

}  // namespace platform
