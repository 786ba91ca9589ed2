// Exchanging and deleting files, on real files, with faults injected
// through the system seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "platform/module.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using testing_support::kSep;
using testing_support::U;

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_ = std::make_unique<Harness>(r_.dir.Path());
    h_->exec->Exe_Path = r_.App();
    h_->exec->User_Path = r_.Dl();
  }
  std::vector<UString> Exchange(const UString& name) {
    h_->screen.lines.clear();
    h_->OnWorker([&] { h_->exec->ExchangeFile(name); });
    return h_->screen.lines;
  }

  testing_support::ReleaseFolders r_;
  std::unique_ptr<Harness> h_;
};

TEST_F(ExchangeTest, SixLinesWhenBackupAndInstalledFileExist) {
  WriteFileBytes(Join(r_.app, "a.dll"), "v1");
  WriteFileBytes(Join(r_.app, "a.dll.old"), "v0");
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  EXPECT_EQ(Exchange(u"a.dll"),
            (std::vector<UString>{
                u"Effacé : " + r_.App() + u"a.dll.old", u"Effacé...",
                u"Renomme : " + r_.App() + u"a.dll en " + r_.App() + u"a.dll.old", u"Renommé...",
                u"Copie le fichier : " + r_.Dl() + u"a.dll en " + r_.App() + u"a.dll",
                u"Fichier copié !"}));
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll")), "v2");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll.old")), "v1");
  EXPECT_EQ(ReadFileBytes(Join(r_.dl, "a.dll")), "v2");
}

TEST_F(ExchangeTest, ANameNewToTheInstallation) {
  WriteFileBytes(Join(r_.dl, "new.dll"), "n");
  EXPECT_EQ(Exchange(u"new.dll"),
            (std::vector<UString>{
                u"N'existe pas [non fatal] : " + r_.App() + u"new.dll",
                u"Copie le fichier : " + r_.Dl() + u"new.dll en " + r_.App() + u"new.dll",
                u"Fichier copié !"}));
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "new.dll")), "n");
}

TEST_F(ExchangeTest, AMissingSubFolderIsNotCreated) {
  testing_support::MakeDir(Join(r_.dl, "sub"));
  WriteFileBytes(Join(r_.dl, Join("sub", "x.dll")), "x");
  const UString name = u"sub" + kSep + u"x.dll";
  const auto lines = Exchange(name);
  EXPECT_EQ(lines.back(), u"Ne peut copier :" + r_.Dl() + name);
  EXPECT_FALSE(PathExists(Join(r_.app, "sub")));
}

TEST_F(ExchangeTest, TheSameNameTwiceLeavesTheNewFileInBothPlaces) {
  WriteFileBytes(Join(r_.app, "a.dll"), "v1");
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  Exchange(u"a.dll");
  Exchange(u"a.dll");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll")), "v2");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll.old")), "v2");
}

TEST_F(ExchangeTest, ABackupThatCannotBeDeleted) {
  // Rename never replaces, so the old generation stays; the copy still
  // installs the new file.
  WriteFileBytes(Join(r_.app, "a.dll"), "v1");
  WriteFileBytes(Join(r_.app, "a.dll.old"), "v0");
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  h_->sys.fail_delete = true;
  EXPECT_EQ(
      Exchange(u"a.dll"),
      (std::vector<UString>{u"Effacé : " + r_.App() + u"a.dll.old",
                            u"Effacement de " + r_.App() + u"a.dll.old a échoué..",
                            u"Renomme : " + r_.App() + u"a.dll en " + r_.App() + u"a.dll.old",
                            u"Ne peut renomer : " + r_.App() + u"a.dll",
                            u"Copie le fichier : " + r_.Dl() + u"a.dll en " + r_.App() + u"a.dll",
                            u"Fichier copié !"}));
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll")), "v2");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll.old")), "v0");
}

// When the installed file went to its backup name and nothing new came in,
// it is put back, so the installation keeps a working file.
TEST_F(ExchangeTest, NothingInstalledPutsTheBackupBack) {
  const struct {
    const char* what;
    bool fail_copy;
    bool downloaded;
    const char16_t* last_phase;  // the line of phase 3 that failed
  } cases[] = {
      {"copy refused (disk full)", true, true, u"Ne peut copier :"},
      {"downloaded file gone", false, false, u"N'existe pas [non fatal] : "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(Join(r_.app, "a.dll"), "v1");
    if (c.downloaded) WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
    h_->sys.fail_copy = c.fail_copy;
    const auto lines = Exchange(u"a.dll");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].substr(0, UString(c.last_phase).size()), c.last_phase);
    EXPECT_EQ(lines.back(),
              u"Remis en place : " + r_.App() + u"a.dll.old en " + r_.App() + u"a.dll");
    EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll")), "v1");
    EXPECT_FALSE(PathExists(Join(r_.app, "a.dll.old")));
    std::remove(Join(r_.dl, "a.dll").c_str());
  }
}

TEST_F(ExchangeTest, SameFolderForBothPutsTheBackupBack) {
  WriteFileBytes(Join(r_.app, "a.dll"), "v1");
  h_->exec->User_Path = r_.App();
  const auto lines = Exchange(u"a.dll");
  EXPECT_EQ(lines[2], u"N'existe pas [non fatal] : " + r_.App() + u"a.dll");
  EXPECT_EQ(lines.back(), u"Remis en place : " + r_.App() + u"a.dll.old en " + r_.App() + u"a.dll");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.dll")), "v1");
}

TEST_F(ExchangeTest, AFailedCopyLeavesNoPartFileBehind) {
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  testing_support::MakeDir(Join(r_.app, "a.dll"));  // a folder where the file should go
  Exchange(u"a.dll");
  // Only the folder is there: no temporary file was left.
  EXPECT_EQ(testing_support::ListDir(r_.app), std::vector<std::string>{"a.dll"});
  EXPECT_EQ(h_->screen.lines.back(), u"Ne peut copier :" + r_.Dl() + u"a.dll");
}

// The temporary name is short and fixed, so every name whose backup name
// fits installs, up to the longest (251 + ".old" = 255).
TEST_F(ExchangeTest, EveryNameWhoseBackupFitsInstalls) {
  for (size_t length : {200u, 243u, 247u, 251u}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'n');
    WriteFileBytes(Join(r_.app, name), "v1");
    WriteFileBytes(Join(r_.dl, name), "v2");
    Exchange(U(name));
    EXPECT_EQ(h_->screen.lines.back(), u"Fichier copié !");
    EXPECT_EQ(ReadFileBytes(Join(r_.app, name)), "v2");
    EXPECT_EQ(ReadFileBytes(Join(r_.app, name + ".old")), "v1");
  }
}

// What a killed run left in a folder goes when the next run first writes
// there; only names of the exact pattern, only files.
TEST_F(ExchangeTest, TemporaryFilesOfAKilledRunAreRemoved) {
  testing_support::MakeDir(Join(r_.app, "sub"));
  testing_support::MakeDir(Join(r_.dl, "sub"));
  const std::vector<std::string> stale = {".vorlo-Ab3xY9.tmp", ".vorlo-000000.tmp"};
  const std::vector<std::string> kept = {".vorlo-Ab3xY.tmp",    // one letter short
                                         ".vorlo-Ab3xY9!.tmp",  // one too many
                                         ".vorlo-Ab-xY9.tmp",   // not a letter or digit
                                         "x.vorlo-Ab3xY9.tmp",  // something before
                                         ".vorlo-Ab3xY9.tmpx",  // something after
                                         "settings.ini"};
  for (const auto& n : stale) WriteFileBytes(Join(r_.app, n), "left by a killed run");
  for (const auto& n : kept) WriteFileBytes(Join(r_.app, n), "someone's");
  testing_support::MakeDir(Join(r_.app, ".vorlo-Folder.tmp"));
  WriteFileBytes(Join(Join(r_.app, "sub"), ".vorlo-Ab3xY9.tmp"), "in a folder not written to");
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  Exchange(u"a.dll");

  std::vector<std::string> expected = kept;
  expected.push_back(".vorlo-Folder.tmp");
  expected.push_back("a.dll");
  expected.push_back("sub");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(testing_support::ListDir(r_.app), expected);
  EXPECT_TRUE(PathExists(Join(Join(r_.app, "sub"), ".vorlo-Ab3xY9.tmp")));
}

#ifndef _WIN32
// The installed file takes the read, write and execute bits of the
// downloaded one, never set-user-ID, set-group-ID or sticky.
TEST_F(ExchangeTest, OnlyPermissionBitsTravel) {
  const struct {
    unsigned downloaded;
    unsigned installed;
  } cases[] = {{0755, 0755},  {0644, 0644},  {04755, 0755},
               {02755, 0755}, {01777, 0777}, {0400, 0400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.downloaded);
    const std::string d = Join(r_.dl, "p.bin");
    std::remove(d.c_str());
    WriteFileBytes(d, "p");
    ASSERT_TRUE(testing_support::SetMode(d, c.downloaded));
    Exchange(u"p.bin");
    testing_support::FileIdentity installed;
    ASSERT_TRUE(testing_support::Identify(Join(r_.app, "p.bin"), &installed));
    EXPECT_EQ(installed.mode, c.installed);
  }
}

// The backup is a second name of the installed file: there is no moment at
// which the installed name is missing.
TEST_F(ExchangeTest, TheBackupIsASecondNameOfTheOldFile) {
  WriteFileBytes(Join(r_.app, "a.dll"), "v1");
  testing_support::FileIdentity before;
  ASSERT_TRUE(testing_support::Identify(Join(r_.app, "a.dll"), &before));
  WriteFileBytes(Join(r_.dl, "a.dll"), "v2");
  Exchange(u"a.dll");
  testing_support::FileIdentity backup;
  ASSERT_TRUE(testing_support::Identify(Join(r_.app, "a.dll.old"), &backup));
  EXPECT_EQ(backup.inode, before.inode);
  EXPECT_EQ(backup.links, 1u);  // and only that, once the new file is in
}

// A named pipe, a device or a socket is no file: never exchanged, never
// deleted, never opened in a way that could block.
TEST_F(ExchangeTest, OnlyRegularFilesAreFiles) {
  ASSERT_TRUE(testing_support::MakeFifo(Join(r_.dl, "pipe")));
  ASSERT_TRUE(testing_support::MakeFifo(Join(r_.app, "pipe")));
  ASSERT_TRUE(testing_support::MakeSymlink("/dev/null", Join(r_.app, "null")));
  EXPECT_EQ(Exchange(u"pipe"),
            (std::vector<UString>{u"N'existe pas [non fatal] : " + r_.App() + u"pipe",
                                  u"N'existe pas [non fatal] : " + r_.Dl() + u"pipe"}));
  h_->screen.lines.clear();
  h_->OnWorker([&] {
    h_->exec->DeleteFile(r_.App() + u"pipe");
    h_->exec->DeleteFile(r_.App() + u"null");
  });
  EXPECT_TRUE(h_->screen.lines.empty());
  EXPECT_TRUE(PathExists(Join(r_.app, "pipe")));
  EXPECT_TRUE(PathExists(Join(r_.app, "null")));
}
#endif

TEST_F(ExchangeTest, Deletion) {
  WriteFileBytes(Join(r_.app, "old.dll"), "x");
  h_->OnWorker([&] { h_->exec->DeleteFile(r_.App() + u"old.dll"); });
  EXPECT_EQ(h_->screen.lines, std::vector<UString>{u"Effacé : " + r_.App() + u"old.dll"});
  EXPECT_FALSE(PathExists(Join(r_.app, "old.dll")));

  h_->screen.lines.clear();
  h_->OnWorker([&] { h_->exec->DeleteFile(r_.App() + u"old.dll"); });
  EXPECT_TRUE(h_->screen.lines.empty());

  WriteFileBytes(Join(r_.app, "kept.dll"), "x");
  h_->sys.fail_delete = true;
  h_->OnWorker([&] { h_->exec->DeleteFile(r_.App() + u"kept.dll"); });
  EXPECT_EQ(h_->screen.lines,
            (std::vector<UString>{u"Effacé : " + r_.App() + u"kept.dll",
                                  u"Effacement de " + r_.App() + u"kept.dll a échoué.."}));
  EXPECT_TRUE(PathExists(Join(r_.app, "kept.dll")));
}

}  // namespace
