// The window toolkit: one top-level window with a label, a push button and a
// multi-line text view, message boxes, and the message loop. Three
// implementations: Win32 (platform/win32), GTK 3 (platform/gtk) and the
// terminal (platform/console), for Linux without a display.
//
// Everything here runs on the window thread, but for HandOff (handoff.h),
// which the toolkit wakes.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/text.h"

namespace platform::ui {

struct FontSpec {
  UString name = u"MS Sans Serif";
  int height = -11;  // negative: character height in pixels
  bool bold = false;
  bool italic = false;
};

// What the window tells its owner, on the window thread.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  // The window became the program's focused window.
  virtual void Activated() = 0;
  // May the window close now? Asked for every way of closing it, the
  // system's log-off and shut-down query included.
  virtual bool CloseQuery() = 0;
};

class NativeControl {
 public:
  virtual ~NativeControl() = default;
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual void SetTabOrder(int order) = 0;
};

class NativeLabel : public NativeControl {
 public:
  virtual void SetText(UStringView text) = 0;
  // The width the text needs in the window's font.
  virtual int TextWidth(UStringView text) = 0;
  // Paints the label now rather than at the next idle repaint.
  virtual void RepaintNow() = 0;
};

class NativeButton : public NativeControl {
 public:
  virtual void SetText(UStringView text) = 0;
  virtual void SetOnClick(std::function<void()> handler) = 0;
};

class NativeMemo : public NativeControl {
 public:
  virtual void SetScrollBars(bool horizontal, bool vertical) = 0;
  virtual void SetReadOnly(bool read_only) = 0;
  // Appends a line after the last one.
  virtual void AppendLine(UStringView line) = 0;
  // Scrolls to the last line, also while the view is out of sight.
  virtual void ScrollToBottom() = 0;
  // The text, lines separated by "\n".
  virtual UString Text() = 0;
};

class NativeForm {
 public:
  virtual ~NativeForm() = default;
  virtual void SetCaption(UStringView caption) = 0;
  virtual UString Caption() = 0;
  virtual void SetClientSize(int width, int height) = 0;
  // The outer height, frame and caption bar included.
  virtual void SetOuterHeight(int height) = 0;
  virtual int OuterHeight() = 0;
  virtual int ClientHeight() = 0;
  virtual void SetToolWindow(bool tool) = 0;
  virtual void SetStayOnTop(bool on_top) = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual std::unique_ptr<NativeLabel> CreateLabel() = 0;
  virtual std::unique_ptr<NativeButton> CreateButton() = 0;
  virtual std::unique_ptr<NativeMemo> CreateMemo() = 0;
  // Shows the window centred on the screen.
  virtual void ShowCentered() = 0;
  // Closes the window if CloseQuery allows it; the message loop then ends.
  virtual void Close() = 0;
  // While closing is refused, asks the session not to log out (GTK); the
  // Win32 window answers the system's query itself.
  virtual void SetLogoutInhibited(bool inhibited) = 0;
  // The system's handle of the window (HWND on Windows), or null.
  virtual void* Handle() = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // The toolkit for this program: Win32 on Windows; on Linux GTK when a
  // display can be opened, else the terminal.
  static std::unique_ptr<Toolkit> Open(int* argc, char*** argv);

  virtual const char* Name() const = 0;
  virtual std::unique_ptr<NativeForm> CreateForm(FormEvents* events) = 0;
  // Runs the message loop until the main window has closed; runs hand-offs.
  virtual void Run() = 0;
  // A modal message box: the text, one OK button, no icon.
  virtual void MessageBox(UStringView caption, UStringView text) = 0;
  // A modal message box with an error icon.
  virtual void ErrorBox(UStringView caption, UStringView text) = 0;
};

}  // namespace platform::ui
