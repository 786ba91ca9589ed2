#include "platform/handoff.h"

#include <chrono>

namespace platform {

HandOff& HandOff::Instance() {
  static HandOff instance;
  return instance;
}

void HandOff::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> lock(mutex_);
  waker_ = std::move(waker);
}

void HandOff::Run(const std::function<void()>& fn) {
  const auto start = std::chrono::steady_clock::now();
  struct Account {
    std::atomic<long long>& total;
    std::chrono::steady_clock::time_point start;
    ~Account() {
      total += std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now() - start)
                   .count();
    }
  } account{waited_ns_, start};
  Item item;
  item.fn = &fn;
  std::function<void()> waker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) throw HandOffAbandoned();
    queue_.push_back(&item);
    waker = waker_;
  }
  if (waker) waker();
  std::unique_lock<std::mutex> lock(mutex_);
  done_cv_.wait(lock, [&] { return item.done || item.abandoned; });
  if (item.abandoned) throw HandOffAbandoned();
  if (item.failure) std::rethrow_exception(item.failure);
}

int HandOff::RunPending() {
  int ran = 0;
  for (;;) {
    Item* item;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty() || abandoned_) return ran;
      item = queue_.front();
      queue_.pop_front();
    }
    std::exception_ptr failure;
    try {
      (*item->fn)();
    } catch (...) {
      failure = std::current_exception();
    }
    {
      // The failure moves to the worker: the window thread keeps no share of
      // it, so the worker alone reads and frees it.
      std::lock_guard<std::mutex> lock(mutex_);
      item->failure = std::move(failure);
      item->done = true;
    }
    done_cv_.notify_all();
    ++ran;
  }
}

void HandOff::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    for (Item* item : queue_) item->abandoned = true;
    queue_.clear();
  }
  done_cv_.notify_all();
}

void HandOff::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = false;
}

}  // namespace platform
