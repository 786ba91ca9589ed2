// The exchange killed at many moments (SIGKILL; TerminateProcess under
// Wine), on real files: the installed name holds the whole old or the whole
// new file every time, and the next run removes what the killed one left and
// installs the release.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/files.h"
#include "tests/support/child.h"
#include "tests/support/scratch.h"

namespace {

using testing_support::ChildProcess;
using testing_support::Join;
using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

#ifdef _WIN32
const char kProbe[] = "exchange_probe.exe";
const char kSep[] = "\\";
#else
const char kProbe[] = "exchange_probe";
const char kSep[] = "/";
#endif

using Clock = std::chrono::steady_clock;

// Bytes of the given size that differ at every 4 KiB from any other seed.
std::string Content(size_t size, char seed) {
  std::string s(size, seed);
  for (size_t i = 0; i < size; i += 4096) s[i] = static_cast<char>(seed + i / 4096);
  return s;
}

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = Join(dir_.Path(), "app");
    dl_ = Join(dir_.Path(), "dl");
    testing_support::MakeDir(app_);
    testing_support::MakeDir(dl_);
    old_ = Content(48 << 20, 'o');
    new_ = Content((48 << 20) + 1, 'n');
    WriteFileBytes(Join(dl_, "big.bin"), new_);
  }
  // The installation as it was before the update; what a killed run left
  // beside it stays.
  void Reset() {
    WriteFileBytes(Join(app_, "big.bin"), old_);
    std::remove(Join(app_, "big.bin.old").c_str());
    std::remove(Ready().c_str());
  }
  std::string Ready() const { return Join(dir_.Path(), "probe.ready"); }
  std::unique_ptr<ChildProcess> Start() {
    auto probe = std::make_unique<ChildProcess>(
        testing_support::ProgramFolder() + kProbe,
        std::vector<std::string>{app_ + kSep, dl_ + kSep, "big.bin"});
    EXPECT_TRUE(probe->Started());
    const auto limit = Clock::now() + std::chrono::seconds(60);
    while (!PathExists(Ready()) && Clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_TRUE(PathExists(Ready())) << "the probe did not start";
    return probe;
  }
  size_t StagedLeft() const {
    size_t n = 0;
    for (const std::string& name : testing_support::ListDir(app_)) {
      if (platform::IsStagedName(platform::Utf8ToUtf16(name))) ++n;
    }
    return n;
  }

  testing_support::TempDir dir_;
  std::string app_, dl_, old_, new_;
};

TEST_F(CrashTest, AKillAtAnyMomentLeavesAWholeFile) {
  // One run to the end tells how long an exchange takes here.
  Reset();
  auto probe = Start();
  const auto start = Clock::now();
  ASSERT_EQ(probe->Wait(), 0);
  const auto whole = Clock::now() - start;
  ASSERT_EQ(ReadFileBytes(Join(app_, "big.bin")), new_);

  const int kPoints = 16;
  int old_seen = 0;
  for (int i = 0; i < kPoints; ++i) {
    SCOPED_TRACE("killed after " + std::to_string(i) + "/" + std::to_string(kPoints));
    Reset();
    probe = Start();
    std::this_thread::sleep_for(whole * i / kPoints);
    probe->Kill();
    const std::string installed = ReadFileBytes(Join(app_, "big.bin"));
    const bool is_old = installed == old_;
    ASSERT_TRUE(is_old || installed == new_) << "a file of " << installed.size() << " bytes";
    if (is_old) ++old_seen;
  }
  // Some kills came before the end, or the test shows nothing.
  EXPECT_GT(old_seen, 0);

  // The next run cleans up after the killed ones and installs.
  Reset();
  probe = Start();
  ASSERT_EQ(probe->Wait(), 0);
  EXPECT_EQ(ReadFileBytes(Join(app_, "big.bin")), new_);
  EXPECT_EQ(ReadFileBytes(Join(app_, "big.bin.old")), old_);
  EXPECT_EQ(StagedLeft(), 0u);
}

}  // namespace
