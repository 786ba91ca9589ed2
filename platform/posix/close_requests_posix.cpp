// Close requests on Linux: the signals are blocked in every thread and taken
// by one thread of their own with sigwait, which hands each to the window
// thread; nothing runs in a signal handler.
#include <signal.h>

#include <thread>

#include "platform/close_requests.h"
#include "platform/handoff.h"

namespace platform {

void TakeCloseRequests(std::function<void()> handler) {
  signal(SIGPIPE, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // The thread lives as long as the process; a request that comes after the
  // window's loop has ended finds the hand-off closed and goes.
  std::thread([set, handler = std::move(handler)] {
    for (;;) {
      int signal_number = 0;
      if (sigwait(&set, &signal_number) != 0) continue;
      try {
        HandOff::Instance().Run(handler);
      } catch (...) {
      }
    }
  }).detach();
}

}  // namespace platform
