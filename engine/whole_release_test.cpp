// A release of several files: staged before the first installed file is
// touched, files held by another program tried again for a bounded time,
// and, when the configuration asks for it, installed whole or not at all.
// On real files, with the waits made instant and the faults set by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "config/r_register.h"
#include "engine/exec.h"
#include "engine/journal.h"
#include "platform/hive.h"
#include "platform/module.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::ListDir;
using testing_support::ReadFileBytes;
using testing_support::U;
using testing_support::WriteFileBytes;

const std::vector<std::string> kFiles = {"vorlo.exe", "a.dll", "b.dll", "c.dll", "d.dll"};

class WholeReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hive_.Usable()) GTEST_SKIP() << "no scratch hive here";
    // Cases in a loop start again from nothing.
    for (const std::string* folder : {&r_.app, &r_.dl}) {
      for (const std::string& name : ListDir(*folder)) platform::RemoveName(U(Join(*folder, name)));
    }
    config::TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates", config::Variant(r_.App()), u"ExecPath");
    store.WriteCFGtoRegister(u"\\Updates", config::Variant(r_.Dl()), u"FilesPath");
    // Release 1 installed, release 2 downloaded; d.dll is new with release 2,
    // and release 2 drops gone.txt.
    std::string manifest = "[LocalFiles]\r\n";
    for (const std::string& f : kFiles) {
      if (f != "d.dll") WriteFileBytes(Join(r_.app, f), f + " 1");
      r_.Download(f, f + " 2, larger");
      manifest += f + "\r\n";
    }
    manifest += "[end]\r\n[DeleteLocalFiles]\r\ngone.txt\r\n[end]\r\n";
    WriteFileBytes(Join(r_.app, "gone.txt"), "dropped");
    r_.Manifest(manifest);
    before_ = Snapshot();
  }

  static void Whole(uint32_t value) {
    platform::Hive hive;
    auto key = hive.Create(u"Software\\Vorlo\\Updates");
    ASSERT_TRUE(key && key->Write(u"WholeRelease", platform::RegValue::Dword(value)));
  }

  // Every name of the installation with its content, backups left out.
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> out;
    for (const std::string& name : ListDir(r_.app)) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".old") == 0) continue;
      out.push_back(name + "=" + ReadFileBytes(Join(r_.app, name)));
    }
    return out;
  }
  std::string Installed(const std::string& f) const { return ReadFileBytes(Join(r_.app, f)); }
  UString App(const std::string& f) const { return r_.App() + U(f); }
  UString Dl(const std::string& f) const { return r_.Dl() + U(f); }
  static int Slept(const Harness& h) {
    return std::accumulate(h.sys.sleeps.begin(), h.sys.sleeps.end(), 0) - 2000 - 2000 - 5000;
  }
  static bool Logged(const Harness& h, const UString& line) {
    return std::find(h.screen.lines.begin(), h.screen.lines.end(), line) != h.screen.lines.end();
  }
  bool NoJournal() const {
    return !testing_support::PathExists(Join(r_.dir.Path(), "update.journal"));
  }
  bool NoTemporaryFile() const {
    for (const std::string& name : ListDir(r_.app)) {
      if (platform::IsStagedName(U(name))) return false;
    }
    return true;
  }

  testing_support::ScratchHive hive_;
  testing_support::ReleaseFolders r_;
  std::vector<std::string> before_;
};

TEST_F(WholeReleaseTest, EveryFileGoesInWholeModeAsFileByFile) {
  for (const uint32_t whole : {0u, 1u}) {
    SCOPED_TRACE(whole);
    SetUp();
    Whole(whole);
    Harness h(r_.dir.Path());
    h.RunUpdate();
    for (const std::string& f : kFiles) EXPECT_EQ(Installed(f), f + " 2, larger");
    EXPECT_FALSE(testing_support::PathExists(Join(r_.app, "gone.txt")));
    EXPECT_TRUE(h.form->Close_this_app);
    EXPECT_TRUE(NoTemporaryFile());
    EXPECT_TRUE(NoJournal());
    EXPECT_TRUE(h.screen.messages.empty());
    // The six lines of each file, in the order of the list.
    const auto first = std::find(h.screen.lines.begin(), h.screen.lines.end(),
                                 u"Renomme : " + App("vorlo.exe") + u" en " + App("vorlo.exe.old"));
    ASSERT_NE(first, h.screen.lines.end());
    EXPECT_EQ(*(first + 3), u"Fichier copié !");
    EXPECT_EQ(*(first + 4), u"Renomme : " + App("a.dll") + u" en " + App("a.dll.old"));
  }
}

// One file of five cannot be staged (a full disk), or cannot be swapped (held
// by another program for good): file by file the others go in; in a whole
// release nothing changes.
TEST_F(WholeReleaseTest, AFileThatCannotGoIn) {
  struct Case {
    const char* name;
    bool whole;
    bool held;  // else: its staging copy fails
  };
  for (const Case& c :
       {Case{"per file, not staged", false, false}, Case{"per file, held", false, true},
        Case{"whole, not staged", true, false}, Case{"whole, held", true, true}}) {
    SCOPED_TRACE(c.name);
    SetUp();
    Whole(c.whole ? 1 : 0);
    Harness h(r_.dir.Path());
    if (c.held) {
      h.sys.held[App("c.dll")] = -1;
    } else {
      h.sys.fail_copy_of.insert(Dl("c.dll"));
    }
    h.RunUpdate();
    EXPECT_TRUE(NoTemporaryFile());
    EXPECT_EQ(Installed("c.dll"), "c.dll 1");
    EXPECT_EQ(Slept(h), c.held ? kHeldFileMs + (c.whole ? 0 : 1000) : (c.whole ? 0 : 1000));
    if (!c.whole) {
      for (const std::string& f : kFiles) {
        if (f != "c.dll") {
          EXPECT_EQ(Installed(f), f + " 2, larger") << f;
        }
      }
      EXPECT_TRUE(Logged(h, u"Ne peut copier :" + Dl("c.dll")));
      EXPECT_TRUE(Logged(h, u"Remis en place : " + App("c.dll.old") + u" en " + App("c.dll")));
      EXPECT_TRUE(h.form->Close_this_app);
      continue;
    }
    EXPECT_EQ(Snapshot(), before_);
    EXPECT_TRUE(NoJournal());
    EXPECT_FALSE(h.form->Close_this_app);
    EXPECT_TRUE(h.form->Allowclose);
    EXPECT_TRUE(h.sys.launched.empty());
    ASSERT_EQ(h.screen.messages.size(), 1u);
    const UString& message = h.screen.messages[0];
    EXPECT_EQ(h.screen.statuses.back(), FailureStatus(message));
    if (c.held) {
      EXPECT_EQ(message,
                u"La version n'est pas installée, la version précédente est remise en place : " +
                    App("c.dll") +
                    u" (ne peut être remplacé : utilisé par un autre programme ou refusé)");
      // Each file swapped before it is put back, the last first; the new
      // file goes again.
      const std::vector<UString> tail(h.screen.lines.end() - 3, h.screen.lines.end());
      EXPECT_EQ(tail, (std::vector<UString>{
                          u"Remis en place : " + App("b.dll.old") + u" en " + App("b.dll"),
                          u"Remis en place : " + App("a.dll.old") + u" en " + App("a.dll"),
                          u"Remis en place : " + App("vorlo.exe.old") + u" en " + App("vorlo.exe"),
                      }));
    } else {
      EXPECT_EQ(message, u"La version n'est pas installée, rien n'a été changé : " + App("c.dll") +
                             u" (ne peut être copié : disque plein ou écriture refusée)");
      // Nothing was touched: no exchange line at all.
      EXPECT_EQ(h.screen.lines.back(), u"Fin de section ->[end]");
    }
  }
}

TEST_F(WholeReleaseTest, ANewFileIsTakenOutAgainWhenTheReleaseIsPutBack) {
  Whole(1);
  // d.dll (new) goes in before e.dll cannot.
  r_.Download("e.dll", "e 2");
  WriteFileBytes(Join(r_.app, "e.dll"), "e 1");
  r_.Manifest("[LocalFiles]\r\nvorlo.exe\r\nd.dll\r\ne.dll\r\n[end]\r\n");
  Harness h(r_.dir.Path());
  h.sys.held[App("e.dll")] = -1;
  h.RunUpdate();
  EXPECT_FALSE(testing_support::PathExists(Join(r_.app, "d.dll")));
  EXPECT_TRUE(Logged(h, u"Effacé : " + App("d.dll")));
  EXPECT_EQ(Installed("vorlo.exe"), "vorlo.exe 1");
  EXPECT_EQ(Installed("e.dll"), "e 1");
}

// A file left out when the manifest is read: in a whole release nothing is
// touched, and the failure names the file and why.
TEST_F(WholeReleaseTest, ALeftOutFileRefusesAWholeRelease) {
  struct Case {
    const char* name;
    std::function<void(const testing_support::ReleaseFolders&)> fault;
    const char* file;  // as the message names it, below the download folder
    const char16_t* why;
    size_t boxes;  // the reader's own message boxes, then the failure's
  };
  const std::vector<Case> cases = {
      {"size mismatch", [](const testing_support::ReleaseFolders& r) { r.RecordSize("b.dll", 3); },
       "b.dll", u"taille ou contenu différent de la version", 2},
      {"missing",
       [](const testing_support::ReleaseFolders& r) {
         platform::RemoveName(U(Join(r.dl, "b.dll")));
       },
       "b.dll", u"absent du téléchargement", 1},
      {"refused entry",
       [](const testing_support::ReleaseFolders& r) {
         r.Manifest("[LocalFiles]\r\nvorlo.exe\r\n..\\up.dll\r\n[end]\r\n");
       },
       "../up.dll", u"entrée refusée", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Whole(1);
    c.fault(r_);
    Harness h(r_.dir.Path());
    h.RunUpdate();
    EXPECT_EQ(Snapshot(), before_);
    EXPECT_TRUE(NoTemporaryFile());
    ASSERT_EQ(h.screen.messages.size(), c.boxes);
    UString file = Dl(c.file);
    for (char16_t& ch : file) {
      if (ch == u'/') ch = platform::kPathSeparator;
    }
    EXPECT_EQ(h.screen.messages.back(), u"La version n'est pas installée, rien n'a été changé : " +
                                            file + u" (" + c.why + u")");
    EXPECT_FALSE(h.form->Close_this_app);
  }
}

TEST_F(WholeReleaseTest, AFileHeldForAMomentGoesIn) {
  for (const uint32_t whole : {0u, 1u}) {
    SCOPED_TRACE(whole);
    SetUp();
    Whole(whole);
    Harness h(r_.dir.Path());
    h.sys.held[App("b.dll")] = 4;  // refused four times, then free
    h.RunUpdate();
    for (const std::string& f : kFiles) EXPECT_EQ(Installed(f), f + " 2, larger");
    // Waiting a little longer each time.
    EXPECT_EQ(Slept(h), 100 + 200 + 400 + 800 + 1000);
    EXPECT_TRUE(h.form->Close_this_app);
  }
}

TEST_F(WholeReleaseTest, HeldFilesWaitNoLongerThanTheRunsBound) {
  Harness h(r_.dir.Path());
  for (const std::string& f : kFiles) h.sys.held[App(f)] = -1;
  for (const char* f : {"e.dll", "f.dll", "g.dll", "h.dll"}) {
    WriteFileBytes(Join(r_.app, f), "1");
    r_.Download(f, "22");
    h.sys.held[App(f)] = -1;
  }
  r_.Manifest(
      "[LocalFiles]\r\na.dll\r\nb.dll\r\nc.dll\r\nd.dll\r\ne.dll\r\nf.dll\r\ng.dll\r\n"
      "h.dll\r\n[end]\r\n");
  h.RunUpdate();
  EXPECT_EQ(Slept(h), kHeldRunMs);
}

// A run killed half-way through a whole release left its journal: the next
// run puts the previous release back before it reads anything else, then
// installs the release.
TEST_F(WholeReleaseTest, TheNextRunPutsAKilledRunRight) {
  Whole(1);
  // What the killed run left: a.dll swapped, b.dll staged only.
  journal::Journal j{r_.App(), r_.Dl(), {}, {u"gone.txt"}};
  for (const char* f : {"a.dll", "b.dll"}) {
    const UString staged = platform::StageCopy(Dl(f), App(f));
    ASSERT_FALSE(staged.empty());
    j.swaps.push_back({U(f), platform::FileIdentity(App(f)), platform::FileIdentity(staged)});
    if (std::string(f) == "a.dll") {
      ASSERT_EQ(platform::KeepAsBackup(App(f), App(f) + u".old"), platform::Backup::kLinked);
      ASSERT_TRUE(platform::MoveIntoPlace(staged, App(f)));
    }
  }
  ASSERT_TRUE(journal::Save(U(Join(r_.dir.Path(), "update.journal")), j, nullptr));

  Harness h(r_.dir.Path());
  h.RunUpdate();
  ASSERT_GE(h.screen.lines.size(), 3u);
  EXPECT_EQ(h.screen.lines[0],
            u"Mise à jour interrompue, la version précédente est remise en place : " + r_.App());
  EXPECT_EQ(h.screen.lines[1], u"Remis en place : " + App("a.dll.old") + u" en " + App("a.dll"));
  EXPECT_EQ(h.screen.lines[2], u"Chemin de destination: [" + r_.App() + u"]");
  for (const std::string& f : kFiles) EXPECT_EQ(Installed(f), f + " 2, larger");
  EXPECT_EQ(Installed("a.dll.old"), "a.dll 1");
  EXPECT_TRUE(NoJournal());
  EXPECT_TRUE(NoTemporaryFile());
  EXPECT_TRUE(h.form->Close_this_app);
}

TEST_F(WholeReleaseTest, AJournalThatCannotBeFollowedStopsTheRun) {
  WriteFileBytes(Join(r_.dir.Path(), "update.journal"), "Vorlo update journal 1\ninstall");
  Harness h(r_.dir.Path());
  h.RunUpdate();
  EXPECT_TRUE(h.screen.lines.empty());
  ASSERT_EQ(h.screen.messages.size(), 1u);
  EXPECT_EQ(h.screen.messages[0].find(u"Le journal de mise à jour " +
                                      U(Join(r_.dir.Path(), "update.journal")) + u" est illisible"),
            0u);
  EXPECT_EQ(Snapshot(), before_);
  EXPECT_FALSE(NoJournal());
}

}  // namespace
