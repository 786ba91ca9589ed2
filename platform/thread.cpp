#include "platform/thread.h"

#include <condition_variable>
#include <mutex>

#include "platform/handoff.h"

namespace platform {
namespace {

// Never destroyed: a detached thread may still be finishing while the
// program exits.
std::mutex& g_mutex = *new std::mutex;
std::condition_variable& g_cv = *new std::condition_variable;
int g_running = 0;

}  // namespace

TThread::TThread() = default;

TThread::~TThread() {
  // A thread that frees itself has detached its std::thread; one that does
  // not is joined by whoever deletes it.
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_running;
  }
  // The new thread waits for thread_ to be assigned before it looks at it
  // (it may free the object).
  std::lock_guard<std::mutex> gate(start_gate_);
  try {
    thread_ = std::thread([this] { ThreadMain(); });
  } catch (...) {
    started_ = false;
    std::lock_guard<std::mutex> lock(g_mutex);
    --g_running;
    throw;
  }
}

void TThread::ThreadMain() {
  { std::lock_guard<std::mutex> gate(start_gate_); }
  if (!Terminated()) {
    try {
      Execute();
    } catch (...) {
      FatalException = std::current_exception();
    }
  }
  if (OnTerminate) {
    try {
      Synchronize([this] { OnTerminate(this); });
    } catch (...) {
      // The window thread is gone: nobody is left to notify.
    }
  }
  if (FreeOnTerminate) {
    thread_.detach();
    delete this;
  }
  // Notified under the lock: once WaitForAll sees the count drop, this
  // thread touches nothing of the program any more.
  std::lock_guard<std::mutex> lock(g_mutex);
  --g_running;
  g_cv.notify_all();
}

void TThread::Synchronize(const std::function<void()>& fn) { HandOff::Instance().Run(fn); }

void TThread::WaitForAll() {
  std::unique_lock<std::mutex> lock(g_mutex);
  g_cv.wait(lock, [] { return g_running == 0; });
}

int TThread::RunningCount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_running;
}

}  // namespace platform
