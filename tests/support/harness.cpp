#include "tests/support/harness.h"

#include <atomic>
#include <exception>
#include <thread>

#include "config/r_register.h"
#include "platform/handoff.h"
#include "platform/module.h"

namespace testing_support {
namespace {

// Runs the worker's Execute in a test.
class TestExec : public TExec {
 public:
  using TExec::TExec;
  void RunBody() { Execute(); }
};

}  // namespace

ReleaseFolders::ReleaseFolders() : app(Join(dir.Path(), "app")), dl(Join(dir.Path(), "dl")) {
  MakeDir(app);
  MakeDir(dl);
}

void ReleaseFolders::Download(const std::string& name, const std::string& bytes,
                              bool record_size) const {
  WriteFileBytes(Join(dl, name), bytes);
  if (record_size) {
    RecordSize(name.substr(name.find_last_of("/\\") + 1), static_cast<int64_t>(bytes.size()));
  }
}

void ReleaseFolders::RecordSize(const std::string& file_name, int64_t size) {
  config::TDatabaseRegistry store;
  store.WriteCFGtoRegister(u"\\Updates\\files", config::Variant(size), U(file_name));
}

void ReleaseFolders::Manifest(const std::string& text) const {
  WriteFileBytes(Join(dl, "current_release.txt"), text);
}

TestSystem::TestSystem(const std::string& exe_folder)
    : exe_path_(platform::Utf8ToUtf16(exe_folder) + platform::kPathSeparatorString + u"update") {}

void TestSystem::Sleep(int ms) { sleeps.push_back(ms); }
UString TestSystem::ExecutablePath() { return exe_path_; }

bool TestSystem::DeleteFile(platform::UStringView p) {
  return !fail_delete && SystemOps::DeleteFile(p);
}
UString TestSystem::StageCopy(platform::UStringView f, platform::UStringView t) {
  return fail_copy || fail_copy_of.count(UString(f)) ? UString() : SystemOps::StageCopy(f, t);
}
UString TestSystem::StageCopyUnflushed(platform::UStringView f, platform::UStringView t) {
  return fail_copy || fail_copy_of.count(UString(f)) ? UString()
                                                     : SystemOps::StageCopyUnflushed(f, t);
}
bool TestSystem::MoveIntoPlace(platform::UStringView s, platform::UStringView t) {
  last_held_ = false;
  auto it = held.find(UString(t));
  if (it != held.end() && it->second != 0) {
    if (it->second > 0) --it->second;
    last_held_ = true;
    return false;
  }
  return SystemOps::MoveIntoPlace(s, t);
}
bool TestSystem::FailedAsHeld() { return last_held_; }
platform::Backup TestSystem::KeepAsBackup(platform::UStringView i, platform::UStringView b) {
  return fail_rename ? platform::Backup::kFailed : SystemOps::KeepAsBackup(i, b);
}
bool TestSystem::IsApplicationRunning(platform::UStringView path) {
  polled.emplace_back(path);
  if (running.empty()) return false;
  const bool r = running.front();
  running.erase(running.begin());
  return r;
}
int TestSystem::ShellLaunch(void*, platform::UStringView target, platform::UStringView dir) {
  launched = UString(target);
  launched_in = UString(dir);
  return launch_result;
}

Harness::Harness(const std::string& exe_folder) : sys(exe_folder) {
  platform::HandOff::Instance().Reset();
  app = std::make_unique<forms::TApplication>(MakeFakeToolkit(&screen));
  app->Title = kApplicationTitle;
  auto f = std::make_unique<TFormUpdater>(app.get());
  form = f.get();
  app->AddForm(std::move(f));
  exec = new TestExec(form);
  exec->Sys = &sys;
}

Harness::~Harness() { delete exec; }

void Harness::OnWorker(const std::function<void()>& fn) {
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      fn();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
  });
  while (!done) {
    platform::HandOff::Instance().RunPending();
    std::this_thread::yield();
  }
  worker.join();
  platform::HandOff::Instance().RunPending();
  if (failure) std::rethrow_exception(failure);
}

void Harness::RunUpdate() {
  OnWorker([this] { static_cast<TestExec*>(exec)->RunBody(); });
}

}  // namespace testing_support
