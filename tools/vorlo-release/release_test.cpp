// vorlo-release: the names it refuses, the release it finds between two
// folders and writes, and its check of a download folder.
#include "tools/vorlo-release/release.h"

#include <gtest/gtest.h>

#include "platform/module.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using release::CheckLine;
using release::Plan;
using release::ReleaseFile;
using testing_support::Join;
using testing_support::MakeDir;
using testing_support::TempDir;
using testing_support::U;
using testing_support::WriteFileBytes;

const UString kSep = platform::kPathSeparatorString;

// The refusals (and notes) a release of these new files and drops earns; each
// case names the words one refusal must hold, or none.
TEST(ReleaseNames, RefusedWhereTheUpdaterWouldGoWrong) {
  const UString long_name(252, u'n');  // + ".old" is 256
  const struct {
    std::vector<ReleaseFile> shipped;
    std::vector<UString> dropped;
    const char16_t* refusal;  // null: accepted
  } cases[] = {
      {{{u"vorlo.exe", 5}, {u"lib" + kSep + u"a.dll", 3}}, {u"old.dll"}, nullptr},
      // One recorded size per file name.
      {{{u"vorlo.exe", 5}, {u"a" + kSep + u"x.dll", 3}, {u"b" + kSep + u"X.DLL", 4}},
       {},
       u"Files of one name with different sizes"},
      {{{u"vorlo.exe", 5}, {u"a" + kSep + u"x.dll", 3}, {u"b" + kSep + u"x.dll", 3}}, {}, nullptr},
      {{{u"vorlo.exe", 5}, {u"update.exe", 9}}, {}, u"never replaces itself"},
      {{{u"vorlo.exe", 5}, {u"tools" + kSep + u"UPDATE.EXE", 9}}, {}, nullptr},
      {{{u"vorlo.exe", 5}, {u".. " + kSep + u"a.dll", 1}}, {}, u"\"..\" component"},
      {{{u"vorlo.exe", 5}, {u"a:b.dll", 1}}, {}, u"colon"},
      {{{u"vorlo.exe", 5}, {u"a\tb.dll", 1}}, {}, u"control character"},
      {{{u"vorlo.exe", 5}, {u"say \"hi\".txt", 1}}, {}, u"double quote"},
      {{{u"vorlo.exe", 5}, {u" lead.txt", 1}}, {}, u"blank"},
      {{{u"vorlo.exe", 5}, {u"[End]", 1}}, {}, u"section key"},
      {{{u"vorlo.exe", 5}, {long_name, 1}}, {}, u"backup name"},
      {{{u"vorlo.exe", 5}, {long_name.substr(1), 1}}, {}, nullptr},
      {{{u"vorlo.exe", 5}}, {u"gone:stream"}, u"(dropped)"},
      {{{u"vorlo.exe", 5}}, {u"Update.exe"}, u"delete itself"},
      {{{u"vorlo.exe", 5}}, {u"update"}, u"delete itself"},
      // The updater starts the first entry naming vorlo.exe.
      {{{u"plugins" + kSep + u"vorlo.exe.dll", 2}}, {}, u"would be started as Vorlo"},
      {{{u"plugins" + kSep + u"vorlo.exe.dll", 2}, {u"Vorlo.exe", 5}}, {}, nullptr},
  };
  for (const auto& c : cases) {
    Plan plan;
    plan.added = c.shipped;
    plan.dropped = c.dropped;
    release::CheckNames(&plan);
    const UString first = c.shipped.size() > 1 ? c.shipped[1].path : c.shipped[0].path;
    if (c.refusal == nullptr) {
      EXPECT_TRUE(plan.refusals.empty())
          << platform::Utf16ToUtf8(first) << ": " << platform::Utf16ToUtf8(plan.refusals[0]);
    } else {
      ASSERT_EQ(plan.refusals.size(), 1u) << platform::Utf16ToUtf8(first);
      EXPECT_NE(plan.refusals[0].find(c.refusal), UString::npos)
          << platform::Utf16ToUtf8(plan.refusals[0]);
    }
  }
  // One SHA-256 per file name too: files of one name and size but other
  // contents are refused while the release records SHA-256.
  for (const bool sha256 : {true, false}) {
    Plan plan;
    plan.sha256 = sha256;
    plan.added = {{u"vorlo.exe", 5, u"aa"},
                  {u"a" + kSep + u"x.ini", 3, u"bb"},
                  {u"b" + kSep + u"x.ini", 3, u"cc"}};
    release::CheckNames(&plan);
    EXPECT_EQ(plan.refusals.size(), sha256 ? 1u : 0u);
    if (sha256) {
      EXPECT_NE(plan.refusals[0].find(u"different contents"), UString::npos);
    }
  }
  // Without vorlo.exe the release is fine, but Vorlo is not started again.
  Plan plan;
  plan.added = {{u"readme.txt", 1}};
  release::CheckNames(&plan);
  EXPECT_TRUE(plan.refusals.empty());
  ASSERT_EQ(plan.notes.size(), 1u);
}

TEST(ReleaseNames, VorloComesFirstInTheManifest) {
  Plan plan;
  plan.added = {{u"a.dll", 1}, {u"plugins" + kSep + u"vorlo.exe.dll", 2}};
  plan.changed = {{u"VORLO.EXE", 3}};
  plan.dropped = {u"old" + kSep + u"b.dll"};
  EXPECT_EQ(release::ManifestBytes(plan),
            "[LocalFiles]\r\nVORLO.EXE\r\na.dll\r\nplugins\\vorlo.exe.dll\r\n[end]\r\n"
            "[DeleteLocalFiles]\r\nold\\b.dll\r\n[end]\r\n");
}

class ReleaseFolders : public ::testing::Test {
 protected:
  void Put(const std::string& folder, const std::string& path, const std::string& bytes) {
    std::string at = folder;
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
      at = Join(at, path.substr(start, slash - start));
      MakeDir(at);
    }
    WriteFileBytes(Join(at, path.substr(start)), bytes);
  }
  std::string Dir(const std::string& name) {
    const std::string d = Join(tmp_.Path(), name);
    MakeDir(d);
    return d;
  }
  TempDir tmp_;
};

TEST_F(ReleaseFolders, FindsNewChangedAndDroppedFilesAndWritesTheDownload) {
  const std::string old_dir = Dir("old"), new_dir = Dir("new");
  for (const auto& [path, bytes] :
       std::vector<std::pair<std::string, std::string>>{{"vorlo.exe", "v1"},
                                                        {"lib/engine.dll", "abc"},
                                                        {"lib/same.dll", "same"},
                                                        {"old.dll", "x"},
                                                        {"update.log", "log"},
                                                        {"vorlo.exe.old", "v0"}}) {
    Put(old_dir, path, bytes);
  }
  Put(new_dir, "vorlo.exe", "v2-longer");
  Put(new_dir, "lib/engine.dll", "abd");  // same size, other content
  Put(new_dir, "lib/same.dll", "same");
  Put(new_dir, "help/guide.pdf", "guide");

  Plan plan;
  UString error;
  ASSERT_TRUE(release::MakePlan(U(old_dir), U(new_dir), true, &plan, &error))
      << platform::Utf16ToUtf8(error);
  EXPECT_TRUE(plan.refusals.empty());
  ASSERT_EQ(plan.added.size(), 1u);
  EXPECT_EQ(plan.added[0].path, u"help" + kSep + u"guide.pdf");
  ASSERT_EQ(plan.changed.size(), 2u);
  EXPECT_EQ(plan.changed[0].path, u"lib" + kSep + u"engine.dll");
  // update.log and the backup belong to the installation, not the release.
  EXPECT_EQ(plan.dropped, std::vector<UString>{u"old.dll"});
  // help/ is new: said, since the updater does not make folders.
  ASSERT_EQ(plan.notes.size(), 1u);
  EXPECT_NE(plan.notes[0].find(u"New folders help:"), UString::npos);

  const std::string out = Join(tmp_.Path(), "out");
  size_t calls = 0;
  ASSERT_TRUE(release::WriteRelease(
      plan, U(new_dir), U(out), [&](size_t, size_t, int64_t, int64_t) { ++calls; }, &error));
  EXPECT_EQ(calls, 3u);
  EXPECT_EQ(testing_support::ReadFileBytes(Join(Join(out, "lib"), "engine.dll")), "abd");
  EXPECT_FALSE(testing_support::PathExists(Join(Join(out, "lib"), "same.dll")));
  EXPECT_TRUE(testing_support::PathExists(Join(out, "sizes.reg")));
  EXPECT_EQ(plan.changed[0].sha256,
            u"a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9");

  // What the updater would do with it: a release that installs whole (the
  // default).
  release::CheckReport report;
  ASSERT_TRUE(release::CheckDownload(U(out), &report, &error));
  EXPECT_TRUE(report.Ok() && report.sizes_known);
  EXPECT_TRUE(report.whole);
  ASSERT_EQ(report.lines.size(), 5u);
  EXPECT_EQ(report.lines[0].kind, CheckLine::kAdd);
  EXPECT_EQ(report.lines[3].kind, CheckLine::kDelete);
  EXPECT_EQ(report.lines[4].kind, CheckLine::kRestart);
  EXPECT_EQ(report.lines[4].path, u"vorlo.exe");

  // A second release never goes into a folder that holds one.
  EXPECT_FALSE(release::WriteRelease(plan, U(new_dir), U(out), nullptr, &error));
  EXPECT_NE(error.find(u"not empty"), UString::npos);
}

TEST_F(ReleaseFolders, CheckTellsWhatTheUpdaterWouldLeaveOut) {
  const std::string dl = Dir("dl");
  Put(dl, "vorlo.exe", "new");
  Put(dl, "short.dll", "cut");
  Put(dl, "UPDATE.EXE", "u");
  Put(dl, "damaged.dll", "abd");
  Put(dl, "current_release.txt",
      "[LocalFiles]\r\nvorlo.exe\r\nshort.dll\r\nabsent.dll\r\n..\\up.dll\r\nUPDATE.EXE\r\n"
      "damaged.dll\r\n"
      "[end]\r\n[DeleteLocalFiles]\r\nold.dll\r\n[end]\r\n");
  // sizes.reg as REGEDIT4, a form the updater's makers may write by hand.
  Put(dl, "sizes.reg",
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\files]\r\n"
      "\"vorlo.exe\"=\"3\"\r\n\"short.dll\"=\"10\"\r\n\"UPDATE.EXE\"=\"1\"\r\n"
      "\"damaged.dll\"=\"3\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\sha256]\r\n"
      // "abc" was shipped; "abd" arrived.
      "\"damaged.dll\"="
      "\"\\\"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\\\"\"\r\n"
      // The same digest in lower case: matches.
      "\"vorlo.exe\"="
      "\"\\\"11507a0e2f5e69d5dfa40a62a1bd7b6ee57e6bcd85c67c9b8431b36fff21c437\\\"\"\r\n");
  release::CheckReport report;
  UString error;
  ASSERT_TRUE(release::CheckDownload(U(dl), &report, &error));
  EXPECT_FALSE(report.Ok());
  const std::vector<std::pair<CheckLine::Kind, UString>> expected = {
      {CheckLine::kAdd, u"vorlo.exe"},      {CheckLine::kSizeMismatch, u"short.dll"},
      {CheckLine::kMissing, u"absent.dll"}, {CheckLine::kRefused, u".." + kSep + u"up.dll"},
      {CheckLine::kKept, u"UPDATE.EXE"},    {CheckLine::kContentMismatch, u"damaged.dll"},
      {CheckLine::kDelete, u"old.dll"},     {CheckLine::kRestart, u"vorlo.exe"},
  };
  ASSERT_EQ(report.lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(report.lines[i].kind, expected[i].first) << i;
    EXPECT_EQ(report.lines[i].path, expected[i].second) << i;
  }
  EXPECT_EQ(report.lines[1].recorded, 10);
  EXPECT_EQ(report.lines[1].actual, 3);
}

TEST_F(ReleaseFolders, TheReleaseSaysWhetherItInstallsWhole) {
  const std::string old_dir = Dir("old"), new_dir = Dir("new");
  Put(old_dir, "vorlo.exe", "v1");
  Put(new_dir, "vorlo.exe", "v2");
  for (const bool whole : {true, false}) {
    SCOPED_TRACE(whole);
    Plan plan;
    UString error;
    ASSERT_TRUE(release::MakePlan(U(old_dir), U(new_dir), true, &plan, &error));
    plan.whole = whole;
    const std::string out = Join(tmp_.Path(), whole ? "whole" : "per-file");
    ASSERT_TRUE(release::WriteRelease(plan, U(new_dir), U(out), nullptr, &error));
    release::CheckReport report;
    ASSERT_TRUE(release::CheckDownload(U(out), &report, &error));
    EXPECT_EQ(report.whole, whole);
  }
  // A value that is no DWORD 1, or one taken out again, asks for nothing.
  for (const char* value : {"dword:00000000", "\"1\"", "-"}) {
    SCOPED_TRACE(value);
    const std::string dl = Dir(std::string("dl-") + (value[0] == '-'   ? "removed"
                                                     : value[0] == 'd' ? "zero"
                                                                       : "text"));
    Put(dl, "vorlo.exe", "v2");
    Put(dl, "current_release.txt", "[LocalFiles]\r\nvorlo.exe\r\n[end]\r\n");
    Put(dl, "sizes.reg",
        std::string("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates]\r\n"
                    "\"WholeRelease\"=") +
            value +
            "\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorlo\\Updates\\files]\r\n"
            "\"vorlo.exe\"=\"2\"\r\n");
    release::CheckReport report;
    UString error;
    ASSERT_TRUE(release::CheckDownload(U(dl), &report, &error)) << platform::Utf16ToUtf8(error);
    EXPECT_FALSE(report.whole);
    EXPECT_TRUE(report.Ok());
  }
}

}  // namespace
