// The staging call: what it records, the folders it makes, the updater it
// starts, and what it refuses, on the real configuration store (a scratch
// hive) with vorlo-sim standing in for the updater.
#include "client/vorlo_update.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "platform/hive.h"
#include "tests/support/child.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Join;
using testing_support::MakeDir;
using testing_support::PathExists;
using testing_support::U;
using testing_support::WriteFileBytes;

#ifdef _WIN32
const char kSim[] = "vorlo-sim.exe";
const char kUpdater[] = "UPDATE.EXE";
const char kSep[] = "\\";
#else
const char kSim[] = "vorlo-sim";
const char kUpdater[] = "update";
const char kSep[] = "/";
#endif

class StageUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hive_.Usable()) GTEST_SKIP() << "no scratch hive here";
    app_ = Join(dir_.Path(), "app");
    dl_ = Join(dir_.Path(), "dl");
    MakeDir(app_);
    MakeDir(dl_);
    // The updater's stand-in leaves vorlo-sim.log beside itself when started.
    testing_support::CopyProgram(testing_support::ProgramFolder() + kSim, Join(app_, kUpdater));
    WriteFileBytes(Join(dl_, "vorlo.exe"), "vorlo 2");
    MakeDir(Join(dl_, "plugins"));
    WriteFileBytes(Join(Join(dl_, "plugins"), "new.dll"), "new!");
    WriteFileBytes(Join(dl_, "current_release.txt"),
                   "[LocalFiles]\r\nvorlo.exe\r\nplugins\\new.dll\r\n[end]\r\n");
  }
  // The raw text of a value, as the updater's store reads it.
  UString Raw(const UString& key, const UString& name) {
    platform::Hive hive;
    auto k = hive.OpenReadOnly(u"Software\\Vorlo\\Updates" + key);
    platform::RegValue v;
    if (!k || !k->Read(name, &v)) return u"(none)";
    return v.AsText();
  }
  bool UpdaterStarted() {
    for (int i = 0; i < 200; ++i) {
      if (PathExists(Join(app_, "vorlo-sim.log"))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  testing_support::ScratchHive hive_;
  testing_support::TempDir dir_;
  std::string app_, dl_;
};

TEST_F(StageUpdateTest, RecordsTheReleaseMakesItsFoldersAndStartsTheUpdater) {
  // An earlier release's size goes.
  platform::Hive()
      .Create(u"Software\\Vorlo\\Updates\\files")
      ->Write(u"stale.dll", platform::RegValue::Text(u"9"));
  std::string error;
  ASSERT_TRUE(vorlo_update::StageUpdate(app_, dl_ + kSep, &error)) << error;
  EXPECT_EQ(Raw(u"", u"ExecPath"), u"\"" + U(app_ + kSep) + u"\"");
  EXPECT_EQ(Raw(u"", u"FilesPath"), u"\"" + U(dl_ + kSep) + u"\"");
  // Measured: there is no sizes.reg.
  EXPECT_EQ(Raw(u"\\files", u"vorlo.exe"), u"7");
  EXPECT_EQ(Raw(u"\\files", u"new.dll"), u"4");
  EXPECT_EQ(Raw(u"\\files", u"stale.dll"), u"(none)");
  EXPECT_TRUE(PathExists(Join(app_, "plugins")));
  EXPECT_TRUE(UpdaterStarted());
}

TEST_F(StageUpdateTest, TheReleasesOwnSizesComeFirst) {
  // The size the release was made with, not the size of what arrived.
  WriteFileBytes(Join(dl_, "sizes.reg"),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\files]\r\n"
                 "\"vorlo.exe\"=\"7\"\r\n\"new.dll\"=\"40\"\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\sha256]\r\n"
                 "\"new.dll\"=\"\\\"00ff\\\"\"\r\n");
  std::string error;
  ASSERT_TRUE(vorlo_update::StageUpdate(app_, dl_, &error)) << error;
  EXPECT_EQ(Raw(u"\\files", u"new.dll"), u"40");
  EXPECT_EQ(Raw(u"\\sha256", u"new.dll"), u"\"00ff\"");
  EXPECT_EQ(Raw(u"\\sha256", u"vorlo.exe"), u"(none)");
  EXPECT_TRUE(UpdaterStarted());
}

TEST_F(StageUpdateTest, RefusesWhatTheUpdaterCannotRunWithAndStartsNothing) {
  const struct {
    const char* what;
    std::function<void(std::string& app, std::string& dl)> spoil;
    const char* says;
  } cases[] = {
      {"no updater",
       [](std::string& app, std::string&) { std::remove(Join(app, kUpdater).c_str()); },
       "is missing"},
      {"no manifest",
       [](std::string&, std::string& dl) { std::remove(Join(dl, "current_release.txt").c_str()); },
       "cannot be read"},
      {"no installation", [](std::string& app, std::string&) { app = Join(app, "absent"); },
       "does not exist"},
      {"a damaged sizes.reg",
       [](std::string&, std::string& dl) {
         WriteFileBytes(Join(dl, "sizes.reg"), "not a reg file");
       },
       "sizes.reg cannot be read"},
  };
  for (const auto& c : cases) {
    SetUp();
    c.spoil(app_, dl_);
    std::string error;
    EXPECT_FALSE(vorlo_update::StageUpdate(app_, dl_, &error)) << c.what;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(PathExists(Join(app_, "vorlo-sim.log"))) << c.what;
  }
}

TEST_F(StageUpdateTest, RecordsWhetherTheReleaseInstallsWhole) {
  const std::string whole =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates]\r\n"
      "\"WholeRelease\"=dword:00000001\r\n";
  const auto recorded = [] {
    platform::Hive hive;
    auto k = hive.OpenReadOnly(u"Software\\Vorlo\\Updates");
    platform::RegValue v;
    if (!k || !k->Read(u"WholeRelease", &v)) return std::string("(none)");
    return v.type == platform::kRegDword && v.data == std::vector<unsigned char>{1, 0, 0, 0}
               ? std::string("dword 1")
               : std::string("other");
  };
  // This release asks for it; the next one does not, and the value goes.
  for (const auto& [sizes, expected] : std::vector<std::pair<std::string, std::string>>{
           {whole, "dword 1"}, {"REGEDIT4\r\n", "(none)"}, {whole, "dword 1"}, {"", "(none)"}}) {
    if (sizes.empty()) {
      std::remove(Join(dl_, "sizes.reg").c_str());
    } else {
      WriteFileBytes(Join(dl_, "sizes.reg"), sizes);
    }
    std::string error;
    ASSERT_TRUE(vorlo_update::StageUpdate(app_, dl_, &error)) << error;
    EXPECT_EQ(recorded(), expected);
  }
}

// An interrupted update is put right before a new one is staged; one that
// cannot be followed stops the staging.
TEST_F(StageUpdateTest, AnInterruptedUpdateComesFirst) {
  WriteFileBytes(Join(app_, "update.journal"), "Vorlo update journal 1\ndamaged");
  std::string error;
  EXPECT_FALSE(vorlo_update::StageUpdate(app_, dl_, &error));
  EXPECT_NE(error.find("update.journal cannot be read"), std::string::npos) << error;
  std::vector<std::string> done;
  EXPECT_FALSE(vorlo_update::RecoverInterruptedUpdate(app_, &error, &done));
  EXPECT_TRUE(PathExists(Join(app_, "update.journal")));

  // A journal of a release that had not swapped anything yet: nothing to put
  // back, and it goes.
  WriteFileBytes(Join(app_, "update.journal"), "Vorlo update journal 1\ninstallation=" + app_ +
                                                   kSep + "\ndownload=" + dl_ + kSep + "\nend=0\n");
  done.clear();
  EXPECT_TRUE(vorlo_update::RecoverInterruptedUpdate(app_, &error, &done)) << error;
  EXPECT_FALSE(PathExists(Join(app_, "update.journal")));
  ASSERT_EQ(done.size(), 1u);
  EXPECT_NE(done[0].find("holds the new release"), std::string::npos) << done[0];
  EXPECT_TRUE(vorlo_update::StageUpdate(app_, dl_, &error)) << error;

  // Another installation's journal is left alone.
  WriteFileBytes(Join(app_, "update.journal"),
                 "Vorlo update journal 1\ninstallation=/elsewhere/\ndownload=x\nend=0\n");
  EXPECT_FALSE(vorlo_update::RecoverInterruptedUpdate(app_, &error));
  EXPECT_NE(error.find("belongs to another installation (/elsewhere/)"), std::string::npos)
      << error;
}

}  // namespace
