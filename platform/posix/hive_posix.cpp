// The hive on Linux: one SQLite database per user, laid out as
// docs/registry-hive.md describes. WAL journal and a busy timeout let another
// process write while this one reads.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/hive.h"
#include "platform/posix/scoped_fd.h"

namespace platform {
namespace {

constexpr int kSchemaVersion = 1;
constexpr int kApplicationId = 0x566F726C;  // "Vorl"
constexpr int kBusyTimeoutMs = 5000;

std::string HiveFile() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* pw = getpwuid(getuid());
      home = pw != nullptr ? pw->pw_dir : "/";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/vorlo/registry.db";
}

// mkdir -p, private to the user.
bool MakeFolders(const std::string& folder) {
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos == folder.size() || folder[pos] == '/') {
      const std::string part = folder.substr(0, pos);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

// Key paths: one leading and one trailing backslash dropped; empty components
// are not allowed. Returns false for an invalid path.
bool SplitPath(UStringView path, std::vector<UString>* parts) {
  if (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  parts->clear();
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t sep = path.find(u'\\', start);
    const UStringView part =
        path.substr(start, sep == UStringView::npos ? UStringView::npos : sep - start);
    if (part.empty()) return false;
    parts->emplace_back(part);
    if (sep == UStringView::npos) return true;
    start = sep + 1;
  }
}

std::string Fold(UStringView s) { return Utf16ToUtf8(UpperCase(s)); }

[[noreturn]] void FailUnusable(const std::string& what) {
  throw HiveError(u"The configuration hive " + PathFromNative(HiveFile()) + u" cannot be used: " +
                  Utf8ToUtf16(what));
}

// Another writer held the hive for longer than the busy timeout: nothing is
// wrong with the file.
[[noreturn]] void FailBusy() {
  throw HiveError(u"The configuration hive " + PathFromNative(HiveFile()) +
                  u" is in use by another program: try again in a moment");
}

class Stmt;

// Owns the database connection.
class Connection {
 public:
  explicit Connection(sqlite3* db) : db_(db) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
  }

  sqlite3* get() const { return db_; }

  [[noreturn]] void Fail(const std::string& what) const { FailUnusable(what); }
  void Check(int rc) const {
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) FailBusy();
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
      Fail(sqlite3_errmsg(db_));
    }
  }
  void Exec(const char* sql) const { Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

  // A statement for `sql`: the one kept from an earlier use, else a new one.
  // A run reads the same few statements once per file of a release, and
  // compiling them again each time cost more than running them.
  sqlite3_stmt* Take(const char* sql) const {
    const auto kept = prepared_.find(sql);
    if (kept != prepared_.end()) {
      sqlite3_stmt* stmt = kept->second;
      prepared_.erase(kept);
      return stmt;
    }
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr));
    return stmt;
  }
  // Keeps a statement done with for the next use of its text (one per text:
  // a statement still in use by a caller up the stack has its own).
  void Give(sqlite3_stmt* stmt) const {
    if (stmt == nullptr) return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!prepared_.emplace(sqlite3_sql(stmt), stmt).second) sqlite3_finalize(stmt);
  }

 private:
  sqlite3* db_;
  mutable std::map<std::string, sqlite3_stmt*> prepared_;
};

// Owns one prepared statement.
class Stmt {
 public:
  Stmt(const Connection& c, const char* sql) : c_(c), s_(c.Take(sql)) {}
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  ~Stmt() { c_.Give(s_); }

  Stmt& Bind(int i, const std::string& v) {
    c_.Check(sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    return *this;
  }
  Stmt& Bind(int i, sqlite3_int64 v) {
    c_.Check(sqlite3_bind_int64(s_, i, v));
    return *this;
  }
  Stmt& BindBlob(int i, const std::vector<unsigned char>& v) {
    static const unsigned char kNothing = 0;
    c_.Check(sqlite3_bind_blob(s_, i, v.empty() ? &kNothing : v.data(), static_cast<int>(v.size()),
                               SQLITE_TRANSIENT));
    return *this;
  }
  // True while a row is delivered.
  bool Step() {
    const int rc = sqlite3_step(s_);
    c_.Check(rc);
    return rc == SQLITE_ROW;
  }
  sqlite3_int64 Int(int col) const { return sqlite3_column_int64(s_, col); }
  std::string Text(int col) const {
    const auto* p = sqlite3_column_text(s_, col);
    return p != nullptr ? std::string(reinterpret_cast<const char*>(p),
                                      static_cast<size_t>(sqlite3_column_bytes(s_, col)))
                        : std::string();
  }
  std::vector<unsigned char> Blob(int col) const {
    const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s_, col));
    const int n = sqlite3_column_bytes(s_, col);
    return p != nullptr ? std::vector<unsigned char>(p, p + n) : std::vector<unsigned char>();
  }
  int Type(int col) const { return sqlite3_column_type(s_, col); }

 private:
  const Connection& c_;
  sqlite3_stmt* s_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class WriteTransaction {
 public:
  explicit WriteTransaction(const Connection& c) : c_(c) { c_.Exec("BEGIN IMMEDIATE"); }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  ~WriteTransaction() {
    if (!done_) sqlite3_exec(c_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    c_.Exec("COMMIT");
    done_ = true;
  }

 private:
  const Connection& c_;
  bool done_ = false;
};

// BEGIN ... COMMIT for reads: every statement in between sees one snapshot
// of the file, so a hive that another process is creating is seen before or
// after its creation, never half made.
class ReadTransaction {
 public:
  explicit ReadTransaction(const Connection& c) : c_(c) { c_.Exec("BEGIN"); }
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;
  ~ReadTransaction() { sqlite3_exec(c_.get(), "COMMIT", nullptr, nullptr, nullptr); }

 private:
  const Connection& c_;
};

int PragmaInt(const Connection& c, const char* sql) {
  Stmt s(c, sql);
  return s.Step() ? static_cast<int>(s.Int(0)) : 0;
}

// Answers whether the hive holds the schema. Throws HiveError when the file
// is someone else's, damaged or newer.
bool CheckSchema(const Connection& c) {
  const int app = PragmaInt(c, "PRAGMA application_id");
  const int version = PragmaInt(c, "PRAGMA user_version");
  if (app == 0 && version == 0) {
    if (PragmaInt(c, "SELECT count(*) FROM sqlite_master") != 0) {
      c.Fail("it is not a Vorlo configuration hive");
    }
    return false;  // an empty database: the schema comes with the first write
  }
  if (app != kApplicationId) c.Fail("it is not a Vorlo configuration hive");
  if (version > kSchemaVersion) {
    c.Fail("it was written by a newer version (format " + std::to_string(version) +
           ", this program knows format " + std::to_string(kSchemaVersion) + ")");
  }
  Stmt check(c, "PRAGMA quick_check(1)");
  if (!check.Step() || check.Text(0) != "ok") c.Fail("the file is damaged");
  return true;
}

// Inside a write transaction.
void CreateSchema(const Connection& c) {
  c.Exec(
      "CREATE TABLE keys("
      " id INTEGER PRIMARY KEY,"
      " path TEXT NOT NULL,"
      " fold TEXT NOT NULL UNIQUE);"
      "CREATE TABLE vals("
      " key INTEGER NOT NULL REFERENCES keys(id),"
      " name TEXT NOT NULL,"
      " fold TEXT NOT NULL,"
      " type INTEGER NOT NULL,"
      " data,"
      " UNIQUE(key, fold));"
      "INSERT INTO keys(id, path, fold) VALUES(1, '', '');");
  c.Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
  c.Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
}

// What SQLite would do with a file that is not a database is its own
// affair (it may write a small one over); a file at the hive's path must be
// an empty one (a hive being made) or start like a database before SQLite
// sees it, and anything else is left exactly as it is.
void CheckLooksLikeDatabase(const std::string& file) {
  const ScopedFd fd(open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) FailUnusable(std::strerror(errno));
  struct stat st;
  char head[16] = {};
  const bool regular = fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
  const bool looks =
      regular &&
      (st.st_size == 0 || (st.st_size >= 100 && pread(fd.get(), head, sizeof head, 0) == 16 &&
                           std::memcmp(head, "SQLite format 3", 16) == 0));
  if (!looks) FailUnusable("file is not a database");
}

bool IsTextType(uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

}  // namespace

struct Hive::Impl {
  // Set once the file is known to hold the schema; a failure keeps nothing,
  // so that every later call names the file and its fault again.
  std::shared_ptr<Connection> conn;

  // Opens the hive. Without `for_write`, a missing file, or one that holds
  // no schema yet (a hive another process is making), answers false: the
  // hive has no keys. With it, the folder, the file and the schema are made
  // as needed, under the write lock, so that processes making the hive at
  // the same time all find it whole. Throws HiveError for a file that
  // cannot be used.
  bool Ready(bool for_write) {
    if (conn) return true;
    const std::string file = HiveFile();
    struct stat st;
    if (stat(file.c_str(), &st) != 0) {
      if (!for_write) return false;
      const std::string folder = file.substr(0, file.rfind('/'));
      if (!MakeFolders(folder)) FailCreate(file);
      // Private to the user; SQLite gives its companion files (-wal, -shm)
      // the permissions of the database file.
      const ScopedFd fd(open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (!fd.valid() && errno != EEXIST) FailCreate(file);
      if (fd.valid()) chmod(folder.c_str(), 0700);
    }
    CheckLooksLikeDatabase(file);
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto c = std::make_shared<Connection>(db);
    if (rc != SQLITE_OK) c->Fail(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 0);
    if (for_write) {
      WriteTransaction t(*c);  // the lock first, then the look at the schema
      if (!CheckSchema(*c)) CreateSchema(*c);
      t.Commit();
      // Readers and a writer go on at once in the WAL journal, which the file
      // then records for every later connection. A moment when another
      // connection is busy leaves the switch to a later writer.
      sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    } else {
      ReadTransaction t(*c);
      if (!CheckSchema(*c)) return false;
    }
    conn = std::move(c);
    return true;
  }

  [[noreturn]] static void FailCreate(const std::string& file) {
    throw HiveError(u"The configuration hive " + PathFromNative(file) + u" cannot be created: " +
                    Utf8ToUtf16(std::strerror(errno)));
  }

  std::optional<sqlite3_int64> Find(const std::vector<UString>& parts) {
    UString path;
    for (size_t i = 0; i < parts.size(); ++i) path += (i ? u"\\" : u"") + parts[i];
    Stmt s(*conn, "SELECT id FROM keys WHERE fold = ?");
    s.Bind(1, Fold(path));
    if (!s.Step()) return std::nullopt;
    return s.Int(0);
  }
};

struct RegKey::Impl {
  std::shared_ptr<Connection> conn;
  sqlite3_int64 id = 0;
  bool writable = true;
};

RegKey::RegKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;
RegKey::~RegKey() = default;

bool RegKey::Read(UStringView name, RegValue* out) const {
  Stmt s(*impl_->conn, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
  s.Bind(1, impl_->id).Bind(2, Fold(name));
  if (!s.Step()) return false;
  RegValue v;
  v.type = static_cast<uint32_t>(s.Int(0));
  switch (s.Type(1)) {
    case SQLITE_TEXT: v = RegValue::Text(Utf8ToUtf16(s.Text(1)), v.type); break;
    case SQLITE_INTEGER: {
      const auto n = static_cast<uint64_t>(s.Int(1));
      const uint32_t type = v.type;
      v = type == kRegDword ? RegValue::Dword(static_cast<uint32_t>(n)) : RegValue::Qword(n);
      v.type = type;
      break;
    }
    case SQLITE_BLOB: v.data = s.Blob(1); break;
    default: break;
  }
  *out = std::move(v);
  return true;
}

bool RegKey::Write(UStringView name, const RegValue& value) {
  if (!impl_->writable) return false;
  const Connection& c = *impl_->conn;
  Stmt s(c,
         "INSERT INTO vals(key, name, fold, type, data)"
         " SELECT ?1, ?2, ?3, ?4, ?5 WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1)"
         " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
  s.Bind(1, impl_->id).Bind(2, Utf16ToUtf8(name)).Bind(3, Fold(name));
  s.Bind(4, static_cast<sqlite3_int64>(value.type));
  const UString text = value.AsText();
  const bool clean_text = IsTextType(value.type) && value.data.size() == (text.size() + 1) * 2 &&
                          Utf8ToUtf16(Utf16ToUtf8(text)) == text;
  if (clean_text) {
    s.Bind(5, Utf16ToUtf8(text));
  } else if (value.type == kRegDword && value.data.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | value.data[static_cast<size_t>(i)];
    s.Bind(5, static_cast<sqlite3_int64>(n));
  } else if (value.type == kRegQword && value.data.size() == 8) {
    uint64_t n = 0;
    for (int i = 7; i >= 0; --i) n = (n << 8) | value.data[static_cast<size_t>(i)];
    s.Bind(5, static_cast<sqlite3_int64>(n));
  } else {
    s.BindBlob(5, value.data);
  }
  s.Step();
  return sqlite3_changes(c.get()) > 0;
}

bool RegKey::DeleteValue(UStringView name) {
  if (!impl_->writable) return false;
  Stmt s(*impl_->conn, "DELETE FROM vals WHERE key = ? AND fold = ?");
  s.Bind(1, impl_->id).Bind(2, Fold(name));
  s.Step();
  return sqlite3_changes(impl_->conn->get()) > 0;
}

std::vector<UString> RegKey::ValueNames() const {
  Stmt s(*impl_->conn, "SELECT name FROM vals WHERE key = ? ORDER BY rowid");
  s.Bind(1, impl_->id);
  std::vector<UString> names;
  while (s.Step()) names.push_back(Utf8ToUtf16(s.Text(0)));
  return names;
}

std::vector<UString> RegKey::SubKeyNames() const {
  // Direct children: paths that continue this one's by "\" and one more name.
  Stmt s(*impl_->conn,
         "SELECT c.path, length(p.path) FROM keys p, keys c"
         " WHERE p.id = ?1 AND c.id <> p.id AND"
         " (p.fold = '' OR (c.fold > p.fold || '\\' AND c.fold < p.fold || ']')) AND"
         " instr(substr(c.fold, length(p.fold) + (p.fold <> '') + 1), '\\') = 0"
         " ORDER BY c.fold");
  s.Bind(1, impl_->id);
  std::vector<UString> names;
  while (s.Step()) {
    const UString path = Utf8ToUtf16(s.Text(0));
    const size_t sep = path.rfind(u'\\');
    names.push_back(sep == UString::npos ? path : path.substr(sep + 1));
  }
  return names;
}

Hive::Hive() : impl_(std::make_unique<Impl>()) {}
Hive::~Hive() = default;

UString Hive::Location() { return PathFromNative(HiveFile()); }

std::optional<RegKey> Hive::Open(UStringView path) {
  std::vector<UString> parts;
  if (!SplitPath(path, &parts) || !impl_->Ready(false)) return std::nullopt;
  const auto id = impl_->Find(parts);
  if (!id) return std::nullopt;
  auto k = std::make_unique<RegKey::Impl>();
  k->conn = impl_->conn;
  k->id = *id;
  return RegKey(std::move(k));
}

std::optional<RegKey> Hive::OpenReadOnly(UStringView path) {
  auto key = Open(path);
  if (key) key->impl_->writable = false;
  return key;
}

std::optional<RegKey> Hive::Create(UStringView path) {
  std::vector<UString> parts;
  if (!SplitPath(path, &parts)) return std::nullopt;
  impl_->Ready(true);
  const Connection& c = *impl_->conn;
  WriteTransaction t(c);
  sqlite3_int64 id = 1;
  UString written;  // the path as first written, component by component
  std::string fold;
  for (const UString& part : parts) {
    fold += (fold.empty() ? "" : "\\") + Fold(part);
    Stmt find(c, "SELECT id, path FROM keys WHERE fold = ?");
    find.Bind(1, fold);
    if (find.Step()) {
      id = find.Int(0);
      written = Utf8ToUtf16(find.Text(1));
      continue;
    }
    written += (written.empty() ? u"" : u"\\") + part;
    Stmt add(c, "INSERT INTO keys(path, fold) VALUES(?, ?)");
    add.Bind(1, Utf16ToUtf8(written)).Bind(2, fold);
    add.Step();
    id = sqlite3_last_insert_rowid(c.get());
  }
  t.Commit();
  auto k = std::make_unique<RegKey::Impl>();
  k->conn = impl_->conn;
  k->id = id;
  return RegKey(std::move(k));
}

bool Hive::DeleteTree(UStringView path) {
  std::vector<UString> parts;
  if (!SplitPath(path, &parts) || parts.empty() || !impl_->Ready(false)) return false;
  const Connection& c = *impl_->conn;
  WriteTransaction t(c);
  if (!impl_->Find(parts)) return false;
  UString joined;
  for (const UString& p : parts) joined += (joined.empty() ? u"" : u"\\") + p;
  const std::string fold = Fold(joined);
  const char* tree = " (fold = ?1 OR (fold > ?1 || '\\' AND fold < ?1 || ']'))";
  Stmt vals(c,
            (std::string("DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE") + tree + ")")
                .c_str());
  vals.Bind(1, fold).Step();
  Stmt keys(c, (std::string("DELETE FROM keys WHERE") + tree).c_str());
  keys.Bind(1, fold).Step();
  t.Commit();
  return true;
}

}  // namespace platform
