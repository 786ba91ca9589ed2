// update: installs a downloaded release of Vorlo. No command-line arguments;
// the exit status is 0 in every outcome.
#include "app/main_update.h"
#include "platform/regional.h"
#include "platform/thread.h"
#include "platform/ui.h"

int main(int argc, char** argv) {
  // The regional formats of the start stay in force for the whole run.
  platform::TakeRegionalSettings();
  lang::TApplication application(platform::ui::Toolkit::Open(&argc, &argv));
  application.UpdateFormatSettings = false;
  application.UpdateMetricSettings = false;
  application.Initialize();
  application.Title = kApplicationTitle;
  try {
    application.AddForm(std::make_unique<TFormUpdater>(&application));
  } catch (const platform::Exception& e) {
    application.ShowException(e.Message());
    return 0;
  }
  application.Run();
  // A worker that is still ending (its window closed under it) ends first.
  platform::TThread::WaitForAll();
  return 0;
}
