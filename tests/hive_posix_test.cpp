// The SQLite hive as a file on disk: its creation, sharing between processes,
// and what happens to a file that is not a usable hive.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/r_register.h"
#include "platform/hive.h"
#include "platform/posix/scoped_fd.h"
#include "tests/support/scratch.h"

namespace {

using config::TDatabaseRegistry;
using config::Variant;
using platform::UString;
using testing_support::ReadFileBytes;
using testing_support::ScratchHive;
using testing_support::WriteFileBytes;

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void Sql(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(SqliteHive, ReadsCreateNothingAndTheFirstWriteCreatesFolderAndFile) {
  ScratchHive scratch;
  {
    TDatabaseRegistry store;
    UString v;
    EXPECT_FALSE(store.ReadValueRegisterDFset(u"\\Updates", v, u"ExecPath", 256));
    EXPECT_EQ(store.ErrorMessage,
              u"Registry Read Error : Key \\Software\\Vorlo\\Updates not found!");
    EXPECT_FALSE(store.SWKeyExists());
    store.DeleteKey(u"\\Updates");
  }
  EXPECT_FALSE(Exists(scratch.File()));
  {
    TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates", Variant(u"/opt/vorlo/"), u"ExecPath");
  }
  ASSERT_TRUE(Exists(scratch.File()));
  struct stat st;
  ASSERT_EQ(stat(scratch.File().substr(0, scratch.File().rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Format: the WAL journal is recorded in the file header (bytes 18 and 19 are 2).
  const std::string head = ReadFileBytes(scratch.File()).substr(0, 20);
  EXPECT_EQ(head.substr(0, 15), "SQLite format 3");
  EXPECT_EQ(head[18], 2);
  EXPECT_EQ(head[19], 2);
}

TEST(SqliteHive, AnEmptyFileIsAnEmptyHive) {
  ScratchHive scratch;
  mkdir(scratch.File().substr(0, scratch.File().rfind('/')).c_str(), 0700);
  WriteFileBytes(scratch.File(), "");
  TDatabaseRegistry store;
  EXPECT_FALSE(store.SWKeyExists());
  store.WriteCFGtoRegister(u"\\K", Variant(int32_t{1}), u"V");
  int32_t v = 0;
  EXPECT_TRUE(store.ReadValueRegisterDFset(u"\\K", v, u"V", 3));
  EXPECT_EQ(v, 1);
}

// A file that is not a usable hive: reads say so clearly, writes change
// nothing, and the file stays byte for byte as it was.
TEST(SqliteHive, UnusableFilesAreReportedAndNeverOverwritten) {
  const struct {
    const char* what;
    void (*make)(const std::string& file);
    const char16_t* says;
  } cases[] = {
      {"not a database", [](const std::string& f) { WriteFileBytes(f, std::string(8192, 'x')); },
       u"file is not a database"},
      // Small files too: SQLite would take them for an empty database.
      {"one byte", [](const std::string& f) { WriteFileBytes(f, "x"); }, u"file is not a database"},
      {"a database header and nothing more",
       [](const std::string& f) { WriteFileBytes(f, std::string("SQLite format 3\0", 16)); },
       u"file is not a database"},
      {"another program's database",
       [](const std::string& f) {
         Sql(f, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('mine');");
       },
       u"it is not a Vorlo configuration hive"},
      {"a newer format",
       [](const std::string& f) {
         {
           TDatabaseRegistry store;
           store.WriteCFGtoRegister(u"\\Updates", Variant(u"x"), u"ExecPath");
         }
         Sql(f, "PRAGMA user_version = 7");
       },
       u"it was written by a newer version (format 7, this program knows format 1)"},
      {"damaged pages",
       [](const std::string& f) {
         {
           TDatabaseRegistry store;
           for (int i = 0; i < 200; ++i) {
             store.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{i}),
                                      u"file" + platform::IntToText(i) + u".dll");
           }
         }
         std::string bytes = ReadFileBytes(f);
         ASSERT_GT(bytes.size(), 3 * 4096u);
         for (size_t i = 4096; i < 3 * 4096; i += 7) bytes[i] = static_cast<char>(0xA5);
         WriteFileBytes(f, bytes);
       },
       u"the file is damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchHive scratch;
    mkdir(scratch.File().substr(0, scratch.File().rfind('/')).c_str(), 0700);
    c.make(scratch.File());
    const std::string before = ReadFileBytes(scratch.File());

    TDatabaseRegistry store;
    UString v = u"kept";
    EXPECT_FALSE(store.ReadValueRegisterDFset(u"\\Updates", v, u"ExecPath", 256));
    EXPECT_EQ(v, u"kept");
    const UString expected = u"Registry Read Error : The configuration hive " +
                             platform::Utf8ToUtf16(scratch.File()) + u" cannot be used: ";
    EXPECT_EQ(store.ErrorMessage.substr(0, expected.size()), expected)
        << platform::Utf16ToUtf8(store.ErrorMessage);
    EXPECT_NE(store.ErrorMessage.find(c.says), UString::npos)
        << platform::Utf16ToUtf8(store.ErrorMessage);

    // A second read through the same store names the file again.
    EXPECT_FALSE(store.ReadValueRegisterDFset(u"\\Updates", v, u"ExecPath", 256));
    EXPECT_EQ(store.ErrorMessage.substr(0, expected.size()), expected)
        << platform::Utf16ToUtf8(store.ErrorMessage);

    store.WriteCFGtoRegister(u"\\Updates", Variant(u"new"), u"ExecPath");
    store.DeleteKey(u"");
    EXPECT_FALSE(store.SubKeyexists(u"\\Updates"));
    EXPECT_EQ(ReadFileBytes(scratch.File()), before);
  }
}

TEST(SqliteHive, TheHiveAndItsCompanionFilesAreTheUsersOnly) {
  ScratchHive scratch;
  {
    TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates", Variant(u"x"), u"ExecPath");
    // While a store is open the WAL journal's companion files exist.
    TDatabaseRegistry reader;
    UString v;
    ASSERT_TRUE(reader.ReadValueRegisterDFset(u"\\Updates", v, u"ExecPath", 256));
    platform::Hive hive;
    auto key = hive.Create(u"Software\\Vorlo\\Updates");
    ASSERT_TRUE(key.has_value());
    for (const char* suffix : {"", "-wal", "-shm"}) {
      SCOPED_TRACE(suffix);
      struct stat st;
      ASSERT_EQ(stat((scratch.File() + suffix).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
  }
  struct stat st;
  ASSERT_EQ(stat(scratch.File().substr(0, scratch.File().rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The statements a connection keeps between uses hold no snapshot and no
// lock: a value written by another program in between is read, and the other
// program can checkpoint the whole journal while the connection stays open.
TEST(SqliteHive, KeptStatementsSeeLaterWritesAndHoldNoLock) {
  ScratchHive scratch;
  platform::Hive hive;
  auto key = hive.Create(u"Software\\Vorlo\\Updates\\files");
  ASSERT_TRUE(key.has_value());
  ASSERT_TRUE(key->Write(u"a.dll", platform::RegValue::Text(u"1")));
  platform::RegValue v;
  ASSERT_TRUE(key->Read(u"a.dll", &v));
  EXPECT_EQ(v.AsText(), u"1");
  Sql(scratch.File(), "UPDATE vals SET data = '10' WHERE name = 'a.dll'");
  ASSERT_TRUE(key->Read(u"a.dll", &v));
  EXPECT_EQ(v.AsText(), u"10");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(scratch.File().c_str(), &other), SQLITE_OK);
  int busy = -1;
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(other, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &check, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  busy = sqlite3_column_int(check, 0);
  sqlite3_finalize(check);
  sqlite3_close(other);
  EXPECT_EQ(busy, 0);
}

// A writer that keeps the hive locked longer than the wait: the words say
// the hive is busy, not damaged.
TEST(SqliteHive, AHiveLockedByAnotherWriterIsBusyNotDamaged) {
  ScratchHive scratch;
  {
    TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates", Variant(u"x"), u"ExecPath");
  }
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(scratch.File().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  try {
    platform::Hive hive;
    hive.Create(u"Software\\Vorlo\\Other");
    ADD_FAILURE() << "the write went through";
  } catch (const platform::HiveError& e) {
    EXPECT_EQ(e.Message(), u"The configuration hive " + platform::Utf8ToUtf16(scratch.File()) +
                               u" is in use by another program: try again in a moment");
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
}

// Many processes write to a hive that does not exist yet, while others read
// it: every write is there afterwards, and no reader ever finds the hive
// unusable (it is not there yet, or it is whole).
TEST(SqliteHive, ManyProcessesCreateTheHiveAtOnce) {
  constexpr int kRounds = 12;
  constexpr int kWriters = 6;
  constexpr int kReaders = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    ScratchHive scratch;
    int go_fds[2];
    ASSERT_EQ(pipe(go_fds), 0);
    platform::ScopedFd go_read(go_fds[0]), go_write(go_fds[1]);
    std::vector<pid_t> children;
    for (int i = 0; i < kWriters + kReaders; ++i) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        go_write.reset();
        char c;
        if (read(go_read.get(), &c, 1) != 0) _exit(3);  // all start when the pipe closes
        if (i < kWriters) {
          TDatabaseRegistry store;
          store.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{i}),
                                   u"w" + platform::IntToText(i));
          int64_t v = -1;
          _exit(store.ReadValueRegisterDFset(u"\\Updates\\files", v, u"w" + platform::IntToText(i),
                                             20) &&
                        v == i
                    ? 0
                    : 1);
        }
        for (int k = 0; k < 50; ++k) {
          TDatabaseRegistry store;
          int64_t v = -1;
          if (!store.ReadValueRegisterDFset(u"\\Updates\\files", v, u"w0", 20) &&
              store.ErrorMessage.find(u"cannot be used") != UString::npos) {
            _exit(2);
          }
        }
        _exit(0);
      }
      children.push_back(pid);
    }
    go_read.reset();
    go_write.reset();
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "child " << pid << " status " << status;
    }
    TDatabaseRegistry store;
    for (int i = 0; i < kWriters; ++i) {
      int64_t v = -1;
      EXPECT_TRUE(
          store.ReadValueRegisterDFset(u"\\Updates\\files", v, u"w" + platform::IntToText(i), 20))
          << platform::Utf16ToUtf8(store.ErrorMessage);
      EXPECT_EQ(v, i);
    }
  }
}

// One process writes while another reads: the busy timeout and the WAL
// journal let both go on, and nothing is lost.
TEST(SqliteHive, TwoProcessesWriteAndReadAtOnce) {
  ScratchHive scratch;
  {
    TDatabaseRegistry store;
    store.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{-1}), u"seed");
  }
  constexpr int kCount = 300;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 0; i < kCount; ++i) {
      TDatabaseRegistry store;
      store.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{i}),
                               u"w" + platform::IntToText(i));
    }
    _exit(0);
  }
  int hive_errors = 0;
  for (int i = 0; i < kCount; ++i) {
    TDatabaseRegistry store;
    TDatabaseRegistry writer;
    writer.WriteCFGtoRegister(u"\\Updates\\files", Variant(int64_t{i}),
                              u"r" + platform::IntToText(i));
    int64_t v = -1;
    if (!store.ReadValueRegisterDFset(u"\\Updates\\files", v, u"w" + platform::IntToText(i), 20) &&
        store.ErrorMessage.find(u"value does not exists") == UString::npos) {
      ++hive_errors;
      ADD_FAILURE() << platform::Utf16ToUtf8(store.ErrorMessage);
    }
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(hive_errors, 0);
  TDatabaseRegistry store;
  for (int i = 0; i < kCount; ++i) {
    for (const char16_t* prefix : {u"w", u"r"}) {
      int64_t v = -1;
      ASSERT_TRUE(
          store.ReadValueRegisterDFset(u"\\Updates\\files", v, prefix + platform::IntToText(i), 20))
          << platform::Utf16ToUtf8(store.ErrorMessage);
      EXPECT_EQ(v, i);
    }
  }
}

}  // namespace
