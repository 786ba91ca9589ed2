// Faults below the engine on Linux: each system call of the file layer made
// to fail as the system would, one case at a time, during a real exchange.
// Whatever fails, the installed name holds a whole file (the old one, or the
// new one when the layer could go on) and no temporary file is left.
#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "platform/files.h"
#include "platform/posix/file_calls.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using platform::Calls;
using platform::FileCalls;
using platform::UString;
using testing_support::Harness;
using testing_support::Join;
using testing_support::ReadFileBytes;
using testing_support::U;
using testing_support::WriteFileBytes;

// When a call fails: from its `at`-th use (counting from 0) for `times` uses,
// with `err`; for a write or a copy, `short_to` makes those uses take at most
// that many bytes instead, and an `err` of 0 makes them take nothing.
struct Plan {
  int at = -1;
  int times = 1;
  int err = 0;
  size_t short_to = 0;
  int calls = 0;
  bool Due() {
    const int n = calls++;
    return at >= 0 && n >= at && n < at + times;
  }
};

// One plan per call; the cases set the ones they need.
struct Plans {
  Plan open, mkostemps, read, write, copy, ftruncate, fsync, syncfs, close, rename, renameat2, link,
      unlink;
  // Failures of a write or a copy beside their shortening (checked first).
  Plan write_err, copy_err;
} g;

// A write or a copy under its two plans: answers -1 or 0 when the call is
// to fail or to take nothing, else the length it may take.
ssize_t Limit(Plan& err, Plan& shorten, size_t* n) {
  if (err.Due()) {
    errno = err.err;
    return err.err == 0 ? 0 : -1;
  }
  if (shorten.Due()) {
    if (shorten.short_to == 0) {
      errno = shorten.err;
      return shorten.err == 0 ? 0 : -1;
    }
    *n = std::min(*n, shorten.short_to);
  }
  return 1;
}

template <typename R>
R Fail(const Plan& p) {
  errno = p.err;
  return static_cast<R>(-1);
}

// The real system's calls, saved before the wrappers go in.
FileCalls g_real;

// Puts a wrapper in every entry for the life of the object.
class Faults {
 public:
  Faults() {
    g_real = Calls();
    g = Plans{};
    Calls() = FileCalls{
        [](const char* p, int f, mode_t m) {
          return g.open.Due() ? Fail<int>(g.open) : g_real.open(p, f, m);
        },
        [](char* p, int s, int f) {
          return g.mkostemps.Due() ? Fail<int>(g.mkostemps) : g_real.mkostemps(p, s, f);
        },
        [](int fd, void* b, size_t n) {
          return g.read.Due() ? Fail<ssize_t>(g.read) : g_real.read(fd, b, n);
        },
        [](int fd, const void* b, size_t n) {
          const ssize_t r = Limit(g.write_err, g.write, &n);
          return r <= 0 ? r : g_real.write(fd, b, n);
        },
        [](int in, off_t* io, int out, off_t* oo, size_t n, unsigned int f) {
          const ssize_t r = Limit(g.copy_err, g.copy, &n);
          return r <= 0 ? r : g_real.copy_file_range(in, io, out, oo, n, f);
        },
        [](int fd, off_t l) {
          return g.ftruncate.Due() ? Fail<int>(g.ftruncate) : g_real.ftruncate(fd, l);
        },
        [](int fd) { return g.fsync.Due() ? Fail<int>(g.fsync) : g_real.fsync(fd); },
        [](int fd) { return g.syncfs.Due() ? Fail<int>(g.syncfs) : g_real.syncfs(fd); },
        [](int fd) {
          // A close that reports a failure has closed the descriptor all the same.
          const int rc = g_real.close(fd);
          return g.close.Due() ? Fail<int>(g.close) : rc;
        },
        [](const char* a, const char* b) {
          return g.rename.Due() ? Fail<int>(g.rename) : g_real.rename(a, b);
        },
        [](int ad, const char* a, int bd, const char* b, unsigned int f) {
          return g.renameat2.Due() ? Fail<int>(g.renameat2) : g_real.renameat2(ad, a, bd, b, f);
        },
        [](const char* a, const char* b) {
          return g.link.Due() ? Fail<int>(g.link) : g_real.link(a, b);
        },
        [](const char* p) { return g.unlink.Due() ? Fail<int>(g.unlink) : g_real.unlink(p); },
    };
  }
  ~Faults() { Calls() = g_real; }
  Faults(const Faults&) = delete;
  Faults& operator=(const Faults&) = delete;
};

class ExchangeFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Large enough for several reads and writes of the copy by hand.
    old_ = std::string(3 << 20, 'o');
    new_ = std::string((3 << 20) + 7, 'n');
  }
  // The old file installed and `content` downloaded, then exchanged on a
  // worker with the faults `plan` sets in place; answers the run's harness.
  std::unique_ptr<Harness> ExchangeUnder(const std::string& content,
                                         const std::function<void()>& plan) {
    WriteFileBytes(Join(r_.app, "a.bin"), old_);
    WriteFileBytes(Join(r_.dl, "a.bin"), content);
    std::remove(Join(r_.app, "a.bin.old").c_str());
    auto h = std::make_unique<Harness>(r_.dir.Path());
    h->exec->Exe_Path = U(r_.app) + u"/";
    h->exec->User_Path = U(r_.dl) + u"/";
    Faults faults;
    plan();
    h->OnWorker([&] { h->exec->ExchangeFile(u"a.bin"); });
    return h;
  }
  std::vector<std::string> StagedLeft() const {
    std::vector<std::string> left;
    for (const std::string& name : testing_support::ListDir(r_.app)) {
      if (platform::IsStagedName(U(name))) left.push_back(name);
    }
    return left;
  }

  testing_support::ReleaseFolders r_;
  std::string old_, new_;
};

TEST_F(ExchangeFaultTest, EveryFaultLeavesAWholeFileAndNoTemporaryFile) {
  const Plan eintr_once{0, 1, EINTR};
  const struct {
    const char* what;
    Plan Plans::*call;
    Plan plan;
    Plan Plans::*also = nullptr;  // a second fault of the same case
    Plan also_plan = {};
    bool installs;           // the new file gets in
    const char16_t* phase3;  // the line after "Copie le fichier"
  } cases[] = {
      // The layer goes on.
      {"copy_file_range interrupted",
       &Plans::copy,
       eintr_once,
       nullptr,
       {},
       true,
       u"Fichier copié !"},
      {"copy_file_range copies a little at a time",
       &Plans::copy,
       {0, 1000, 0, 4096},
       nullptr,
       {},
       true,
       u"Fichier copié !"},
      {"copy_file_range across file systems (EXDEV): by hand",
       &Plans::copy,
       {0, 1, EXDEV},
       nullptr,
       {},
       true,
       u"Fichier copié !"},
      {"by hand, after some bytes by the kernel",
       &Plans::copy,
       {0, 1, 0, 4096},
       &Plans::copy_err,
       {1, 1, EXDEV},
       true,
       u"Fichier copié !"},
      {"by hand, writes interrupted",
       &Plans::copy,
       {0, 1, EXDEV},
       &Plans::write,
       {0, 3, EINTR},
       true,
       u"Fichier copié !"},
      {"by hand, short writes",
       &Plans::copy,
       {0, 1, EXDEV},
       &Plans::write,
       {0, 100, 0, 1000},
       true,
       u"Fichier copié !"},
      {"by hand, reads interrupted",
       &Plans::copy,
       {0, 1, ENOSYS},
       &Plans::read,
       {1, 2, EINTR},
       true,
       u"Fichier copié !"},
      {"fsync interrupted", &Plans::fsync, eintr_once, nullptr, {}, true, u"Fichier copié !"},
      {"no links here (EPERM): the rename",
       &Plans::link,
       {0, 1, EPERM},
       nullptr,
       {},
       true,
       u"Fichier copié !"},
      // The new file cannot get in: the installed one stays, whole.
      {"disk full in the kernel's copy",
       &Plans::copy,
       {0, 1, ENOSPC},
       nullptr,
       {},
       false,
       u"Ne peut copier :"},
      {"disk full after some bytes by hand",
       &Plans::copy,
       {0, 1, EXDEV},
       &Plans::write_err,
       {2, 1, ENOSPC},
       false,
       u"Ne peut copier :"},
      {"a write of nothing by hand",
       &Plans::copy,
       {0, 1, EXDEV},
       &Plans::write_err,
       {1, 1, 0},
       false,
       u"Ne peut copier :"},
      {"the kernel's copy stops early: by hand",
       &Plans::copy,
       {0, 1, 0},
       nullptr,
       {},
       true,
       u"Fichier copié !"},
      {"a read error by hand",
       &Plans::copy,
       {0, 1, EXDEV},
       &Plans::read,
       {1, 1, EIO},
       false,
       u"Ne peut copier :"},
      {"fsync fails", &Plans::fsync, {0, 1, EIO}, nullptr, {}, false, u"Ne peut copier :"},
      {"close reports a write error",
       &Plans::close,
       {0, 1, EIO},
       nullptr,
       {},
       false,
       u"Ne peut copier :"},
      {"no temporary file can be made",
       &Plans::mkostemps,
       {0, 1, EACCES},
       nullptr,
       {},
       false,
       u"Ne peut copier :"},
      {"the move into place is refused",
       &Plans::rename,
       {0, 1, EACCES},
       nullptr,
       {},
       false,
       u"Ne peut copier :"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto run = ExchangeUnder(new_, [&] {
      g.*c.call = c.plan;
      if (c.also != nullptr) g.*c.also = c.also_plan;
    });
    const Harness& h = *run;
    EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.bin")), c.installs ? new_ : old_);
    EXPECT_EQ(StagedLeft(), std::vector<std::string>{});
    const auto& lines = h.screen.lines;
    ASSERT_GE(lines.size(), 4u);
    const UString phase3 = c.phase3;
    const UString line = c.installs ? lines.back() : lines[lines.size() - 2];
    EXPECT_EQ(line.substr(0, phase3.size()), phase3);
    if (c.installs) {
      EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.bin.old")), old_);
    } else {
      EXPECT_EQ(lines.back().substr(0, 17), u"Remis en place : ");
      EXPECT_FALSE(testing_support::PathExists(Join(r_.app, "a.bin.old")));
    }
  }
}

// A file larger than the pieces the copy goes in (the disk starts writing
// each one as it is copied) arrives whole and in order, by the kernel and by
// hand from wherever the kernel stopped.
TEST_F(ExchangeFaultTest, AFileOfManyPiecesArrivesWhole) {
  std::string big((17 << 20) + 4097, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  const struct {
    const char* what;
    Plan copy_err;
  } cases[] = {
      {"by the kernel", {}},
      {"by hand after the first piece", {1, 1, EXDEV}},
      {"by hand from the start", {0, 1, EXDEV}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto run = ExchangeUnder(big, [&] { g.copy_err = c.copy_err; });
    EXPECT_TRUE(ReadFileBytes(Join(r_.app, "a.bin")) == big);
    EXPECT_EQ(run->screen.lines.back(), u"Fichier copié !");
    EXPECT_EQ(StagedLeft(), std::vector<std::string>{});
  }
}

// Neither a link nor a rename: the backup is refused, and the new file still
// replaces the installed one in one step.
TEST_F(ExchangeFaultTest, ABackupRefusedEverywhere) {
  WriteFileBytes(Join(r_.app, "a.bin"), old_);
  WriteFileBytes(Join(r_.dl, "a.bin"), new_);
  Harness h(r_.dir.Path());
  h.exec->Exe_Path = U(r_.app) + u"/";
  h.exec->User_Path = U(r_.dl) + u"/";
  {
    Faults faults;
    g.link = {0, 10, EPERM};
    g.renameat2 = {0, 10, EACCES};
    h.OnWorker([&] { h.exec->ExchangeFile(u"a.bin"); });
  }
  const auto& lines = h.screen.lines;
  EXPECT_EQ(lines[1], u"Ne peut renomer : " + U(r_.app) + u"/a.bin");
  EXPECT_EQ(lines.back(), u"Fichier copié !");
  EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.bin")), new_);
  EXPECT_EQ(StagedLeft(), std::vector<std::string>{});
}

// A release's files are flushed together, one flush of the file system;
// where that fails, each file is flushed on its own, and a file that cannot
// be flushed gets its failure lines at its turn.
TEST_F(ExchangeFaultTest, AFlushOfTheWholeSetThatFailsFallsBackToEachFile) {
  struct Case {
    const char* name;
    Plan syncfs, fsync;
    const char16_t* a_ends;  // the last line of a.bin's exchange
    std::string a_after;
  };
  for (const Case& c :
       {Case{"the set flushed", {}, {}, u"Fichier copié !", "a 2"},
        Case{"the set refused, each file flushed", {0, 1, EIO}, {}, u"Fichier copié !", "a 2"},
        Case{"the set refused, and the first file",
             {0, 1, EIO},
             {0, 1, EIO},
             u"Remis en place : ",
             "a 1"}}) {
    SCOPED_TRACE(c.name);
    for (const char* f : {"a.bin", "b.bin"}) {
      WriteFileBytes(Join(r_.app, f), std::string(1, f[0]) + " 1");
      WriteFileBytes(Join(r_.dl, f), std::string(1, f[0]) + " 2");
      std::remove(Join(r_.app, std::string(f) + ".old").c_str());
    }
    Harness h(r_.dir.Path());
    h.exec->Exe_Path = U(r_.app) + u"/";
    h.exec->User_Path = U(r_.dl) + u"/";
    {
      Faults faults;
      g.syncfs = c.syncfs;
      g.fsync = c.fsync;
      h.OnWorker([&] { h.exec->ExchangeRelease({u"a.bin", u"b.bin"}, false); });
    }
    const auto& lines = h.screen.lines;
    ASSERT_GE(lines.size(), 8u);
    // a.bin's lines come first, b.bin's last.
    const auto a_end =
        std::find(lines.begin(), lines.end(),
                  u"Renomme : " + U(r_.app) + u"/b.bin en " + U(r_.app) + u"/b.bin.old");
    ASSERT_NE(a_end, lines.end());
    EXPECT_EQ((a_end - 1)->substr(0, std::char_traits<char16_t>::length(c.a_ends)), c.a_ends);
    EXPECT_EQ(lines.back(), u"Fichier copié !");
    EXPECT_EQ(ReadFileBytes(Join(r_.app, "a.bin")), c.a_after);
    EXPECT_EQ(ReadFileBytes(Join(r_.app, "b.bin")), "b 2");
    EXPECT_EQ(StagedLeft(), std::vector<std::string>{});
  }
}

// update.log takes a line whole or not at all: a disk that fills up in the
// middle of a line leaves the file as it was, and the next line starts clean.
TEST_F(ExchangeFaultTest, ALogLineIsWrittenWholeOrNotAtAll) {
  Harness h(r_.dir.Path());
  const std::string log = Join(r_.dir.Path(), "update.log");
  h.OnWorker([&] { h.exec->Log = u"first"; });
  const std::string before = ReadFileBytes(log);
  {
    Faults faults;
    g.write = {0, 1, 0, 5};        // five bytes go in,
    g.write_err = {1, 1, ENOSPC};  // then the disk is full
    h.OnWorker([&] { h.exec->Log = u"a line that does not fit"; });
  }
  EXPECT_EQ(h.screen.lines.back(), u"a line that does not fit");  // the view has it
  EXPECT_EQ(ReadFileBytes(log), before);
  h.OnWorker([&] { h.exec->Log = u"next"; });
  const std::string after = ReadFileBytes(log);
  EXPECT_EQ(after.substr(0, before.size()), before);
  // The next line follows the last whole one, with its own time stamp.
  const std::string added = after.substr(before.size());
  EXPECT_EQ(added.substr(added.size() - 9), " : next\r\n");
  EXPECT_EQ(added.find("\r\n"), added.size() - 2);
}

}  // namespace
