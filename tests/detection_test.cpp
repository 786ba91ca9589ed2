// Whether Vorlo runs: the object vorlo-sim holds while it runs, and the
// process list, with real processes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/exception.h"
#include "platform/process_list.h"
#include "platform/running_object.h"
#include "tests/support/child.h"
#include "tests/support/scratch.h"

#ifdef _WIN32
#include "platform/win32/scoped_handle.h"
#else
#include <sys/stat.h>
#endif

namespace {

using platform::UString;
using testing_support::ChildProcess;
using testing_support::Join;
using testing_support::U;

#ifdef _WIN32
const char kSim[] = "vorlo-sim.exe";
#else
const char kSim[] = "vorlo-sim";
#endif

// Waits until `pred` holds, for up to ten seconds.
template <class P>
bool Eventually(P pred) {
  for (int i = 0; i < 200; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pred();
}

class DetectionTest : public ::testing::Test {
 protected:
  // Starts vorlo-sim under `name` in the test's folder, holding for a minute.
  std::unique_ptr<ChildProcess> Hold(const std::string& name) {
    const std::string path = Join(dir_.Path(), name);
    testing_support::CopyProgram(testing_support::ProgramFolder() + kSim, path);
    auto child = std::make_unique<ChildProcess>(path, std::vector<std::string>{"--hold", "60"});
    EXPECT_TRUE(child->Started());
    return child;
  }
  UString Path(const std::string& name) const { return U(Join(dir_.Path(), name)); }
  testing_support::TempDir dir_;
};

TEST_F(DetectionTest, TheObjectOfARunningHolderWithTheSameCase) {
  ASSERT_FALSE(platform::ProcessExists(u"vorlo.exe")) << "another vorlo.exe runs on this machine";
  auto sim = Hold("stand-in.exe");
  EXPECT_TRUE(Eventually([&] { return platform::IsApplicationRunning(Path("stand-in.exe")); }));
  // Another case names another object; the process is not called vorlo.exe.
  EXPECT_FALSE(platform::IsApplicationRunning(Path("STAND-IN.exe")));
  sim->Kill();  // SIGKILL: the object goes with its holder
  EXPECT_TRUE(Eventually([&] { return !platform::IsApplicationRunning(Path("stand-in.exe")); }));
}

TEST_F(DetectionTest, TheProcessListDecidesWhenTheObjectMisses) {
  auto sim = Hold("VORLO.EXE");
  EXPECT_TRUE(Eventually([] { return platform::ProcessExists(u"vorlo.exe"); }));
  // Any path: the object test misses, the process named VORLO.EXE is found.
  EXPECT_TRUE(platform::IsApplicationRunning(Path("elsewhere.exe")));
}

TEST_F(DetectionTest, NamesThatOnlyLookAlike) {
  auto bak = Hold("vorlo.exe.bak");
  auto my = Hold("myvorlo.exe");
  EXPECT_TRUE(Eventually([] { return platform::ProcessExists(u"myvorlo.exe"); }));
  EXPECT_TRUE(platform::ProcessExists(u"MYVORLO.EXE"));
  EXPECT_FALSE(platform::ProcessExists(u"vorlo.exe"));
}

// A vorlo.exe that has ended but that its parent has not collected yet runs
// nothing: it is not running (on Windows such a process is not listed).
TEST_F(DetectionTest, AnEndedProcessIsNotRunningBeforeItIsCollected) {
  const std::string path = Join(dir_.Path(), "vorlo.exe");
  testing_support::CopyProgram(testing_support::ProgramFolder() + kSim, path);
  ChildProcess ended(path, {});  // without arguments it writes its log line and ends
  ASSERT_TRUE(ended.Started());
  ended.WaitUntilEndedUncollected();
  EXPECT_FALSE(platform::ProcessExists(u"vorlo.exe"));
  EXPECT_FALSE(platform::IsApplicationRunning(U(path)));
}

#ifndef _WIN32
// Vorlo started through a "#!" launcher script: the kernel runs the
// interpreter, names the process after the script and gives the
// interpreter the script's path. That counts as running vorlo.exe; the name
// only among the arguments of another program does not.
TEST_F(DetectionTest, AScriptNamedVorloIsSeen) {
  const struct {
    const char* file;
    std::vector<std::string> args;  // after the program
    bool seen;
  } cases[] = {
      {"vorlo.exe", {}, true},
      {"VORLO.EXE", {}, true},
      {"vorlo.exe.bak", {}, false},
      {"myvorlo.exe", {}, false},
      {"other.sh", {"vorlo.exe"}, false},  // an argument of that name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_FALSE(platform::ProcessExists(u"vorlo.exe")) << "another vorlo.exe runs";
    const std::string path = Join(dir_.Path(), c.file);
    testing_support::WriteFileBytes(path, "#!/bin/sh\nwhile true; do sleep 0.1; done\n");
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    ChildProcess script(path, c.args);
    ASSERT_TRUE(script.Started());
    if (c.seen) {
      EXPECT_TRUE(Eventually([] { return platform::ProcessExists(u"vorlo.exe"); }));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_FALSE(platform::ProcessExists(u"vorlo.exe"));
    }
    script.Kill();
  }
}
#endif

TEST_F(DetectionTest, TwoChecksInARowLeaveNothingBehind) {
  const UString path = Path("never-started.exe");
  EXPECT_FALSE(platform::IsApplicationRunning(path));
  EXPECT_FALSE(platform::IsApplicationRunning(path));
  platform::RunningMarker marker(path);  // the name is free again
  EXPECT_TRUE(marker.Held());
  EXPECT_TRUE(platform::IsApplicationRunning(path));
}

// Vorlo may start while a check holds the name for its process scan: its
// object is held all the same, as on Windows, where both would share it.
TEST_F(DetectionTest, AMarkerMadeDuringACheckIsHeld) {
  const UString path = Path("busy.exe");
  std::atomic<bool> stop{false};
  std::atomic<int> checks{0};
  std::thread checker([&] {
    while (!stop) {
      platform::IsApplicationRunning(path);
      ++checks;
    }
  });
  while (checks == 0) std::this_thread::yield();
  int held = 0;
  for (int i = 0; i < 100; ++i) {
    const platform::RunningMarker marker(path);
    if (marker.Held()) ++held;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop = true;
  checker.join();
  EXPECT_EQ(held, 100);
}

TEST(ObjectName, EveryBackslashGoes) {
  EXPECT_EQ(platform::RunningObjectName(u"C:\\Programs\\Vorlo\\vorlo.exe"),
            u"C:ProgramsVorlovorlo.exe");
  EXPECT_EQ(platform::RunningObjectName(u"/opt/a b/vorlo.exe"), u"/opt/a b/vorlo.exe");
}

#ifdef _WIN32
TEST(Detection, AnObjectOfAnotherKindIsASystemError) {
  const platform::ScopedHandle mutex(CreateMutexW(nullptr, FALSE, L"C:AppVorlovorlo.exe"));
  ASSERT_TRUE(mutex.valid());
  try {
    platform::IsApplicationRunning(u"C:\\App\\Vorlo\\vorlo.exe");
    ADD_FAILURE() << "no failure";
  } catch (const platform::Exception& e) {
    const UString head = u"System Error.  Code: 6.\r\n";
    EXPECT_EQ(e.Message().substr(0, head.size()), head);
    EXPECT_GT(e.Message().size(), head.size());  // the system's own words follow
  }
}
#endif

}  // namespace
