// Controls and a window with no screen to be placed on: the terminal front
// end and the tests' toolkit both build on these, and write only what they
// show. Placing, tab order, scroll bars, fonts and the window's manners mean
// nothing there; a text is measured at 6 units per character.
#pragma once

#include <functional>

#include "platform/ui.h"

namespace platform::ui {

template <class Control>
class ScreenlessControl : public Control {
 public:
  void SetBounds(int, int, int, int) override {}
  void SetTabOrder(int) override {}
};

// Keeps its text; what painting it means is the front end's.
class ScreenlessLabel : public ScreenlessControl<NativeLabel> {
 public:
  void SetText(UStringView text) override { text_ = UString(text); }
  int TextWidth(UStringView text) override { return static_cast<int>(text.size()) * 6; }
  const UString& text() const { return text_; }

 private:
  UString text_;
};

// Nobody can press it.
class ScreenlessButton : public ScreenlessControl<NativeButton> {
 public:
  void SetText(UStringView) override {}
  void SetOnClick(std::function<void()>) override {}
};

// What a line looks like is the front end's (AppendLine, Text).
class ScreenlessMemo : public ScreenlessControl<NativeMemo> {
 public:
  void SetScrollBars(bool, bool) override {}
  void SetReadOnly(bool) override {}
  void ScrollToBottom() override {}
};

class ScreenlessForm : public NativeForm {
 public:
  void SetToolWindow(bool) override {}
  void SetStayOnTop(bool) override {}
  void SetFont(const FontSpec&) override {}
  void SetLogoutInhibited(bool) override {}
  void* Handle() override { return nullptr; }
};

}  // namespace platform::ui
