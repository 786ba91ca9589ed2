// The update run on real files, with the waits made instant and the launch
// and the detection answered by the test.
#include <gtest/gtest.h>

#include "config/r_register.h"
#include "platform/module.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::WriteFileBytes;

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hive_.Usable()) GTEST_SKIP() << "no scratch hive here";
  }
  void Folders(const UString& exec_path, const UString& files_path) {
    config::TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates", config::Variant(exec_path), u"ExecPath");
    store.WriteCFGtoRegister(u"\\Updates", config::Variant(files_path), u"FilesPath");
  }
  void Standard() { Folders(r_.App(), r_.Dl()); }

  testing_support::ScratchHive hive_;
  testing_support::ReleaseFolders r_;
};

TEST_F(RunTest, TheWorkedExample) {
  Standard();
  WriteFileBytes(Join(r_.app, "vorlo.exe"), "version 1");
  WriteFileBytes(Join(r_.app, "old.dll"), "old");
  r_.Download("vorlo.exe", "version 2");
  r_.Manifest("[LocalFiles]\r\nvorlo.exe\r\n[end]\r\n[DeleteLocalFiles]\r\nold.dll\r\n[end]\r\n");
  Harness h(r_.dir.Path());
  h.RunUpdate();

  const UString a = r_.App(), d = r_.Dl();
  const std::vector<UString> expected = {
      u"Chemin de destination: [" + a + u"]",
      u"Chemin de source : [" + d + u"]",
      u"N'est pas/plus en cours d'execution : " + a + u"vorlo.exe",
      u"Application \"" + a + u"vorlo.exe\" terminée",
      u"N'est pas/plus en cours d'execution : " + a + u"Vorlo.exe",
      u"Application \"" + a + u"Vorlo.exe\" terminée",
      u"Début de section ->[LocalFiles]",
      u"Ajouté : " + d + u"vorlo.exe",
      u"Fin de section ->[end]",
      u"Renomme : " + a + u"vorlo.exe en " + a + u"vorlo.exe.old",
      u"Renommé...",
      u"Copie le fichier : " + d + u"vorlo.exe en " + a + u"vorlo.exe",
      u"Fichier copié !",
      u"Echanges fichiers terminé",
      u"Début de section ->[DeleteLocalFiles]",
      u"Ajouté : " + a + u"old.dll",
      u"Fin de section ->[end]",
      u"Effacé : " + a + u"old.dll",
      u"Effacement fichiers terminé",
      u"Redémarre -> \"" + a + u"vorlo.exe\"",
      u"l'application : " + a + u"vorlo.exe va demarrer",
      u"Terminé ....\r\n",
  };
  EXPECT_EQ(h.screen.lines, expected);
  const std::vector<UString> statuses = {u"La mise à jour est en cours ...",
                                         u"Attend que l'application VORLO se termine.........", u"",
                                         u"l'application : " + a + u"vorlo.exe va demarrer..."};
  EXPECT_EQ(h.screen.statuses, statuses);
  EXPECT_EQ(h.sys.sleeps, (std::vector<int>{2000, 2000, 5000, 1000}));
  EXPECT_EQ(h.sys.launched, a + u"vorlo.exe");
  EXPECT_EQ(h.sys.launched_in, a);
  EXPECT_TRUE(h.form->Allowclose);
  EXPECT_TRUE(h.form->Close_this_app);
  EXPECT_EQ(testing_support::ReadFileBytes(Join(r_.app, "vorlo.exe")), "version 2");
  EXPECT_EQ(testing_support::ReadFileBytes(Join(r_.app, "vorlo.exe.old")), "version 1");
  EXPECT_FALSE(testing_support::PathExists(Join(r_.app, "old.dll")));
  EXPECT_TRUE(h.screen.messages.empty());
  // update.log has the same lines, each behind a time stamp; the last line's
  // CR LF gives an empty line after it.
  const std::string log = testing_support::ReadFileBytes(Join(r_.dir.Path(), "update.log"));
  EXPECT_NE(log.find(" : Chemin de destination: ["), std::string::npos);
  const std::string last = " : Termin" + platform::Utf16ToAnsi(u"é") + " ....\r\n\r\n";
  ASSERT_GT(log.size(), last.size());
  EXPECT_EQ(log.substr(log.size() - last.size()), last);
}

TEST_F(RunTest, WaitsWhileTheApplicationRuns) {
  Standard();
  r_.Manifest("");
  Harness h(r_.dir.Path());
  h.sys.running = {true, true, true, false, true, false};
  h.RunUpdate();
  const UString a = r_.App();
  std::vector<UString> waits(h.screen.lines.begin() + 2, h.screen.lines.begin() + 10);
  EXPECT_EQ(waits,
            (std::vector<UString>{u"En cours d'execution : " + a + u"vorlo.exe",
                                  u"En cours d'execution : " + a + u"vorlo.exe",
                                  u"En cours d'execution : " + a + u"vorlo.exe",
                                  u"N'est pas/plus en cours d'execution : " + a + u"vorlo.exe",
                                  u"Application \"" + a + u"vorlo.exe\" terminée",
                                  u"En cours d'execution : " + a + u"Vorlo.exe",
                                  u"N'est pas/plus en cours d'execution : " + a + u"Vorlo.exe",
                                  u"Application \"" + a + u"Vorlo.exe\" terminée"}));
  // One 2000 ms sleep per poll, the last ones included.
  EXPECT_EQ(std::count(h.sys.sleeps.begin(), h.sys.sleeps.end(), 2000), 6);
}

TEST_F(RunTest, MissingExecPathIsShownNotLogged) {
  Harness h(r_.dir.Path());
  h.RunUpdate();
  const UString message = u"Chemin non trouvé dans la base de registres (ExecPath) !";
  EXPECT_TRUE(h.screen.lines.empty());
  ASSERT_EQ(h.screen.statuses.size(), 1u);
  EXPECT_EQ(h.screen.statuses[0], u"Erreur : Chemin non trouvé dans la base de registres (Exe...");
  EXPECT_EQ(h.screen.statuses[0].size(), 60u);
  EXPECT_EQ(h.screen.messages, std::vector<UString>{message});
  EXPECT_TRUE(h.form->Allowclose);
  EXPECT_FALSE(h.form->Close_this_app);
  EXPECT_FALSE(testing_support::PathExists(Join(r_.dir.Path(), "update.log")));
}

TEST_F(RunTest, FailureStatusLength) {
  const struct {
    size_t message_length;
    size_t shown;
    bool cut;
  } cases[] = {{0, 9, false}, {51, 60, false}, {52, 60, true}, {200, 60, true}};
  for (const auto& c : cases) {
    const UString shown = FailureStatus(UString(c.message_length, u'x'));
    EXPECT_EQ(shown.size(), c.shown) << c.message_length;
    EXPECT_EQ(shown.size() >= 3 && shown.substr(shown.size() - 3) == u"...", c.cut);
  }
}

TEST_F(RunTest, NoMainExecutableInTheReleaseEndsWithTheBareFolder) {
  Standard();
  r_.Download("lib.dll", "x");
  r_.Manifest("[LocalFiles]\nlib.dll\nupdate.exe\n[end]\n");
  Harness h(r_.dir.Path());
  h.RunUpdate();
  const UString a = r_.App();
  ASSERT_GE(h.screen.lines.size(), 2u);
  EXPECT_EQ(h.screen.lines.back(), u"N'existe pas : " + a);
  EXPECT_EQ(h.screen.messages, std::vector<UString>{u"N'existe pas : " + a});
  EXPECT_EQ(h.screen.statuses.back(), FailureStatus(u"N'existe pas : " + a));
  EXPECT_TRUE(h.sys.launched.empty());
  EXPECT_TRUE(h.form->Allowclose);
  EXPECT_FALSE(h.form->Close_this_app);
}

TEST_F(RunTest, EmptyInstallationFolderWithoutMatchStartsNothing) {
  Folders(u"", r_.Dl());  // stored as "" (the quotes alone), read as empty
  r_.Manifest("");
  Harness h(r_.dir.Path());
  h.RunUpdate();
  const auto& l = h.screen.lines;
  ASSERT_GE(l.size(), 3u);
  EXPECT_EQ(l[l.size() - 2], u"Redémarre -> \"\"");
  EXPECT_EQ(l.back(), u"Terminé ....\r\n");
  EXPECT_TRUE(h.screen.messages.empty());
  EXPECT_EQ(h.screen.statuses.back(), u"");
  EXPECT_TRUE(h.form->Allowclose);
  EXPECT_FALSE(h.form->Close_this_app);
}

TEST_F(RunTest, RefusedLaunches) {
  const struct {
    int code;
    const char16_t* text;
    const char16_t* message;
  } cases[] = {
      {5, u"The operating system denied access to the specified file.",
       u"Ne peut démarrer l'application (Erreur de téléchargement): "},
      {2, u"The specified file was not found.", u"Ne peut démarrer l'application : "},
      {32, u"The specified dynamic-link library (DLL) was not found.",
       u"Ne peut démarrer l'application : "},
  };
  for (const auto& c : cases) {
    Standard();
    WriteFileBytes(Join(r_.app, "vorlo.exe"), "v1");
    r_.Download("vorlo.exe", "v2");
    r_.Manifest("[LocalFiles]\nvorlo.exe\n[end]\n");
    Harness h(r_.dir.Path());
    h.sys.launch_result = c.code;
    h.RunUpdate();
    const UString target = r_.App() + u"vorlo.exe";
    EXPECT_EQ(h.screen.lines.back(), u"Ne peut démarrer l'application : " + target + u" (" +
                                         platform::IntToText(c.code) + u") >>" + c.text);
    EXPECT_EQ(h.screen.messages, std::vector<UString>{c.message + target});
    EXPECT_FALSE(h.form->Close_this_app);
  }
}

TEST_F(RunTest, TheUpdaterItselfIsPassedOver) {
  Standard();
  testing_support::MakeDir(Join(r_.dl, "bin"));
  testing_support::MakeDir(Join(r_.app, "bin"));
  r_.Download("UpDate.Exe", "newU");  // one recorded size serves both
  r_.Download(Join("bin", "update.exe"), "tool");
  r_.Download("vorlo.exe", "v2");
  WriteFileBytes(Join(r_.app, "UpDate.Exe"), "running updater");
  r_.Manifest("[LocalFiles]\nUpDate.Exe\nbin\\update.exe\nvorlo.exe\n[end]\n");
  Harness h(r_.dir.Path());
  h.RunUpdate();
  EXPECT_EQ(testing_support::ReadFileBytes(Join(r_.app, "UpDate.Exe")), "running updater");
  EXPECT_EQ(testing_support::ReadFileBytes(Join(r_.app, Join("bin", "update.exe"))), "tool");
  EXPECT_TRUE(h.form->Close_this_app);
}

TEST_F(RunTest, ADetectionFailureEndsTheRun) {
  struct Failing : testing_support::TestSystem {
    using TestSystem::TestSystem;
    bool IsApplicationRunning(platform::UStringView) override {
      throw platform::Exception(u"System Error.  Code: 6.\r\nThe handle is invalid.");
    }
  };
  Standard();
  Harness h(r_.dir.Path());
  Failing failing(r_.dir.Path());
  h.exec->Sys = &failing;
  h.RunUpdate();
  EXPECT_EQ(h.screen.messages,
            std::vector<UString>{u"System Error.  Code: 6.\r\nThe handle is invalid."});
  EXPECT_EQ(h.screen.lines.size(), 2u);  // the two folders, nothing more
}

TEST(GiveExec, PicksTheFirstEntryNamingTheMainExecutable) {
  const struct {
    std::vector<UString> list;
    const char16_t* target;
  } cases[] = {
      {{}, u""},
      {{u"lib.dll", u"update.exe"}, u""},
      {{u"vorlo.exe.new", u"tools\\Vorlo.exe"}, u"vorlo.exe"},
      {{u"tools\\Vorlo.exe", u"vorlo.exe.new"}, u"tools\\Vorlo.exe"},
      {{u"VORLO.EXE.NEW.New"}, u"VORLO.EXE"},
      {{u"myvorlo.exe"}, u"myvorlo.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(TExec::GiveExec(c.list), c.target);
}

TEST(LaunchErrorText, EveryCode) {
  const struct {
    int code;
    const char16_t* text;
  } cases[] = {
      {0, u"The operating system is out of memory or resources."},
      {2, u"The specified file was not found."},
      {3, u"The specified path was not found."},
      {5, u"The operating system denied access to the specified file."},
      {8, u"There was not enough memory to complete the operation."},
      {11, u"The .exe file is invalid (non-Microsoft Win32® .exe or error in .exe image)."},
      {26, u"A sharing violation occurred."},
      {27, u"The file name association is incomplete or invalid."},
      {28, u"The DDE transaction could not be completed because the request timed out."},
      {29, u"The DDE transaction failed."},
      {30,
       u"The Dynamic Data Exchange (DDE) transaction could not be completed because other "
       u"DDE transactions were being processed."},
      {31,
       u"There is no application associated with the given file name extension. This error "
       u"will also be returned if you attempt to print a file that is not printable."},
      {32, u"The specified dynamic-link library (DLL) was not found."},
      {1, u"UNKNOW ERROR"},
      {4, u"UNKNOW ERROR"},
      {25, u"UNKNOW ERROR"},
      {33, u"UNKNOW ERROR"},
      {-1, u"UNKNOW ERROR"},
      {-2147483647 - 1, u"UNKNOW ERROR"},
  };
  for (const auto& c : cases) EXPECT_EQ(LaunchErrorText(c.code), c.text) << c.code;
}

}  // namespace
