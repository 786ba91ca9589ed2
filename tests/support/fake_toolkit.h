// An in-memory window toolkit for tests of the window framework, the language
// switch and the window: what the window would show is kept in a Screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "platform/module.h"
#include "platform/ui.h"
#include "tests/support/scratch.h"

namespace testing_support {

using platform::UString;

// The path separator, as test text.
inline const UString kSep = platform::kPathSeparatorString;

// What the fake window shows, in order.
struct Screen {
  std::vector<UString> statuses;  // each label text painted at once
  std::vector<UString> lines;     // memo lines
  std::vector<UString> messages;  // message boxes
  std::vector<UString> errors;    // error boxes (the default error report)
  UString caption;
  UString button;
  int outer_height = 0;
  bool closed = false;
  // Called while a message box is "open", before it is dismissed.
  std::function<void(const UString&)> on_message;
};

std::unique_ptr<platform::ui::Toolkit> MakeFakeToolkit(Screen* screen);

// A window of the updater's window description, for tests that need the
// window but not the updater: built from the description of the resource
// set in force, under the updater window's class name; its handlers do
// nothing and it may always close.
class DescribedWindow : public forms::TForm {
 public:
  explicit DescribedWindow(forms::TApplication* application);
  std::vector<UString> ClassChain() const override {
    return {u"TFormUpdater", u"TForm", u"TComponent"};
  }
  forms::TNotifyEvent FindMethod(platform::UStringView name) override;
  std::function<void(forms::TComponent*, bool&)> FindCloseQueryMethod(
      platform::UStringView name) override;
};

// The fake toolkit's application with one DescribedWindow.
struct FakeWindow {
  FakeWindow();
  ~FakeWindow();
  Screen screen;
  std::unique_ptr<forms::TApplication> app;
  DescribedWindow* form = nullptr;
};

}  // namespace testing_support
