#include "tests/support/fake_toolkit.h"

#include <string>

#include "forms/reader.h"
#include "platform/resources.h"
#include "platform/ui_screenless.h"

namespace testing_support {
namespace {

using namespace platform::ui;

class Label : public ScreenlessLabel {
 public:
  explicit Label(Screen* s) : s_(s) {}
  void RepaintNow() override { s_->statuses.push_back(text()); }

 private:
  Screen* s_;
};

class Button : public ScreenlessButton {
 public:
  explicit Button(Screen* s) : s_(s) {}
  void SetText(platform::UStringView t) override { s_->button = UString(t); }

 private:
  Screen* s_;
};

class Memo : public ScreenlessMemo {
 public:
  explicit Memo(Screen* s) : s_(s) {}
  void AppendLine(platform::UStringView l) override { s_->lines.emplace_back(l); }
  UString Text() override {
    UString t;
    for (size_t i = 0; i < s_->lines.size(); ++i) t += (i ? u"\n" : u"") + s_->lines[i];
    return t;
  }

 private:
  Screen* s_;
};

class Form : public ScreenlessForm {
 public:
  Form(Screen* s, FormEvents* e) : s_(s), e_(e) {}
  void SetCaption(platform::UStringView c) override { s_->caption = UString(c); }
  UString Caption() override { return s_->caption; }
  void SetClientSize(int, int h) override { s_->outer_height = h + 20; }
  void SetOuterHeight(int h) override { s_->outer_height = h; }
  int OuterHeight() override { return s_->outer_height; }
  int ClientHeight() override { return s_->outer_height - 20; }
  std::unique_ptr<NativeLabel> CreateLabel() override { return std::make_unique<Label>(s_); }
  std::unique_ptr<NativeButton> CreateButton() override { return std::make_unique<Button>(s_); }
  std::unique_ptr<NativeMemo> CreateMemo() override { return std::make_unique<Memo>(s_); }
  void ShowCentered() override {}
  void Close() override {
    if (e_->CloseQuery()) s_->closed = true;
  }

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

}  // namespace

std::unique_ptr<Toolkit> MakeFakeToolkit(Screen* screen) {
  return std::make_unique<FakeToolkit>(screen);
}

DescribedWindow::DescribedWindow(forms::TApplication* application) : forms::TForm(application) {
  std::string description;
  platform::ResourcesInForce().FindDescription(u"TFormUpdater", &description);
  forms::TReader reader(description, 4096);
  reader.ReadRootComponent(this);
}

forms::TNotifyEvent DescribedWindow::FindMethod(platform::UStringView) {
  return [](forms::TComponent*) {};
}

std::function<void(forms::TComponent*, bool&)> DescribedWindow::FindCloseQueryMethod(
    platform::UStringView) {
  return [](forms::TComponent*, bool& can_close) { can_close = true; };
}

FakeWindow::FakeWindow() {
  app = std::make_unique<forms::TApplication>(MakeFakeToolkit(&screen));
  auto window = std::make_unique<DescribedWindow>(app.get());
  form = window.get();
  app->AddForm(std::move(window));
}

FakeWindow::~FakeWindow() = default;

}  // namespace testing_support
