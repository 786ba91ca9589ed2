// vorlo-sim: a stand-in for Vorlo in tests and the demo. Started as a copy
// named vorlo.exe, it holds the running-application object named after its
// own full path while it runs, as Vorlo does.
//
//   vorlo-sim                  appends "time | working folder | arguments" to
//                              vorlo-sim.log beside itself, and exits
//   vorlo-sim --hold SECONDS   runs that long, then exits
#include <chrono>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/regional.h"
#include "platform/running_object.h"
#include "platform/working_dir.h"

int main(int argc, char** argv) {
  const std::vector<platform::UString> args = platform::CommandLineArguments(argc, argv);
  const platform::UString self = platform::ExecutablePath();
  const platform::RunningMarker marker(self);

  if (args.size() == 2 && args[0] == u"--hold") {
    const int seconds = std::stoi(platform::Utf16ToUtf8(args[1]));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
  }
  platform::UString line;
  const platform::LocalTime t = platform::Now();
  char stamp[32];
  snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
           t.minute, t.second);
  line = platform::Utf8ToUtf16(stamp) + u" | " + platform::CurrentDirectory() + u" |";
  for (const platform::UString& a : args) line += u" " + a;
  line += u"\n";
  platform::AppendToSharedFile(platform::FolderOf(self) + u"vorlo-sim.log",
                               platform::Utf16ToUtf8(line));
  return 0;
}
