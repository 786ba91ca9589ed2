// update: installs a downloaded release of Vorlo. No command-line arguments;
// the exit status is 0 in every outcome.
#include <atomic>

#include "app/main_update.h"
#include "platform/close_requests.h"
#include "platform/regional.h"
#include "platform/thread.h"
#include "platform/ui.h"

namespace {
// The window, for close requests; null before it exists and after its loop.
std::atomic<TFormUpdater*> g_window{nullptr};
}  // namespace

int main(int argc, char** argv) {
  // Signals that ask the program to end are asked of the window, as its
  // close box is: an exchange is never cut short by them. First, before any
  // other thread starts.
  platform::TakeCloseRequests([] {
    if (TFormUpdater* window = g_window.load()) window->CloseRequested();
  });
  // The regional formats of the start stay in force for the whole run.
  platform::TakeRegionalSettings();
  forms::TApplication application(platform::ui::Toolkit::Open(&argc, &argv));
  application.UpdateFormatSettings = false;
  application.UpdateMetricSettings = false;
  application.Initialize();
  application.Title = kApplicationTitle;
  try {
    auto window = std::make_unique<TFormUpdater>(&application);
    g_window = window.get();
    application.AddForm(std::move(window));
  } catch (const platform::Exception& e) {
    application.ShowException(e.Message());
    return 0;
  }
  application.Run();
  g_window = nullptr;
  // A worker that is still ending (its window closed under it) ends first.
  platform::TThread::WaitForAll();
  return 0;
}
