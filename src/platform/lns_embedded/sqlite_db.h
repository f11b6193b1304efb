#pragma once
// The network database in a SQLite file: one connection, prepared statements cached by their
// text, every failure a base::Error with the LNS database error number.

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {

class SqliteStatement;

// How long a connection waits for another program's write transaction to end.
inline constexpr int kBusyTimeoutMs = 10000;

class SqliteDb final : public SqlDb {
 public:
  // Opens (create: creates) the database file with WAL, a busy timeout and foreign keys.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb() override;
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  void Exec(std::string_view sql) override;
  Statement Prepare(const std::string& sql) override;
  int64_t LastInsertId() override;
  int Changes() const override;
  bool InTransaction() const override { return sqlite3_get_autocommit(db_) == 0; }
  std::string Name() const override { return file_.string(); }
  bool WaitForLocks(bool wait) override {
    sqlite3_busy_timeout(db_, wait ? kBusyTimeoutMs : 0);
    return std::exchange(waitsForLocks_, wait);
  }
  const std::filesystem::path& File() const { return file_; }
  // Makes this database a copy of the database file `source`, page by page through this
  // connection (SQLite's backup), so that other programs that have it open go on with the new
  // contents instead of writing into a file that was replaced under them. Waits for another
  // program's write as any write does; raises kWriteConflict when it does not end in time,
  // kDatabase for any other failure. Returns false, changing nothing, when this file is no
  // database or a damaged one.
  bool ReplaceContentsWith(const std::filesystem::path& source);

 private:
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  bool waitsForLocks_ = true;
  std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> statements_;
};

// Fault injection: when set, called with the statement's text before every step and every
// exec on any connection of this process. It may raise (the call then fails the way a
// failing SQLite call does) or end the process; nullptr removes it.
using SqliteCallHook = std::function<void(std::string_view sql)>;
void SetSqliteCallHook(SqliteCallHook hook);

// Raises the database error for `db` with `what` in front of SQLite's message; a database
// another program kept locked past the busy timeout raises as RaiseHeldByAnother.
[[noreturn]] void RaiseDatabaseError(sqlite3* db, std::string_view what);
// Raises kWriteConflict: another program holds the database file of `db`.
[[noreturn]] void RaiseHeldByAnother(sqlite3* db);

}  // namespace platform::lns_embedded
