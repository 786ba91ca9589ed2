// TThread: the frame of a worker thread. The thread is created suspended and
// runs Execute once Start is called; a failure that escapes Execute is kept
// in FatalException and shown nowhere; the termination handler OnTerminate is
// handed to the window thread (platform/handoff.h) and waited for; with
// FreeOnTerminate the object deletes itself as its thread ends.
//
//   class TWork : public platform::TThread {
//     void Execute() override { ... Synchronize([&] { show(); }); ... }
//   };
//   auto* w = new TWork;           // suspended
//   w->FreeOnTerminate = true;
//   w->OnTerminate = [](platform::TThread*) { ... };  // on the window thread
//   w->Start();
//
// TThread::WaitForAll() returns once every such thread has ended, so that a
// program does not end while a worker is still cleaning up.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class TThread {
 public:
  // Creates the thread suspended: nothing runs until Start.
  TThread();
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the thread. Throws when the system cannot create one.
  void Start();
  // The stop request: sets the flag that Execute tests.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

  // Runs fn on the window thread and waits for it (HandOff::Run).
  static void Synchronize(const std::function<void()>& fn);

  // Waits until every started thread has ended, its object freed.
  static void WaitForAll();
  // How many started threads have not ended yet.
  static int RunningCount();

  bool FreeOnTerminate = false;
  std::function<void(TThread*)> OnTerminate;
  std::exception_ptr FatalException;

 protected:
  virtual void Execute() = 0;

 private:
  void ThreadMain();

  std::thread thread_;
  std::mutex start_gate_;
  std::atomic<bool> terminated_{false};
  bool started_ = false;
};

}  // namespace platform
