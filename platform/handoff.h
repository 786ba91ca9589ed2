// The hand-off from a worker thread to the window thread.
//
// A worker calls Run(fn): fn runs on the window thread, and Run returns when
// it has run to its end; a failure fn throws there is thrown again from Run.
// The window thread runs what is pending from its message loop (RunPending),
// also while a modal message box is open, because the toolkit's waker posts
// to a window that every loop dispatches to.
//
//   // worker thread                     // window thread, woken by the waker
//   HandOff::Instance().Run([&] {         HandOff::Instance().RunPending();
//     label->SetText(text);
//   });
//
// Hand-offs run one at a time, in the order they were made. Once the window
// thread has stopped taking them (Abandon), Run throws HandOffAbandoned at
// once, so a worker never waits for a loop that has ended.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

#include "platform/exception.h"

namespace platform {

class HandOffAbandoned : public Exception {
 public:
  HandOffAbandoned() : Exception(u"The window has closed.") {}
};

class HandOff {
 public:
  static HandOff& Instance();

  // The toolkit's way to make the window thread call RunPending soon; called
  // with the lock released, from the worker thread.
  void SetWaker(std::function<void()> waker);

  // Worker side: runs fn on the window thread and waits for it.
  void Run(const std::function<void()>& fn);

  // Window side: runs every pending hand-off. Returns how many ran.
  int RunPending();

  // Window side: no more hand-offs are taken; pending and later ones throw
  // HandOffAbandoned in their workers.
  void Abandon();
  // Takes hand-offs again (a new loop, in tests).
  void Reset();

  // How long workers have waited in Run, in all, in nanoseconds: what the
  // hand-offs cost the worker (for measurements).
  long long WaitedNanoseconds() const { return waited_ns_.load(); }

 private:
  struct Item {
    const std::function<void()>* fn;
    std::exception_ptr failure;
    bool done = false;
    bool abandoned = false;
  };

  std::mutex mutex_;
  std::condition_variable done_cv_;
  std::deque<Item*> queue_;
  std::function<void()> waker_;
  bool abandoned_ = false;
  std::atomic<long long> waited_ns_{0};
};

}  // namespace platform
