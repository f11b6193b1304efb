#pragma once
// A thin layer over SQLite: one connection, prepared statements cached by their text,
// every failure a base::Error with the LNS database error number.

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::lns_embedded {

class Statement {
 public:
  // `failed` is set when a step of this statement fails.
  Statement(sqlite3* db, sqlite3_stmt* stmt, bool* failed) : db_(db), stmt_(stmt), failed_(failed) {}
  // A statement is reset when it goes, so that no read stays open on the database.
  ~Statement() {
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
  }
  Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_), failed_(other.failed_) {
    other.stmt_ = nullptr;
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;
  Statement& Bind(int index, int64_t value) &;
  Statement& Bind(int index, std::string_view text) &;
  Statement& Bind(int index, const std::vector<uint8_t>& blob) &;
  Statement& BindNull(int index) &;
  // On a temporary, binding hands the statement on: auto row = db.Prepare(sql).Bind(1, id);
  template <typename T>
  Statement&& Bind(int index, const T& value) && {
    Bind(index, value);
    return std::move(*this);
  }
  // Advances to the next row; false when there is none.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();
  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;
  bool IsNull(int column) const;
  void Reset();

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_;
  bool* failed_;
};

class SqliteDb {
 public:
  // Opens (create: creates) the database file with WAL, a busy timeout and foreign keys.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  void Exec(std::string_view sql);
  // A statement from the cache, reset and with its bindings cleared.
  Statement Prepare(const std::string& sql);
  int64_t LastInsertId() const;
  int Changes() const;
  // Whether a transaction is open on this connection.
  bool InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
  const std::filesystem::path& File() const { return file_; }
  // Whether a step or exec has failed since the last ClearFailure: a transaction with a
  // failed call in it must not be committed, even when its caller went on.
  bool Failed() const { return failed_; }
  void ClearFailure() { failed_ = false; }

 private:
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  bool failed_ = false;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// Runs the reads of its lifetime in one read transaction: they see the database as it was
// when the first of them ran, and each of them skips the locking of a statement of its own
// (which costs more than a small query). Nothing when a transaction is open already.
class ReadTransaction {
 public:
  explicit ReadTransaction(SqliteDb& db);
  ~ReadTransaction();
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  SqliteDb& db_;
  bool began_ = false;
};

// Fault injection: when set, called with the statement's text before every step and every
// exec on any connection of this process. It may raise (the call then fails the way a
// failing SQLite call does) or end the process; nullptr removes it.
using SqliteCallHook = std::function<void(std::string_view sql)>;
void SetSqliteCallHook(SqliteCallHook hook);

// Raises the database error for `db` with `what` in front of SQLite's message.
[[noreturn]] void RaiseDatabaseError(sqlite3* db, std::string_view what);

}  // namespace platform::lns_embedded
