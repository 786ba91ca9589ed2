// The updater's window, FormUpdater: a status line, a button that reveals the
// log view, and the log view. Built from its stored description; its first
// activation starts the worker (engine/exec.h), and it refuses to close
// while the worker has not allowed it.
#pragma once

#include <atomic>

#include "forms/forms.h"

class TExec;

class TFormUpdater : public forms::TForm {
 public:
  // Creates the window hidden, from the description of the resource set in
  // force. Throws when the description is missing or cannot be read.
  explicit TFormUpdater(forms::TApplication* application);
  ~TFormUpdater() override;

  std::vector<forms::UString> ClassChain() const override {
    return {u"TFormUpdater", u"TForm", u"TComponent"};
  }
  forms::TNotifyEvent FindMethod(forms::UStringView name) override;
  std::function<void(forms::TComponent*, bool&)> FindCloseQueryMethod(
      forms::UStringView name) override;

  forms::TLabel* LabelBottom = nullptr;
  forms::TButton* ButtonDetails = nullptr;
  forms::TMemo* MemoLog = nullptr;

  // Written by the worker while it runs, read by the window thread: single
  // bytes, atomic so that the reads see the writes.
  std::atomic<bool> Allowclose{false};
  std::atomic<bool> Close_this_app{false};

  void FormActivate(forms::TComponent* Sender);
  void FormCloseQuery(forms::TComponent* Sender, bool& CanClose);
  void ExecTerminated(forms::TComponent* Sender);
  void ButtonDetailsClick(forms::TComponent* Sender);

  // A request to end the program from outside the window (on Linux a
  // signal): the window closes if it may, as by its close box; while the
  // run goes on it stays, and standard error says once that the update
  // finishes first.
  void CloseRequested();

 private:
  // The worker started at activation; it frees itself, and is not used after
  // the start.
  TExec* Exec = nullptr;
  bool told_update_finishes_ = false;
};

// The application title.
extern const char16_t kApplicationTitle[];
