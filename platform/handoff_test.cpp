// The hand-off between a worker and the window thread, and the thread frame.
// Also run under ThreadSanitizer (preset linux-tsan).
#include "platform/handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace platform {
namespace {

// Plays the window thread until `done`.
void Pump(const std::atomic<bool>& done) {
  while (!done) {
    HandOff::Instance().RunPending();
    std::this_thread::yield();
  }
  HandOff::Instance().RunPending();
}

TEST(HandOff, RunsOnTheWindowThreadInOrderAndWaits) {
  HandOff::Instance().Reset();
  const auto window = std::this_thread::get_id();
  std::vector<int> seen;  // only touched on the window thread
  std::atomic<bool> done{false};
  bool all_on_window = true;
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i) {
      HandOff::Instance().Run([&, i] {
        all_on_window = all_on_window && std::this_thread::get_id() == window;
        seen.push_back(i);
      });
    }
    done = true;
  });
  Pump(done);
  worker.join();
  ASSERT_EQ(seen.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
  EXPECT_TRUE(all_on_window);
}

TEST(HandOff, AFailureOnTheWindowThreadIsRaisedOnTheWorker) {
  HandOff::Instance().Reset();
  std::atomic<bool> done{false};
  UString caught;
  std::thread worker([&] {
    try {
      HandOff::Instance().Run([] { throw Exception(u"display failed"); });
    } catch (const Exception& e) {
      caught = e.Message();
    }
    done = true;
  });
  Pump(done);
  worker.join();
  EXPECT_EQ(caught, u"display failed");
}

TEST(HandOff, HandOffsRunFromANestedLoopToo) {
  // A message box runs a loop of its own inside a hand-off: a second worker's
  // hand-off is served there.
  HandOff::Instance().Reset();
  std::atomic<bool> done{false};
  std::atomic<bool> second_ran{false};
  std::thread first([&] {
    HandOff::Instance().Run([&] {
      std::thread second([&] { HandOff::Instance().Run([&] { second_ran = true; }); });
      while (!second_ran) HandOff::Instance().RunPending();  // the box's loop
      second.join();
    });
    done = true;
  });
  Pump(done);
  first.join();
  EXPECT_TRUE(second_ran);
}

TEST(HandOff, AfterTheLoopEndsWorkersAreToldAtOnce) {
  HandOff::Instance().Reset();
  std::atomic<bool> waiting{false};
  std::atomic<bool> abandoned{false};
  std::thread worker([&] {
    waiting = true;
    try {
      HandOff::Instance().Run([] {});
    } catch (const HandOffAbandoned&) {
      abandoned = true;
    }
  });
  while (!waiting) std::this_thread::yield();
  HandOff::Instance().Abandon();
  worker.join();
  EXPECT_TRUE(abandoned);
  EXPECT_THROW(HandOff::Instance().Run([] {}), HandOffAbandoned);
  HandOff::Instance().Reset();
}

class Worker : public TThread {
 public:
  Worker(std::atomic<int>* freed, bool fail) : freed_(freed), fail_(fail) {}
  ~Worker() override { ++*freed_; }

 protected:
  void Execute() override {
    Synchronize([] {});
    if (fail_) throw Exception(u"escaped");
  }

 private:
  std::atomic<int>* freed_;
  bool fail_;
};

TEST(TThread, RunsSuspendedUntilStartedThenNotifiesAndFreesItself) {
  HandOff::Instance().Reset();
  for (bool fail : {false, true}) {
    std::atomic<int> freed{0};
    std::atomic<bool> notified{false};
    bool fatal = false;
    auto* w = new Worker(&freed, fail);
    w->FreeOnTerminate = true;
    const auto window = std::this_thread::get_id();
    bool on_window = false;
    w->OnTerminate = [&](TThread* t) {
      on_window = std::this_thread::get_id() == window;
      fatal = t->FatalException != nullptr;
      notified = true;
    };
    EXPECT_EQ(TThread::RunningCount(), 0);
    w->Start();
    Pump(notified);
    TThread::WaitForAll();
    EXPECT_EQ(freed, 1);
    EXPECT_TRUE(on_window);
    EXPECT_EQ(fatal, fail);
    EXPECT_EQ(TThread::RunningCount(), 0);
  }
}

}  // namespace
}  // namespace platform
