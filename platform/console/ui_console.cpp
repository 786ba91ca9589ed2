// The terminal front end, for Linux without a display: the same window and
// the same run, shown as text. Log lines go to standard output as the log
// view would show them; each status line to standard error as "status: " +
// text; each message box to standard error as "message: " + text, waiting for
// Enter only when standard input is a terminal.
#include "platform/console/ui_console.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/command_line.h"
#include "platform/handoff.h"
#include "platform/thread.h"
#include "platform/ui_screenless.h"

namespace platform::ui {
namespace {

class Label : public ScreenlessLabel {
 public:
  // A status line is shown when the label is painted at once, as a report
  // does; captions set by the window's description are not reports.
  void RepaintNow() override { PrintErr(u"status: " + text() + u"\n"); }
};

class Memo : public ScreenlessMemo {
 public:
  void AppendLine(UStringView line) override {
    if (!first_) text_ += u"\n";
    first_ = false;
    text_ += line;
    // A line break inside a text starts a new line, as in the log view.
    UString shown;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == u'\r') {
        if (i + 1 < line.size() && line[i + 1] == u'\n') continue;
        shown.push_back(u'\n');
      } else {
        shown.push_back(line[i]);
      }
    }
    PrintOut(shown + u"\n");
  }
  UString Text() override { return text_; }

 private:
  UString text_;
  bool first_ = true;
};

class ConsoleToolkit;

class Form : public ScreenlessForm {
 public:
  Form(ConsoleToolkit* toolkit, FormEvents* events) : toolkit_(toolkit), events_(events) {}
  void SetCaption(UStringView caption) override { caption_ = UString(caption); }
  UString Caption() override { return caption_; }
  void SetClientSize(int, int height) override { client_height_ = height; }
  void SetOuterHeight(int height) override { outer_height_ = height; }
  int OuterHeight() override { return outer_height_ ? outer_height_ : client_height_; }
  int ClientHeight() override { return client_height_; }
  std::unique_ptr<NativeLabel> CreateLabel() override { return std::make_unique<Label>(); }
  std::unique_ptr<NativeButton> CreateButton() override {
    return std::make_unique<ScreenlessButton>();
  }
  std::unique_ptr<NativeMemo> CreateMemo() override { return std::make_unique<Memo>(); }
  void ShowCentered() override { shown_ = true; }
  void Close() override;

  FormEvents* events() { return events_; }
  bool shown() const { return shown_; }

 private:
  ConsoleToolkit* toolkit_;
  FormEvents* events_;
  UString caption_;
  int client_height_ = 0;
  int outer_height_ = 0;
  bool shown_ = false;
};

class ConsoleToolkit : public Toolkit {
 public:
  ConsoleToolkit() {
    HandOff::Instance().SetWaker([this] {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
      }
      cv_.notify_all();
    });
  }
  ~ConsoleToolkit() override { HandOff::Instance().SetWaker(nullptr); }

  const char* Name() const override { return "console"; }

  std::unique_ptr<NativeForm> CreateForm(FormEvents* events) override {
    auto form = std::make_unique<Form>(this, events);
    if (main_ == nullptr) main_ = form.get();
    return form;
  }

  void Run() override {
    if (main_ == nullptr) return;
    // The terminal is the program's focused window as soon as it is shown.
    main_->events()->Activated();
    // Without a window to close, the run's end ends the program: the loop
    // goes on while a worker runs or a report waits.
    while (!closed_) {
      HandOff::Instance().RunPending();
      if (TThread::RunningCount() == 0 && HandOff::Instance().RunPending() == 0) break;
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait_for(lock, std::chrono::milliseconds(50), [this] { return woken_; });
      woken_ = false;
    }
  }

  void MessageBox(UStringView, UStringView text) override { Box(text); }
  void ErrorBox(UStringView, UStringView text) override { Box(text); }

  void Closed() { closed_ = true; }

 private:
  void Box(UStringView text) {
    PrintErr(u"message: " + UString(text) + u"\n");
    if (StdinIsTerminal()) {
      PrintErr(u"(Enter to go on)\n");
      UString line;
      ReadStdinLine(&line);
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  bool woken_ = false;
  bool closed_ = false;
  Form* main_ = nullptr;
};

void Form::Close() {
  if (events_->CloseQuery()) toolkit_->Closed();
}

}  // namespace

std::unique_ptr<Toolkit> OpenConsoleToolkit() { return std::make_unique<ConsoleToolkit>(); }

}  // namespace platform::ui
