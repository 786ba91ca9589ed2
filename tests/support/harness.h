// An in-memory window toolkit and a wrapped system for tests of the window,
// the worker and the update run, with no display and no real waits.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/main_update.h"
#include "engine/exec.h"
#include "lang/forms.h"
#include "platform/module.h"
#include "platform/shell_launch.h"
#include "platform/system_ops.h"
#include "platform/ui.h"

namespace testing_support {

using platform::UString;

// Test text: UTF-8 to UTF-16, and the path separator.
inline UString U(const std::string& s) { return platform::Utf8ToUtf16(s); }
inline const UString kSep = platform::kPathSeparatorString;

// What the fake window shows, in order.
struct Screen {
  std::vector<UString> statuses;   // each label text painted at once
  std::vector<UString> lines;      // memo lines
  std::vector<UString> messages;   // message boxes
  std::vector<UString> errors;     // error boxes (the default error report)
  UString caption;
  UString button;
  int outer_height = 0;
  bool closed = false;
  // Called while a message box is "open", before it is dismissed.
  std::function<void(const UString&)> on_message;
};

std::unique_ptr<platform::ui::Toolkit> MakeFakeToolkit(Screen* screen);

// The real system, but for what a test replaces: instant sleeps (recorded),
// the executable's folder (where update.log goes), and failures on demand.
class TestSystem : public platform::SystemOps {
 public:
  explicit TestSystem(const std::string& exe_folder);

  void Sleep(int milliseconds) override;
  UString ExecutablePath() override;
  bool DeleteFile(platform::UStringView path) override;
  platform::UString StageCopy(platform::UStringView from, platform::UStringView to) override;
  platform::Backup KeepAsBackup(platform::UStringView installed,
                                platform::UStringView backup) override;
  bool IsApplicationRunning(platform::UStringView path) override;
  int ShellLaunch(void* owner, platform::UStringView target,
                  platform::UStringView directory) override;

  std::vector<int> sleeps;
  bool fail_copy = false;    // StageCopy refused (a full disk)
  bool fail_rename = false;  // the backup refused
  bool fail_delete = false;
  // Answers of IsApplicationRunning, one per call; false when used up.
  std::vector<bool> running;
  std::vector<UString> polled;
  // The launch: what it was asked, and its answer.
  int launch_result = platform::kLaunchStarted;
  UString launched;
  UString launched_in;

 private:
  UString exe_path_;
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
  std::unique_ptr<lang::TApplication> app;
  TFormUpdater* form = nullptr;
  TExec* exec = nullptr;
};

}  // namespace testing_support
