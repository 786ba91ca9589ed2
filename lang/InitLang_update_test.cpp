// The language selection and the switch to update.ENU, with the language file
// that the build makes (a resource-only DLL on Windows).
#include "lang/InitLang_update.h"

#include <gtest/gtest.h>

#include "config/r_register.h"
#include "platform/files.h"
#include "platform/hive.h"
#include "platform/module.h"
#include "platform/resource_file.h"
#include "resources/texts.h"
#include "tests/support/fake_toolkit.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Join;
using testing_support::ReadFileBytes;
using testing_support::U;
using testing_support::WriteFileBytes;

class SwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ReplaceResourcesInForce(nullptr);
    english_ = ReadFileBytes(
        platform::Utf16ToUtf8(platform::FolderOf(platform::ExecutablePath()) + u"update.ENU"));
    ASSERT_FALSE(english_.empty()) << "update.ENU is built beside the tests";
    w_ = std::make_unique<testing_support::FakeWindow>();
  }
  void TearDown() override { platform::ReplaceResourcesInForce(nullptr); }
  UString Exe() const { return U(Join(dir_.Path(), "update.exe")); }
  void Put(const std::string& name, const std::string& bytes) {
    WriteFileBytes(Join(dir_.Path(), name), bytes);
  }
  bool English() const {
    return platform::LoadResString(texts::kUpdateInProgress) == u"Update in progress..." &&
           w_->screen.caption == u"Updating...." && w_->screen.button == u">> Details";
  }
  bool French() const {
    return platform::LoadResString(texts::kUpdateInProgress) ==
               u"La mise à jour est en cours ..." &&
           w_->screen.caption == u"Mise à jour...." && w_->screen.button == u">> Détails";
  }

  testing_support::TempDir dir_;
  std::string english_;
  std::unique_ptr<testing_support::FakeWindow> w_;
};

TEST_F(SwitchTest, OnlyExactlyUSSwitches) {
  testing_support::ScratchHive hive;
  if (!hive.Usable()) GTEST_SKIP() << "no scratch hive here";
  Put("update.ENU", english_);
  const struct {
    const char16_t* stored;
    bool english;
  } cases[] = {{u"\"us\"", false}, {u"\" US\"", false}, {u"\"US \"", false},
               {u"US", false},     {u"", false},        {u"\"US\"", true}};
  for (const auto& c : cases) {
    platform::Hive()
        .Create(u"Software\\Vorlo\\Lang")
        ->Write(u"Lang_selected", platform::RegValue::Text(c.stored));
    lang::LanguageSelection(Exe());
    EXPECT_EQ(English(), c.english) << platform::Utf16ToUtf8(c.stored);
    EXPECT_EQ(French(), !c.english) << platform::Utf16ToUtf8(c.stored);
  }
}

TEST_F(SwitchTest, WhichFileIsTaken) {
  EXPECT_EQ(lang::SwitchResourceLanguage(1033, Exe()), nullptr);  // neither
  EXPECT_TRUE(French());
  Put("update.EN", english_);
  EXPECT_NE(lang::SwitchResourceLanguage(1033, Exe()), nullptr);  // only .EN
  EXPECT_TRUE(English());
  platform::ReplaceResourcesInForce(nullptr);
  Put("update.ENU", "not a language file");
  // .ENU is tried first: a damaged one counts as absent, so .EN is taken.
  EXPECT_NE(lang::SwitchResourceLanguage(1033, Exe()), nullptr);
  EXPECT_TRUE(English());
}

TEST_F(SwitchTest, ASecondSwitchReleasesTheFirstFile) {
  Put("update.ENU", english_);
  const auto* first = lang::SwitchResourceLanguage(1033, Exe());
  ASSERT_NE(first, nullptr);
  testing_support::TempDir other;
  WriteFileBytes(Join(other.Path(), "update.ENU"), english_);
  const auto* second = lang::SwitchResourceLanguage(1033, U(Join(other.Path(), "update.exe")));
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(English());
  // The first file is no longer in use.
  EXPECT_TRUE(platform::DeleteFileAt(U(Join(dir_.Path(), "update.ENU"))));
}

// A language file never stands between the user and the update: one that
// cannot be used counts as absent, and nothing is raised.
TEST_F(SwitchTest, DamagedFilesCountAsAbsent) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"truncated", english_.substr(0, english_.size() / 2)},
      {"empty", ""},
      {"another format", "MZ not really"},
      {"a folder", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Join(dir_.Path(), "update.ENU");
    if (std::string(c.what) == "a folder") {
      testing_support::MakeDir(path);
    } else {
      Put("update.ENU", c.bytes);
    }
    EXPECT_EQ(lang::SwitchResourceLanguage(1033, Exe()), nullptr);
    EXPECT_TRUE(French());
    EXPECT_FALSE(platform::LanguageFileInForce());
    if (std::string(c.what) != "a folder") std::remove(path.c_str());
  }
}

// Re-applied as inherited, a description changes the window in place.
TEST(Description, ReappliedAsInheritedItChangesTheWindowInPlace) {
  testing_support::FakeWindow w;
  auto* label = dynamic_cast<forms::TLabel*>(w.form->FindComponent(u"LabelBottom"));
  ASSERT_NE(label, nullptr);
  label->SetCaption(u"set since");
  lang::TAsInheritedReader reader(
      "object FormUpdater : TFormUpdater\n  Caption = \"Other\"\n"
      "  object LabelBottom : TLabel\n    Caption = \"''\"\n  end\nend\n",
      4096);
  reader.ReadRootComponent(w.form);
  EXPECT_EQ(w.screen.caption, u"Other");
  EXPECT_EQ(w.form->FindComponent(u"LabelBottom"), label);  // the same control, nothing created
  EXPECT_EQ(label->Caption(), u"''");
}

TEST(LanguageFileName, OnlyTheFileNamesDotCounts) {
  const struct {
    const char16_t* exe;
    const char16_t* abbrev;
    const char16_t* file;
  } cases[] = {
      {u"C:\\App\\update.exe", u"ENU", u"C:\\App\\update.ENU"},
      {u"C:\\App\\update.exe", u"EN", u"C:\\App\\update.EN"},
      {u"/opt/vorlo/update", u"ENU", u"/opt/vorlo/update.ENU"},
      {u"/opt/v.1/update", u"ENU", u"/opt/v.1/update.ENU"},
      {u"/opt/vorlo/update.bin.exe", u"ENU", u"/opt/vorlo/update.bin.ENU"},
      {u"/opt/vorlo/update.exe", u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(lang::LanguageFileName(c.exe, c.abbrev), c.file);
#ifdef _WIN32
  EXPECT_EQ(lang::LanguageFileName(u"C:\\My.Apps\\update", u"ENU"), u"C:\\My.Apps\\update.ENU");
#endif
}

#ifndef _WIN32
// Files of the Linux format made here, for what the built file does not show.
TEST_F(SwitchTest, TextsWithoutADescription) {
  platform::ResourceFileContents c;
  c.texts[texts::kUpdateInProgress] = u"Update in progress...";
  Put("update.ENU", platform::PackResourceFile(c));
  ASSERT_NE(lang::SwitchResourceLanguage(1033, Exe()), nullptr);
  EXPECT_EQ(platform::LoadResString(texts::kUpdateInProgress), u"Update in progress...");
  EXPECT_EQ(platform::LoadResString(texts::kWaitingForVorlo),
            u"");  // a text the file lacks reads as empty
  EXPECT_EQ(w_->screen.caption, u"Mise à jour....");
}

// A description that fails while it is applied, after it has changed the
// caption: the built-in texts and window come back whole.
TEST_F(SwitchTest, ADescriptionThatFailsLeavesTheBuiltInSetInForce) {
  platform::ResourceFileContents c;
  c.texts[texts::kUpdateInProgress] = u"Update in progress...";
  c.descriptions[u"TFORMUPDATER"] = {
      u"TFormUpdater",
      "object FormUpdater : TFormUpdater\n  Caption = \"Updating....\"\n"
      "  object Gauge : TLabel\n  end\nend\n"};
  Put("update.ENU", platform::PackResourceFile(c));
  EXPECT_EQ(lang::SwitchResourceLanguage(1033, Exe()), nullptr);
  EXPECT_FALSE(platform::LanguageFileInForce());
  EXPECT_TRUE(French());
}
#endif

}  // namespace
