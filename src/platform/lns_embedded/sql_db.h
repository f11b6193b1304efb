#pragma once
// The connection to a network database, whichever database holds it: statements with numbered
// parameters (?1, ?2, ...), their rows, transactions, and every failure a base::Error with an
// LNS error number. The SQLite file (sqlite_db.h) and a PostgreSQL server (postgres_db.h) each
// implement it; the SQL both understand is plain SQL with "?N" parameters.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::lns_embedded {

// One prepared statement of a connection, as a backend keeps it.
class StatementBackend {
 public:
  virtual ~StatementBackend() = default;
  virtual void BindInt(int index, int64_t value) = 0;
  virtual void BindText(int index, std::string_view text) = 0;
  virtual void BindBlob(int index, const std::vector<uint8_t>& blob) = 0;  // empty is not NULL
  virtual void BindNull(int index) = 0;
  // Runs the statement on the first call, then moves to the next row; false when there is none.
  virtual bool Step() = 0;
  virtual int64_t Int(int column) const = 0;
  virtual std::string Text(int column) const = 0;
  virtual std::vector<uint8_t> Blob(int column) const = 0;
  virtual bool IsNull(int column) const = 0;
  // Lets go of the rows (the next Step runs the statement again); never raises.
  virtual void Finish() noexcept = 0;
  virtual void ClearBindings() noexcept = 0;
};

// A statement in use. Its rows are let go when it goes, so that no read stays open.
class Statement {
 public:
  explicit Statement(StatementBackend* backend) : backend_(backend) {}
  ~Statement() {
    if (backend_ != nullptr) backend_->Finish();
  }
  Statement(Statement&& other) noexcept : backend_(other.backend_) { other.backend_ = nullptr; }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;

  Statement& Bind(int index, int64_t value) & {
    backend_->BindInt(index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view text) & {
    backend_->BindText(index, text);
    return *this;
  }
  Statement& Bind(int index, const std::vector<uint8_t>& blob) & {
    backend_->BindBlob(index, blob);
    return *this;
  }
  Statement& BindNull(int index) & {
    backend_->BindNull(index);
    return *this;
  }
  // On a temporary, binding hands the statement on: auto row = db.Prepare(sql).Bind(1, id);
  template <typename T>
  Statement&& Bind(int index, const T& value) && {
    Bind(index, value);
    return std::move(*this);
  }
  // Advances to the next row; false when there is none.
  bool Step() { return backend_->Step(); }
  // Runs a statement that returns no rows.
  void Run() {
    while (Step()) {
    }
  }
  int64_t Int(int column) const { return backend_->Int(column); }
  std::string Text(int column) const { return backend_->Text(column); }
  std::vector<uint8_t> Blob(int column) const { return backend_->Blob(column); }
  bool IsNull(int column) const { return backend_->IsNull(column); }
  // Lets go of the rows and clears the bindings.
  void Reset() {
    backend_->Finish();
    backend_->ClearBindings();
  }

 private:
  StatementBackend* backend_;
};

// One value of a row given to InsertRows: an integer, or the text or bytes of its column.
struct Cell {
  bool null = false;
  int64_t number = 0;
  std::string bytes;
};

class SqlDb {
 public:
  virtual ~SqlDb() = default;
  // Runs one or more statements without parameters or rows.
  virtual void Exec(std::string_view sql) = 0;
  // A statement with its bindings cleared (kept by the connection while it lives).
  virtual Statement Prepare(const std::string& sql) = 0;
  // Inserts rows into `table`: `columns` as in an INSERT, `kinds` a letter a column (i an
  // integer, t text, b bytes); `next` fills the next row's cells and returns false when there
  // is none. Here one INSERT a row; a server streams them all in one COPY.
  virtual void InsertRows(std::string_view table, std::string_view columns, std::string_view kinds,
                          const std::function<bool(std::vector<Cell>&)>& next);
  // The id the last insert into a table with an id column gave its row.
  virtual int64_t LastInsertId() = 0;
  // The rows the last statement changed.
  virtual int Changes() const = 0;
  // Whether a transaction is open on this connection.
  virtual bool InTransaction() const = 0;
  // What messages name: the database file, or the server and its database.
  virtual std::string Name() const = 0;
  // Begins a transaction whose reads all see the database as it was at its first read.
  virtual void BeginReadTransaction() { Exec("BEGIN"); }
  // Whether a write waits for another program's lock up to the timeout (the default) or fails
  // at once (kWriteConflict): for writes that may as well be left to the next time. Returns the
  // setting it replaced.
  virtual bool WaitForLocks(bool wait) {
    (void)wait;
    return true;
  }
  // Whether the database is a server's (PostgreSQL) rather than a file.
  virtual bool OnServer() const { return false; }
  // Notifications of other clients (a server's only): Listen subscribes to a channel;
  // NotificationDescriptor becomes readable when one may have arrived (-1: none ever comes);
  // TakeNotifications reads what arrived and says whether anything did. Never raises.
  virtual void Listen(const std::string& /*channel*/) {}
  virtual int NotificationDescriptor() const { return -1; }
  virtual bool TakeNotifications() { return false; }
  // How often the connection was made again after the server went away (a server's only).
  virtual int Reconnects() const { return 0; }
  // Whether a statement has failed since the last ClearFailure: a transaction with a failed
  // call in it must not be committed, even when its caller went on.
  bool Failed() const { return failed_; }
  void ClearFailure() { failed_ = false; }
  // A number for the read-only snapshot open on a server connection (ReadTransaction, or the
  // held reads below), 0 when none is: while it is open no row it reads can change, so rows may
  // be kept. While reads are held, asking opens the snapshot the next read would open.
  virtual int64_t Snapshot() { return snapshot_; }
  void SetSnapshot(int64_t snapshot) { snapshot_ = snapshot; }
  // A number no snapshot of this program had.
  static int64_t NewSnapshotNumber();
  // While held (the reads that start a plug-in run), a server connection runs the reads made
  // outside a transaction in one read-only snapshot, opened by the first of them and ended by
  // the first statement that is not a read, by a snapshot's age, or by ending the hold; rows
  // it reads may then be kept (SnapshotRows). A file does without. Errors: none.
  virtual void HoldReads(bool hold) { (void)hold; }

 protected:
  bool failed_ = false;
  int64_t snapshot_ = 0;
};

// Runs the reads of its lifetime in one read transaction: they see the database as it was
// when the first of them ran, and each of them skips the locking of a statement of its own
// (which costs more than a small query). Nothing when a transaction is open already.
class ReadTransaction {
 public:
  explicit ReadTransaction(SqlDb& db);
  ~ReadTransaction();
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;

 private:
  SqlDb& db_;
  bool began_ = false;
};

// How a connection to a database server is made from its URI. A program that links the
// PostgreSQL connection sets it (EnablePostgresServers); without it, ConnectToServer raises
// kServerUnreachable saying that this program cannot reach servers.
using ServerConnector = std::function<std::unique_ptr<SqlDb>(const std::string& uri)>;
void SetServerConnector(ServerConnector connector);
std::unique_ptr<SqlDb> ConnectToServer(const std::string& uri);
// Whether this program can reach servers (a connector is set).
bool ServerConnectorAvailable();

}  // namespace platform::lns_embedded
