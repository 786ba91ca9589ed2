// The worker's channels and update.log.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/module.h"
#include "platform/regional.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

class ChannelTest : public ::testing::Test {
 protected:
  std::string LogFile() const { return Join(dir_.Path(), "update.log"); }
  TempDir dir_;
};

TEST_F(ChannelTest, EachChannelShowsItsTextInOrder) {
  Harness h(dir_.Path());
  h.OnWorker([&] {
    h.exec->ChBottom = u"status 1";
    h.exec->Log = u"line 1";
    h.exec->Shwmess = u"box";
    h.exec->Log = u"line 2";
    h.exec->ChBottom = u"";
  });
  EXPECT_EQ(h.screen.statuses, (std::vector<UString>{u"status 1", u""}));
  EXPECT_EQ(h.screen.lines, (std::vector<UString>{u"line 1", u"line 2"}));
  EXPECT_EQ(h.screen.messages, std::vector<UString>{u"box"});
  EXPECT_EQ(h.exec->Messa, u"");  // the last report's text stays in the slot
}

TEST_F(ChannelTest, TheWorkerWaitsWhileTheMessageBoxIsOpen) {
  Harness h(dir_.Path());
  std::atomic<bool> after{false};
  bool seen_after_during_box = true;
  h.screen.on_message = [&](const UString&) { seen_after_during_box = after.load(); };
  h.OnWorker([&] {
    h.exec->Shwmess = u"wait for me";
    after = true;
  });
  EXPECT_FALSE(seen_after_during_box);
  EXPECT_TRUE(after);
}

TEST_F(ChannelTest, AFailureOfTheDisplayIsRaisedOnTheWorker) {
  Harness h(dir_.Path());
  h.screen.on_message = [](const UString&) { throw platform::Exception(u"no display"); };
  bool raised = false;
  h.OnWorker([&] {
    try {
      h.exec->Shwmess = u"x";
    } catch (const platform::Exception& e) {
      raised = e.Message() == u"no display";
    }
  });
  EXPECT_TRUE(raised);
}

TEST_F(ChannelTest, LogLinesGoToUpdateLogBesideTheExecutable) {
  {
    Harness h(dir_.Path());
    h.OnWorker([&] { h.exec->Log = u"first run"; });
  }
  {
    Harness h(dir_.Path());
    h.OnWorker([&] {
      h.exec->Log = u"second run";
      h.exec->Log = u"Terminé ....\r\n";
    });
  }
  const std::string log = ReadFileBytes(LogFile());
  const std::string e = platform::Utf16ToAnsi(u"é");
  // Created by the first line, appended to afterwards; CR LF ends each line,
  // and a text that ends with CR LF leaves an empty line.
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    const size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 4u);
  const auto text = [](const std::string& l) { return l.substr(l.find(" : ") + 3); };
  EXPECT_EQ(text(lines[0]), "first run");
  EXPECT_EQ(text(lines[1]), "second run");
  EXPECT_EQ(text(lines[2]), "Termin" + e + " ....");
  EXPECT_EQ(lines[3], "");
}

TEST_F(ChannelTest, AFileHeldByAnotherWriterLosesTheLineButNotTheView) {
  Harness h(dir_.Path());
  {
    testing_support::ExclusiveWriter other(LogFile());
    h.OnWorker([&] { h.exec->Log = u"lost"; });
  }
  h.OnWorker([&] { h.exec->Log = u"kept"; });
  EXPECT_EQ(h.screen.lines, (std::vector<UString>{u"lost", u"kept"}));
  const std::string log = ReadFileBytes(LogFile());
  EXPECT_EQ(log.find("lost"), std::string::npos);
  EXPECT_NE(log.find(" : kept\r\n"), std::string::npos);
}

TEST_F(ChannelTest, AnUnwritableLogIsSilent) {
  testing_support::MakeDir(LogFile());  // a folder where the file should be
  Harness h(dir_.Path());
  h.OnWorker([&] { h.exec->Log = u"line"; });
  EXPECT_EQ(h.screen.lines, std::vector<UString>{u"line"});
}

#ifndef _WIN32
// update.log that is a named pipe loses its lines silently, like one that is
// refused; nothing waits for a reader.
TEST_F(ChannelTest, ALogThatIsNoFileIsSilent) {
  ASSERT_TRUE(testing_support::MakeFifo(LogFile()));
  Harness h(dir_.Path());
  h.OnWorker([&] { h.exec->Log = u"line"; });
  EXPECT_EQ(h.screen.lines, std::vector<UString>{u"line"});
}
#endif

TEST(TimeStamp, MidnightHasTheDateOnly) {
  platform::LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 10;
  const UString midnight = platform::FormatTimeStamp(t);
  EXPECT_EQ(midnight.find(u' '), UString::npos);
  t.millisecond = 1;
  const UString later = platform::FormatTimeStamp(t);
  EXPECT_EQ(later.substr(0, midnight.size() + 1), midnight + u" ");
  EXPECT_GT(later.size(), midnight.size() + 1);
}

TEST(AddTrailingBackslash, AddsTheSeparatorOnce) {
  const UString s = platform::kPathSeparatorString;
  UString a = u"dir";
  AddTrailingBackslash(a);
  EXPECT_EQ(a, u"dir" + s);
  AddTrailingBackslash(a);
  EXPECT_EQ(a, u"dir" + s);
}

}  // namespace
