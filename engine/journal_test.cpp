// The journal of a release that installs whole: its text, and the recovery
// from every state a killed run can leave, on real files.
#include "engine/journal.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/module.h"
#include "tests/support/scratch.h"

namespace {

using journal::Journal;
using journal::Recovery;
using platform::UString;
using testing_support::Join;
using testing_support::ListDir;
using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::U;
using testing_support::WriteFileBytes;

TEST(JournalText, ReadsBackWhatItWrites) {
  Journal j{u"/opt/vorlo/", u"/tmp/dl/", {}, {}};
  j.swaps.push_back({u"vorlo.exe", u"2049:12", u"2049:40"});
  j.swaps.push_back({u"lib/été d.dll", u"", u"2049:41"});
  j.deletions.push_back(u"old|help.txt");
  Journal back;
  UString why;
  ASSERT_TRUE(journal::Parse(journal::Format(j), &back, &why)) << platform::Utf16ToUtf8(why);
  EXPECT_EQ(back.installation, j.installation);
  EXPECT_EQ(back.download, j.download);
  ASSERT_EQ(back.swaps.size(), 2u);
  EXPECT_EQ(back.swaps[1].entry, u"lib/été d.dll");
  EXPECT_EQ(back.swaps[1].old_id, u"");
  EXPECT_EQ(back.swaps[1].new_id, u"2049:41");
  EXPECT_EQ(back.deletions, std::vector<UString>{u"old|help.txt"});
}

TEST(JournalText, AnythingButAWholeJournalIsRefused) {
  Journal j{u"/opt/vorlo/", u"/tmp/dl/", {{u"a.dll", u"1:2", u"1:3"}}, {u"b.txt"}};
  const std::string whole = journal::Format(j);
  const std::string cut = whole.substr(0, whole.size() - 1);
  std::string no_end = whole.substr(0, whole.rfind("end="));
  std::string wrong_count = no_end + "end=3\n";
  std::string bad_id = whole;
  bad_id.replace(bad_id.find("1:2"), 3, "1;2");
  std::string no_new_id = whole;
  no_new_id.replace(no_new_id.find("|1:3"), 4, "|");
  std::string foreign = whole;
  foreign.replace(0, 6, "Other ");
  std::string unknown = no_end + "rename=x\nend=2\n";
  for (const std::string& bytes : {std::string(), cut, no_end, wrong_count, bad_id, no_new_id,
                                   foreign, unknown, std::string("\n")}) {
    SCOPED_TRACE(bytes);
    Journal out;
    UString why;
    EXPECT_FALSE(journal::Parse(bytes, &out, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(out.installation.empty());
  }
}

// An installation in the middle of a release: a.dll and b.dll replaced, c.dll
// new, and what the run had done when it was killed.
class JournalRecovery : public ::testing::Test {
 public:
  void SetUp() override {
    app_ = Join(dir_.Path(), "app");
    testing_support::MakeDir(app_);
    j_ = Journal{U(app_) + platform::kPathSeparatorString,
                 U(Join(dir_.Path(), "dl")) + platform::kPathSeparatorString,
                 {},
                 {u"gone.txt"}};
    for (const char* f : {"a.dll", "b.dll"}) {
      WriteFileBytes(Join(app_, f), std::string(f) + " 1");
    }
    WriteFileBytes(Join(app_, "gone.txt"), "dropped");
    for (const char* f : {"a.dll", "b.dll", "c.dll"}) {
      // The staged file, as StageCopy leaves it beside its target.
      const UString staged = platform::StageCopyUnflushed(Source(f), U(Join(app_, f)));
      ASSERT_FALSE(staged.empty());
      staged_.push_back(staged);
      j_.swaps.push_back(
          {U(f), platform::FileIdentity(U(Join(app_, f))), platform::FileIdentity(staged)});
    }
    path_ = U(Join(dir_.Path(), "update.journal"));
    ASSERT_TRUE(journal::Save(path_, j_, nullptr));
  }
  UString Source(const char* f) {
    const std::string p = Join(dir_.Path(), std::string("new-") + f);
    WriteFileBytes(p, std::string(f) + " 2");
    return U(p);
  }
  // The swap of file k, as the exchange makes it.
  void Swap(size_t k) {
    const UString installed = j_.installation + j_.swaps[k].entry;
    if (platform::FileExists(installed)) {
      ASSERT_EQ(platform::KeepAsBackup(installed, installed + u".old"), platform::Backup::kLinked);
    }
    ASSERT_TRUE(platform::MoveIntoPlace(staged_[k], installed));
  }
  std::string At(const char* f) {
    const std::string p = Join(app_, f);
    return PathExists(p) ? ReadFileBytes(p) : "(none)";
  }
  bool NoStagedFile() {
    for (const std::string& n : ListDir(app_)) {
      if (platform::IsStagedName(U(n))) return false;
    }
    return true;
  }

  testing_support::TempDir dir_;
  std::string app_;
  Journal j_;
  std::vector<UString> staged_;
  UString path_;
};

TEST_F(JournalRecovery, PutsBackWhatWasSwappedWhereverTheRunStopped) {
  // How many of the three files were swapped when the run was killed; with
  // all three in place only the deletion was left, and it is finished.
  for (size_t swapped = 0; swapped <= 3; ++swapped) {
    SCOPED_TRACE(swapped);
    TearDown();
    for (const std::string& n : ListDir(app_)) platform::RemoveName(U(Join(app_, n)));
    staged_.clear();
    j_.swaps.clear();
    SetUp();
    for (size_t k = 0; k < swapped; ++k) Swap(k);
    const Recovery r = journal::Recover(path_, U(app_));
    EXPECT_EQ(r.outcome, Recovery::kRecovered);
    EXPECT_FALSE(platform::FileExists(path_));
    EXPECT_TRUE(NoStagedFile());
    if (swapped == 3) {
      EXPECT_TRUE(r.deleting);
      EXPECT_EQ(At("a.dll") + At("b.dll") + At("c.dll"), "a.dll 2b.dll 2c.dll 2");
      EXPECT_EQ(At("gone.txt"), "(none)");
    } else {
      EXPECT_FALSE(r.deleting);
      EXPECT_EQ(At("a.dll") + At("b.dll") + At("c.dll"), "a.dll 1b.dll 1(none)");
      EXPECT_EQ(At("gone.txt"), "dropped");
      EXPECT_EQ(r.steps.size(), swapped);
    }
    // Done once, it is done: nothing is left to do.
    EXPECT_EQ(journal::Recover(path_, U(app_)).outcome, Recovery::kNothing);
  }
}

TEST_F(JournalRecovery, ABackupMadeByRenameComesBack) {
  // A volume without links: the installed name was renamed to the backup,
  // and the run stopped before the new file took the name.
  const UString a = j_.installation + u"a.dll";
  ASSERT_TRUE(platform::RenameNoReplace(a, a + u".old"));
  EXPECT_EQ(journal::Recover(path_, u"").outcome, Recovery::kRecovered);
  EXPECT_EQ(At("a.dll"), "a.dll 1");
}

TEST_F(JournalRecovery, WhatItCannotFollowIsLeftAlone) {
  struct Case {
    const char* name;
    std::function<void(JournalRecovery&)> make;
    UString installation;  // as the caller names it
    Recovery::Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"another installation", [](JournalRecovery&) {}, u"/somewhere/else", Recovery::kOther},
      {"a damaged journal",
       [](JournalRecovery& t) {
         std::string bytes = ReadFileBytes(platform::Utf16ToUtf8(t.path_));
         WriteFileBytes(platform::Utf16ToUtf8(t.path_), bytes.substr(0, bytes.size() / 2));
       },
       u"", Recovery::kDamaged},
      {"a file replaced by someone since",
       [](JournalRecovery& t) {
         t.Swap(0);
         // (Moved away rather than deleted, so that the new file cannot
         // reuse its identity.)
         platform::RenameNoReplace(t.j_.installation + u"b.dll", t.j_.installation + u"b.moved");
         WriteFileBytes(Join(t.app_, "b.dll"), "someone else's");
       },
       u"", Recovery::kChanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    for (const std::string& n : ListDir(app_)) platform::RemoveName(U(Join(app_, n)));
    staged_.clear();
    j_.swaps.clear();
    SetUp();
    c.make(*this);
    const std::string journal_before = ReadFileBytes(platform::Utf16ToUtf8(path_));
    const std::string a_before = At("a.dll");
    const Recovery r = journal::Recover(path_, c.installation);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_FALSE(r.detail.empty());
    EXPECT_TRUE(r.steps.empty());
    EXPECT_EQ(ReadFileBytes(platform::Utf16ToUtf8(path_)), journal_before);
    EXPECT_EQ(At("a.dll"), a_before);
  }
}

}  // namespace
