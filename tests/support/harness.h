// The updater's window on the fake toolkit and a wrapped system, for tests of
// the worker and the update run, with no display and no real waits.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/main_update.h"
#include "engine/exec.h"
#include "platform/module.h"
#include "platform/shell_launch.h"
#include "platform/system_ops.h"
#include "tests/support/fake_toolkit.h"
#include "tests/support/scratch.h"

namespace testing_support {

using platform::UString;

// The real system, but for what a test replaces: instant sleeps (recorded),
// the executable's folder (where update.log goes), and failures on demand.
class TestSystem : public platform::SystemOps {
 public:
  explicit TestSystem(const std::string& exe_folder);

  void Sleep(int milliseconds) override;
  UString ExecutablePath() override;
  bool DeleteFile(platform::UStringView path) override;
  platform::UString StageCopy(platform::UStringView from, platform::UStringView to) override;
  platform::UString StageCopyUnflushed(platform::UStringView from,
                                       platform::UStringView to) override;
  bool MoveIntoPlace(platform::UStringView staged, platform::UStringView to) override;
  bool FailedAsHeld() override;
  platform::Backup KeepAsBackup(platform::UStringView installed,
                                platform::UStringView backup) override;
  bool IsApplicationRunning(platform::UStringView path) override;
  int ShellLaunch(void* owner, platform::UStringView target,
                  platform::UStringView directory) override;

  std::vector<int> sleeps;
  bool fail_copy = false;    // StageCopy refused (a full disk)
  bool fail_rename = false;  // the backup refused
  bool fail_delete = false;
  // Installed paths held by another program: MoveIntoPlace to one of them
  // is refused as held (FailedAsHeld) while its count lasts, -1 for good.
  std::map<UString, int> held;
  // Downloaded paths whose staging copy is refused (a full disk there).
  std::set<UString> fail_copy_of;
  // Answers of IsApplicationRunning, one per call; false when used up.
  std::vector<bool> running;
  std::vector<UString> polled;
  // The launch: what it was asked, and its answer.
  int launch_result = platform::kLaunchStarted;
  UString launched;
  UString launched_in;

 private:
  UString exe_path_;
  bool last_held_ = false;
};

// An installation folder (app) and a download folder (dl) in a fresh
// temporary folder, and what a downloaded release brings into them.
struct ReleaseFolders {
  ReleaseFolders();

  // Either folder as the configuration store names it: with its separator.
  UString App() const { return U(app) + kSep; }
  UString Dl() const { return U(dl) + kSep; }
  // A downloaded file (name may hold a sub-folder); with record_size, its
  // size under \Updates\files as the downloader records it (this needs a
  // scratch hive).
  void Download(const std::string& name, const std::string& bytes, bool record_size = true) const;
  static void RecordSize(const std::string& file_name, int64_t size);
  // The release's manifest, current_release.txt in the download folder.
  void Manifest(const std::string& text) const;

  TempDir dir;
  std::string app;
  std::string dl;
};

// A window on the fake toolkit and a worker that is never started: the test
// runs the worker's code on a thread of its own with OnWorker, while this
// thread plays the window thread.
class Harness {
 public:
  explicit Harness(const std::string& exe_folder);
  ~Harness();

  // Runs fn on a new thread and the hand-offs on this one until fn is done.
  // A failure fn throws is thrown again here.
  void OnWorker(const std::function<void()>& fn);
  // The worker's Execute, on a worker thread.
  void RunUpdate();

  Screen screen;
  TestSystem sys;
  std::unique_ptr<forms::TApplication> app;
  TFormUpdater* form = nullptr;
  TExec* exec = nullptr;
};

}  // namespace testing_support
