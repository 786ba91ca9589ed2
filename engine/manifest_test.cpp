// Reading the release manifest, on real files and the real configuration
// store.
#include <gtest/gtest.h>

#include <cstdio>

#include "config/r_register.h"
#include "platform/module.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::WriteFileBytes;

using testing_support::kSep;
using testing_support::U;

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!hive_.Usable()) GTEST_SKIP() << "no scratch hive here";
    h_ = std::make_unique<Harness>(r_.dir.Path());
    h_->exec->User_Path = r_.Dl();
  }
  // Reads [LocalFiles] with the size check; answers the list.
  std::vector<UString> Read(const UString& key = u"[LocalFiles]", bool sizes = true,
                            std::vector<UString> list = {}) {
    h_->OnWorker([&] { h_->exec->LoadFilesToReplace(r_.Dl(), key, u"[end]", list, sizes); });
    return list;
  }

  testing_support::ScratchHive hive_;
  testing_support::ReleaseFolders r_;
  std::unique_ptr<Harness> h_;
};

TEST_F(ManifestTest, TheWorkedExample) {
  testing_support::MakeDir(Join(r_.dl, "lib"));
  testing_support::MakeDir(Join(r_.dl, "help"));
  r_.Download("viewer.exe", "viewer");
  r_.Download(Join("lib", "engine.dll"), "engine!");
  r_.Download(Join("help", "guide fr.pdf"), "pdf");
  r_.Download("UPDATE.EXE", "upd");
  r_.Manifest(
      "Release 4.2\r\n[LocalFiles]\r\n\"viewer.exe\"\r\n  lib\\engine.dll\t\r\n\r\n"
      "\\help\\guide fr.pdf\r\nUPDATE.EXE\r\n[localfiles]\r\n[End]\r\n[DeleteLocalFiles]\r\n"
      "old.dll\r\n[end]\r\n");
  const UString s = kSep;
  EXPECT_EQ(Read(), (std::vector<UString>{u"viewer.exe", u"lib" + s + u"engine.dll",
                                          u"help" + s + u"guide fr.pdf", u"UPDATE.EXE"}));
  EXPECT_EQ(
      h_->screen.lines,
      (std::vector<UString>{
          u"Début de section ->[LocalFiles]", u"Ajouté : " + r_.Dl() + u"viewer.exe",
          u"Ajouté : " + r_.Dl() + u"lib" + s + u"engine.dll",
          u"Ajouté : " + r_.Dl() + u"help" + s + u"guide fr.pdf",
          u"Ajouté : " + r_.Dl() + u"UPDATE.EXE",
          u"Erreur fichier non trouvé ->" + r_.Dl() + u"[localfiles]", u"Fin de section ->[end]"}));
  EXPECT_TRUE(h_->screen.messages.empty());

  // The deletion section, checked in another folder, no sizes.
  const std::string& app = r_.app;
  WriteFileBytes(Join(app, "old.dll"), "x");
  h_->screen.lines.clear();
  std::vector<UString> list;
  h_->OnWorker([&] {
    h_->exec->LoadFilesToReplace(U(app) + kSep, u"[DeleteLocalFiles]", u"[end]", list, false);
  });
  EXPECT_EQ(list, std::vector<UString>{u"old.dll"});
  EXPECT_EQ(h_->screen.lines.size(), 3u);
}

TEST_F(ManifestTest, LinesKeysAndEntries) {
  r_.Download("a.dll", "a");
  r_.Download("b.dll", "bb");
  const struct {
    const char* what;
    std::string manifest;
    std::vector<UString> list;
  } cases[] = {
      {"empty manifest", "", {}},
      {"no begin key", "a.dll\n[end]\n", {}},
      {"keys in other case with blanks",
       "  [localFILES] \t\na.dll\n  [END]\t\nb.dll\n",
       {u"a.dll"}},
      {"a quoted key is an entry", "[LocalFiles]\n\"[end]\"\na.dll\n[end]\n", {u"a.dll"}},
      {"never closed", "[LocalFiles]\na.dll\n[DeleteLocalFiles]\nb.dll\n", {u"a.dll", u"b.dll"}},
      {"two sections",
       "[LocalFiles]\na.dll\n[end]\nx\n[LocalFiles]\nb.dll\n[end]\n",
       {u"a.dll", u"b.dll"}},
      {"duplicates kept", "[LocalFiles]\na.dll\na.dll\n[end]\n", {u"a.dll", u"a.dll"}},
      {"LF, lone CR dropped", "[LocalFiles]\nb.d\rll\na.dll", {u"b.dll", u"a.dll"}},
      {"0x1A ends the text", "[LocalFiles]\na.dll\x1A\nb.dll\n", {u"a.dll"}},
      {"a UTF-8 mark is part of the first line", "\xEF\xBB\xBF[LocalFiles]\na.dll\n[end]\n", {}},
      {"quotes anywhere", "[LocalFiles]\n a\".\"dll \n\"\"b.dll\"\n[end]\n", {u"a.dll", u"b.dll"}},
      {"one leading separator goes",
       "[LocalFiles]\n\\a.dll\n\\b.dll\n[end]\n",
       {u"a.dll", u"b.dll"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    r_.Manifest(c.manifest);
    h_->screen.lines.clear();
    EXPECT_EQ(Read(), c.list);
  }
}

TEST_F(ManifestTest, AnEntryOfQuotesOnlyNamesTheBareFolder) {
  r_.Manifest("[LocalFiles]\n \"\" \"\n[end]\n");
  EXPECT_TRUE(Read().empty());
  EXPECT_EQ(h_->screen.lines[1], u"Erreur fichier non trouvé ->" + r_.Dl());
}

TEST_F(ManifestTest, EntriesThatLeaveTheirFolderAreRefused) {
  testing_support::MakeDir(Join(r_.dl, "sub"));
  r_.Download("a.dll", "a");
  const std::string nul("a.dll\0junk", 10);
  const struct {
    std::string entry;
    UString shown;  // how the refusal line shows it, after the folder
  } cases[] = {
      {"..\\a.dll", u".." + kSep + u"a.dll"},
      {"sub/../a.dll", u"sub/../a.dll"},
      {"sub\\..\\..\\x", u"sub" + kSep + u".." + kSep + u".." + kSep + u"x"},
      {"C:a.dll", u"C:a.dll"},
      {"..", u".."},
      {"a.dll:stream", u"a.dll:stream"},
      // Absolute once the one leading separator is gone: a root, a network name.
      {"\\\\server\\share\\a.dll", kSep + u"server" + kSep + u"share" + kSep + u"a.dll"},
#ifdef _WIN32
      {"//etc/passwd", u"//etc/passwd"},
#else
      {"//etc/passwd", u"/etc/passwd"},
#endif
      // Control characters: a NUL would cut the name to a.dll.
      {nul, u"a.dll\uFFFDjunk"},
      {"a\tb.dll", u"a\uFFFDb.dll"},
      {"a\x7F.dll", u"a\uFFFD.dll"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    r_.Manifest("[LocalFiles]\n" + c.entry + "\n[end]\n");
    h_->screen.lines.clear();
    EXPECT_TRUE(Read().empty());
    ASSERT_EQ(h_->screen.lines.size(), 3u);
    EXPECT_EQ(h_->screen.lines[1],
              u"Entrée refusée, elle sort de son dossier : " + r_.Dl() + c.shown);
  }
  // With an empty folder value, a leading separator is never dropped.
  r_.Manifest("[LocalFiles]\n\\a.dll\n[end]\n");
  std::vector<UString> list;
  h_->screen.lines.clear();
  h_->OnWorker([&] { h_->exec->LoadFilesToReplace(u"", u"[LocalFiles]", u"[end]", list, false); });
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(h_->screen.lines[1], u"Entrée refusée, elle sort de son dossier : " + kSep + u"a.dll");
  // A name that merely contains two dots is fine.
  r_.Download("a..b", "ab");
  r_.Manifest("[LocalFiles]\na..b\n[end]\n");
  EXPECT_EQ(Read(), std::vector<UString>{u"a..b"});
}

TEST_F(ManifestTest, SizeChecks) {
  testing_support::MakeDir(Join(r_.dl, "sub"));
  r_.Download("a.dll", "aaaa", false);
  r_.Download(Join("sub", "a.dll"), "aaaa", false);
  r_.Download("none.dll", "n", false);
  r_.Download("empty.dll", "", false);
  r_.RecordSize("a.dll", 4);
  r_.RecordSize("empty.dll", 0);
  r_.RecordSize("big.dll", 3);
  r_.Download("big.dll", "12345", false);
  r_.Manifest("[LocalFiles]\na.dll\nsub\\a.dll\nnone.dll\nempty.dll\nbig.dll\n[end]\n");
  const UString s = kSep;
  EXPECT_EQ(Read(), (std::vector<UString>{u"a.dll", u"sub" + s + u"a.dll", u"empty.dll"}));
  const UString none =
      u"La taille (-1/1) du fichier (" + r_.Dl() +
      u"none.dll) ne correspond pas à la taille "
      u"attendue,une erreur de transfert FTP a du se produire, ce fichier ne sera pas mis à jour !";
  const UString big =
      u"La taille (3/5) du fichier (" + r_.Dl() +
      u"big.dll) ne correspond pas à la taille "
      u"attendue,une erreur de transfert FTP a du se produire, ce fichier ne sera pas mis à jour !";
  EXPECT_EQ(h_->screen.messages, (std::vector<UString>{none, big}));
  // The box first, then the same text in the log.
  EXPECT_EQ(h_->screen.lines[3], none);
  EXPECT_EQ(h_->screen.lines[5], big);
}

TEST_F(ManifestTest, ARecordedSha256IsCheckedAfterTheSize) {
  const UString abc = u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  r_.Download("good.dll", "abc");
  r_.Download("upper.dll", "abc");
  r_.Download("damaged.dll", "abd");  // the size is right
  r_.Download("plain.dll", "xyz");    // no SHA-256 recorded: as before
  config::TDatabaseRegistry store;
  for (const char16_t* name : {u"good.dll", u"damaged.dll"}) {
    store.WriteCFGtoRegister(u"\\Updates\\sha256", config::Variant(abc), name);
  }
  store.WriteCFGtoRegister(u"\\Updates\\sha256", config::Variant(platform::AsciiUpperCase(abc)),
                           u"upper.dll");
  r_.Manifest("[LocalFiles]\ngood.dll\nupper.dll\ndamaged.dll\nplain.dll\n[end]\n");
  EXPECT_EQ(Read(), (std::vector<UString>{u"good.dll", u"upper.dll", u"plain.dll"}));
  const UString damaged =
      u"Le contenu (SHA-256 " + abc +
      u"/a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9) du fichier (" + r_.Dl() +
      u"damaged.dll) ne correspond pas au contenu attendu,une erreur de transfert FTP a du se "
      u"produire, ce fichier ne sera pas mis à jour !";
  EXPECT_EQ(h_->screen.messages, std::vector<UString>{damaged});
  EXPECT_EQ(h_->screen.lines[3], damaged);
}

TEST_F(ManifestTest, AMissingManifestEmptiesTheList) {
  std::vector<UString> list = Read(u"[LocalFiles]", true, {u"kept before"});
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(h_->screen.messages, std::vector<UString>{u"The specified file was not found"});
  EXPECT_EQ(h_->screen.lines,
            std::vector<UString>{
                u"Erreur dans \"LoadFilesToReplace\" -> The specified file was not found"});
}

#ifndef _WIN32
// A named pipe or a device is no file: as an entry it is not found, as the
// manifest the manifest is missing; nothing waits on it, nothing reads it
// without end.
TEST_F(ManifestTest, OnlyRegularFilesCount) {
  ASSERT_TRUE(testing_support::MakeFifo(Join(r_.dl, "pipe.dll")));
  r_.RecordSize("pipe.dll", 0);
  r_.Manifest("[LocalFiles]\npipe.dll\n[end]\n");
  EXPECT_TRUE(Read().empty());
  EXPECT_EQ(h_->screen.lines[1], u"Erreur fichier non trouvé ->" + r_.Dl() + u"pipe.dll");

  const std::string manifest = Join(r_.dl, "current_release.txt");
  for (const char* what : {"a named pipe", "a link to /dev/zero"}) {
    SCOPED_TRACE(what);
    std::remove(manifest.c_str());
    if (std::string(what) == "a named pipe") {
      ASSERT_TRUE(testing_support::MakeFifo(manifest));
    } else {
      ASSERT_TRUE(testing_support::MakeSymlink("/dev/zero", manifest));
    }
    h_->screen.messages.clear();
    EXPECT_TRUE(Read().empty());
    EXPECT_EQ(h_->screen.messages, std::vector<UString>{u"The specified file was not found"});
  }
}

TEST_F(ManifestTest, AWindows1252ManifestReadsOnLinux) {
  r_.Download("caf\xC3\xA9.dll", "c");
  r_.Manifest("[LocalFiles]\ncaf\xE9.dll\n[end]\n");
  EXPECT_EQ(Read(), std::vector<UString>{u"café.dll"});
}
#endif

}  // namespace
