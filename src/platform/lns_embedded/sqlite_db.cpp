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
  throw base::Error(lns::err::kDatabase, "LNS", std::string(what) + ": " + message);
}

Statement& Statement::Bind(int index, int64_t value) & {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) RaiseDatabaseError(db_, "bind");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) & {
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
    RaiseDatabaseError(db_, "bind");
  }
  return *this;
}

Statement& Statement::Bind(int index, const std::vector<uint8_t>& blob) & {
  // An empty blob is still a blob, not NULL.
  static const uint8_t kEmpty = 0;
  const void* data = blob.empty() ? &kEmpty : blob.data();
  if (sqlite3_bind_blob(stmt_, index, data, static_cast<int>(blob.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
    RaiseDatabaseError(db_, "bind");
  }
  return *this;
}

Statement& Statement::BindNull(int index) & {
  if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) RaiseDatabaseError(db_, "bind");
  return *this;
}

bool Statement::Step() {
  try {
    BeforeCall(sqlite3_sql(stmt_));
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

void Statement::Run() {
  while (Step()) {
  }
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::vector<uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create) : file_(file) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw base::Error(lns::err::kDatabase, "LNS", "Cannot open the network database " + file.string() + ": " + message);
  }
  sqlite3_busy_timeout(db_, 10000);
  sqlite3_extended_result_codes(db_, 1);
  try {
    Exec("PRAGMA foreign_keys = ON");
  } catch (...) {
    sqlite3_close(db_);
    throw;
  }
}

SqliteDb::~SqliteDb() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
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
    throw base::Error(lns::err::kDatabase, "LNS", "network database " + file_.string() + ": " + message);
  }
}

Statement SqliteDb::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
      RaiseDatabaseError(db_, "network database " + file_.string());
    }
    it = statements_.emplace(sql, stmt).first;
  }
  Statement statement(db_, it->second, &failed_);
  statement.Reset();
  return statement;
}

ReadTransaction::ReadTransaction(SqliteDb& db) : db_(db) {
  if (db_.InTransaction()) return;
  db_.Exec("BEGIN");
  began_ = true;
}

ReadTransaction::~ReadTransaction() {
  if (!began_ || !db_.InTransaction()) return;
  try {
    db_.Exec("COMMIT");
  } catch (...) {
    // Only reads ran: ending the transaction either way loses nothing.
    try {
      db_.Exec("ROLLBACK");
    } catch (...) {
      // Not open any more.
    }
  }
}

int64_t SqliteDb::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int SqliteDb::Changes() const { return sqlite3_changes(db_); }

}  // namespace platform::lns_embedded
