#include "tests/support/harness.h"

#include <atomic>
#include <exception>
#include <thread>

#include "platform/handoff.h"
#include "platform/module.h"

namespace testing_support {
namespace {

using namespace platform::ui;

class Label : public NativeLabel {
 public:
  explicit Label(Screen* s) : s_(s) {}
  void SetBounds(int, int, int, int) override {}
  void SetTabOrder(int) override {}
  void SetText(platform::UStringView t) override { text_ = UString(t); }
  int TextWidth(platform::UStringView t) override { return static_cast<int>(t.size()) * 6; }
  void RepaintNow() override { s_->statuses.push_back(text_); }

 private:
  Screen* s_;
  UString text_;
};

class Button : public NativeButton {
 public:
  explicit Button(Screen* s) : s_(s) {}
  void SetBounds(int, int, int, int) override {}
  void SetTabOrder(int) override {}
  void SetText(platform::UStringView t) override { s_->button = UString(t); }
  void SetOnClick(std::function<void()>) override {}

 private:
  Screen* s_;
};

class Memo : public NativeMemo {
 public:
  explicit Memo(Screen* s) : s_(s) {}
  void SetBounds(int, int, int, int) override {}
  void SetTabOrder(int) override {}
  void SetScrollBars(bool, bool) override {}
  void SetReadOnly(bool) override {}
  void AppendLine(platform::UStringView l) override { s_->lines.emplace_back(l); }
  void ScrollToBottom() override {}
  UString Text() override {
    UString t;
    for (size_t i = 0; i < s_->lines.size(); ++i) t += (i ? u"\n" : u"") + s_->lines[i];
    return t;
  }

 private:
  Screen* s_;
};

class Form : public NativeForm {
 public:
  Form(Screen* s, FormEvents* e) : s_(s), e_(e) {}
  void SetCaption(platform::UStringView c) override { s_->caption = UString(c); }
  UString Caption() override { return s_->caption; }
  void SetClientSize(int, int h) override { s_->outer_height = h + 20; }
  void SetOuterHeight(int h) override { s_->outer_height = h; }
  int OuterHeight() override { return s_->outer_height; }
  int ClientHeight() override { return s_->outer_height - 20; }
  void SetToolWindow(bool) override {}
  void SetStayOnTop(bool) override {}
  void SetFont(const FontSpec&) override {}
  std::unique_ptr<NativeLabel> CreateLabel() override { return std::make_unique<Label>(s_); }
  std::unique_ptr<NativeButton> CreateButton() override { return std::make_unique<Button>(s_); }
  std::unique_ptr<NativeMemo> CreateMemo() override { return std::make_unique<Memo>(s_); }
  void ShowCentered() override {}
  void Close() override {
    if (e_->CloseQuery()) s_->closed = true;
  }
  void SetLogoutInhibited(bool) override {}
  void* Handle() override { return nullptr; }

 private:
  Screen* s_;
  FormEvents* e_;
};

class FakeToolkit : public Toolkit {
 public:
  explicit FakeToolkit(Screen* s) : s_(s) {}
  const char* Name() const override { return "fake"; }
  std::unique_ptr<NativeForm> CreateForm(FormEvents* e) override {
    return std::make_unique<Form>(s_, e);
  }
  void Run() override {}
  void MessageBox(platform::UStringView, platform::UStringView text) override {
    s_->messages.emplace_back(text);
    if (s_->on_message) s_->on_message(UString(text));
  }
  void ErrorBox(platform::UStringView, platform::UStringView text) override {
    s_->errors.emplace_back(text);
  }

 private:
  Screen* s_;
};

// Runs the worker's Execute in a test.
class TestExec : public TExec {
 public:
  using TExec::TExec;
  void RunBody() { Execute(); }
};

}  // namespace

std::unique_ptr<Toolkit> MakeFakeToolkit(Screen* screen) {
  return std::make_unique<FakeToolkit>(screen);
}

TestSystem::TestSystem(const std::string& exe_folder)
    : exe_path_(platform::Utf8ToUtf16(exe_folder) + platform::kPathSeparatorString + u"update") {}

void TestSystem::Sleep(int ms) { sleeps.push_back(ms); }
UString TestSystem::ExecutablePath() { return exe_path_; }

bool TestSystem::DeleteFile(platform::UStringView p) {
  return !fail_delete && SystemOps::DeleteFile(p);
}
UString TestSystem::StageCopy(platform::UStringView f, platform::UStringView t) {
  return fail_copy ? UString() : SystemOps::StageCopy(f, t);
}
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
  app = std::make_unique<lang::TApplication>(MakeFakeToolkit(&screen));
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
