#include "tests/support/fake_toolkit.h"

#include <string>

#include "forms/reader.h"
#include "platform/resources.h"

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
