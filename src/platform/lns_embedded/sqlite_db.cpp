#include "platform/lns_embedded/sqlite_db.h"

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {
namespace {

SqliteCallHook& CallHook() {
  static SqliteCallHook hook;
  return hook;
}

void BeforeCall(std::string_view sql) {
  if (CallHook()) CallHook()(sql);
}

}  // namespace

void SetSqliteCallHook(SqliteCallHook hook) { CallHook() = std::move(hook); }

void RaiseDatabaseError(sqlite3* db, std::string_view what) {
  const char* message = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
  const int code = db != nullptr ? sqlite3_errcode(db) & 0xFF : SQLITE_NOMEM;
  if (code == SQLITE_BUSY) RaiseHeldByAnother(db);
  throw base::Error(lns::err::kDatabase, "LNS", std::string(what) + ": " + message);
}

void RaiseHeldByAnother(sqlite3* db) {
  const char* file = sqlite3_db_filename(db, "main");
  throw base::Error(lns::err::kWriteConflict, "LNS",
                    "Another program holds the network database " + std::string(file != nullptr ? file : "") +
                        ": it was still writing after " + std::to_string(kBusyTimeoutMs / 1000) +
                        " s; try again when it is done");
}

// A statement of the connection, kept while the connection lives.
class SqliteStatement final : public StatementBackend {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, bool* failed) : db_(db), stmt_(stmt), failed_(failed) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void BindInt(int index, int64_t value) override {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) RaiseDatabaseError(db_, "bind");
  }
  void BindText(int index, std::string_view text) override {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
      RaiseDatabaseError(db_, "bind");
    }
  }
  void BindBlob(int index, const std::vector<uint8_t>& blob) override {
    // An empty blob is still a blob, not NULL.
    static const uint8_t kEmpty = 0;
    const void* data = blob.empty() ? &kEmpty : blob.data();
    if (sqlite3_bind_blob(stmt_, index, data, static_cast<int>(blob.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
      RaiseDatabaseError(db_, "bind");
    }
  }
  void BindNull(int index) override {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) RaiseDatabaseError(db_, "bind");
  }
  bool Step() override {
    try {
      BeforeCall(sqlite3_sql(stmt_));
      RequireNoOpenRead();
    } catch (...) {
      *failed_ = true;
      sqlite3_reset(stmt_);
      throw;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    *failed_ = true;
    sqlite3_reset(stmt_);
    RaiseDatabaseError(db_, "network database");
  }
  int64_t Int(int column) const override { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const override {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
  }
  std::vector<uint8_t> Blob(int column) const override {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
  }
  bool IsNull(int column) const override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  void Finish() noexcept override { sqlite3_reset(stmt_); }
  void ClearBindings() noexcept override { sqlite3_clear_bindings(stmt_); }

 private:
  // A write that begins while the connection only reads (a read statement of it still open, or
  // a transaction begun for reading) must turn the read lock into a write lock, and SQLite
  // refuses that at once, without waiting, when another program writes: every write path
  // lets go of its reads first (or runs in a write transaction), and one that does not is
  // stopped here, also when nobody else writes.
  void RequireNoOpenRead() const {
    if (sqlite3_stmt_busy(stmt_) != 0 || sqlite3_stmt_readonly(stmt_) != 0) return;
    if (sqlite3_txn_state(db_, nullptr) != SQLITE_TXN_READ) return;
    throw base::Error(lns::err::kDatabase, "LNS",
                      std::string("network database: a write began while a read of the same connection was open (") +
                          sqlite3_sql(stmt_) + "); it could not have waited for another program");
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  bool* failed_;
};

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create) : file_(file) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw base::Error(lns::err::kDatabase, "LNS", "Cannot open the network database " + file.string() + ": " + message);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db_, 1);
  try {
    Exec("PRAGMA foreign_keys = ON");
  } catch (...) {
    sqlite3_close(db_);
    throw;
  }
}

SqliteDb::~SqliteDb() {
  statements_.clear();  // finalised before the connection closes
  sqlite3_close(db_);
}

void SqliteDb::Exec(std::string_view sql) {
  try {
    BeforeCall(sql);
  } catch (...) {
    failed_ = true;
    throw;
  }
  char* error = nullptr;
  if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    failed_ = true;
    const std::string message = error != nullptr ? error : "error";
    sqlite3_free(error);
    const int code = sqlite3_errcode(db_) & 0xFF;
    if (code == SQLITE_BUSY) RaiseHeldByAnother(db_);
    throw base::Error(lns::err::kDatabase, "LNS", "network database " + file_.string() + ": " + message);
  }
}

Statement SqliteDb::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
      failed_ = true;
      RaiseDatabaseError(db_, "network database " + file_.string());
    }
    it = statements_.emplace(sql, std::make_unique<SqliteStatement>(db_, stmt, &failed_)).first;
  }
  Statement statement(it->second.get());
  statement.Reset();
  return statement;
}

bool SqliteDb::ReplaceContentsWith(const std::filesystem::path& source) {
  sqlite3* from = nullptr;
  if (sqlite3_open_v2(source.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    const std::string message = from != nullptr ? sqlite3_errmsg(from) : "out of memory";
    sqlite3_close(from);
    throw base::Error(lns::err::kDatabase, "LNS", "Cannot read " + source.string() + ": " + message);
  }
  sqlite3_backup* backup = sqlite3_backup_init(db_, "main", from, "main");
  // One step copies every page; a lock another program holds is waited for by the busy handler.
  const int rc = backup != nullptr ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(db_);
  if (backup != nullptr) sqlite3_backup_finish(backup);
  sqlite3_close(from);
  if (rc == SQLITE_DONE) return true;
  if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) return false;
  failed_ = true;
  if ((rc & 0xFF) == SQLITE_BUSY) RaiseHeldByAnother(db_);
  throw base::Error(lns::err::kDatabase, "LNS",
                    "network database " + file_.string() + " cannot take the new network: " + sqlite3_errstr(rc));
}

int64_t SqliteDb::LastInsertId() { return sqlite3_last_insert_rowid(db_); }
int SqliteDb::Changes() const { return sqlite3_changes(db_); }

}  // namespace platform::lns_embedded
