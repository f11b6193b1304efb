#pragma once
// The network database on a PostgreSQL server, through libpq: a connection named by a libpq
// connection URI ("postgresql://user@host:port/db"), statements with "?N" parameters sent as
// "$N" with their types, rows read as text. Failures are base::Errors: kServerUnreachable
// when the server cannot be reached or the connection broke, kWriteConflict when another
// client's transaction got in the way (a serialization failure, a deadlock or a lock waited
// for longer than the timeout), kDatabase otherwise; each names the server, never a password.

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/lns_embedded/sql_db.h"

struct pg_conn;
struct pg_result;

namespace platform::lns_embedded {

// Lets ConnectToServer (sql_db.h) make PostgreSQL connections in this program; done as the
// program starts when it links this connection.
void EnablePostgresServers();

// The seconds a connection attempt, a lock wait or a silent connection may take before the
// call fails: PORTAB_SERVER_TIMEOUT (1 to 3600), else 10. A call that was sent waits twice
// that for its answer (a lock wait included), then the connection is given up.
int ServerTimeoutSeconds();

// "?3" becomes "$3" outside quoted text and comments; `used[n - 1]` tells whether parameter n
// appears (its size is the highest number). A number above 65535 raises kDatabase.
std::string PostgresParameters(std::string_view sql, std::vector<bool>& used);

class PgStatement;

class PostgresDb final : public SqlDb {
 public:
  // Connects; kServerUnreachable (naming the server) when that fails within the timeout.
  explicit PostgresDb(const std::string& uri, int timeoutSeconds = ServerTimeoutSeconds());
  ~PostgresDb() override;
  PostgresDb(const PostgresDb&) = delete;
  PostgresDb& operator=(const PostgresDb&) = delete;

  void Exec(std::string_view sql) override;
  Statement Prepare(const std::string& sql) override;
  int64_t LastInsertId() override;
  int Changes() const override { return changes_; }
  bool InTransaction() const override;
  std::string Name() const override { return name_; }
  // Not waiting is a lock timeout of 1 ms (0 would be none at all).
  bool WaitForLocks(bool wait) override;
  // Repeatable read: each statement of a plain transaction would take a snapshot of its own.
  void BeginReadTransaction() override { Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
  bool OnServer() const override { return true; }
  // One COPY ... FROM STDIN in text format, sent in pieces as the rows come.
  void InsertRows(std::string_view table, std::string_view columns, std::string_view kinds,
                  const std::function<bool(std::vector<Cell>&)>& next) override;
  // Listens on `channel`, on every connection this one makes again.
  void Listen(const std::string& channel) override;
  // The connection's socket, readable when the server sent something (a notification); -1
  // while the server is away (a TakeNotifications then tries to connect again).
  int NotificationDescriptor() const override;
  // True also when the connection was made again after the server went away (what arrived
  // meanwhile is lost: the caller reads again).
  bool TakeNotifications() override;
  // How often the connection was made again since it was made.
  int Reconnects() const override { return reconnects_; }
  // Held reads run in one REPEATABLE READ READ ONLY transaction of their own. It never stands
  // in for the caller's: InTransaction is false while only it is open, the first statement that
  // is not a plain read commits it before it runs, a failed read ends it, and a connection that
  // breaks during it loses nothing (the next call connects again). It is renewed after
  // kHeldReadSeconds, so that a long run does not read an old moment.
  void HoldReads(bool hold) override;
  int64_t Snapshot() override;
  static constexpr int kHeldReadSeconds = 2;

  // Before each request: between transactions, a connection the server closed (it shut down,
  // or it was given up after the timeout) is made again, within the timeout, with everything
  // the session had set (its settings, listened channels; statements are prepared again);
  // kServerUnreachable, naming the server, when it does not come back. A connection that broke
  // during a transaction fails every request with kServerUnreachable until the transaction is
  // ended (ROLLBACK passes, COMMIT fails): nothing of it was kept, and nothing may be written
  // outside it.
  void Ready();
  // Before running `sql`: ends a held read for a statement that is not a plain read, or one
  // held too long; opens one for a read when reads are held and no transaction is open.
  void FollowHeldReads(std::string_view sql);
  // After a request failed because the server was shutting down (which ran nothing of it),
  // outside a transaction: connects again (as Ready) and returns true, so the request is made
  // once more; false otherwise.
  bool ReconnectAfterShutdown();

  // Raises the error of a failed call (`result` may be null), after marking the connection
  // failed; used by its statements.
  [[noreturn]] void Raise(const void* result, std::string_view what);
  pg_conn* Connection() const { return conn_; }
  // Waits for the answer to a sent request (`sent`: the sending succeeded) and returns its
  // result, null when sending failed; kServerUnreachable after the timeout without an answer,
  // and the connection is given up.
  pg_result* Await(bool sent);
  // A name for the next statement prepared on the server ("portab_1", "portab_2", ...).
  std::string NextStatementName() { return "portab_" + std::to_string(++statementsPrepared_); }
  // Takes the changed rows' count from a finished INSERT, UPDATE or DELETE.
  void NoteChanges(pg_result* result);
  // Keeps the id an insert handed back, for LastInsertId.
  void NoteInsertedId(int64_t id) { insertedId_ = id; }

 private:
  void WaitWhileBusy(std::chrono::steady_clock::time_point deadline);
  // Makes the connection, waiting at most `connectSeconds`, and sets the session up;
  // kServerUnreachable when that fails.
  void Connect(int connectSeconds);
  // Whether the connection is gone (a server that shut down closed it); takes what waits.
  bool Broken();
  // Whether what the connection read holds the server's farewell.
  bool SaidFarewell();
  // Connects again, trying until the timeout.
  void Reconnect();
  void NoteTransactionState();
  void OpenHeldRead();
  void EndHeldRead();
  // Forgets a held read the server ended (the connection broke, or a read in it failed).
  void DropHeldRead();
  // Runs a text of statements without the checks of Ready.
  void Run(std::string_view sql);
  // Sends a piece of a COPY's data (all of it when `last`, then its end).
  void SendCopyData(std::string& data, bool last);
  int AnswerSeconds() const { return 2 * timeoutSeconds_; }

  pg_conn* conn_ = nullptr;
  std::string name_;
  std::string uri_;
  int timeoutSeconds_;
  std::map<std::string, std::string> sessionSettings_;  // SET statements run, by setting
  std::vector<std::string> channels_;
  bool lastInTransaction_ = false;  // as the last answer left the connection
  bool lostTransaction_ = false;    // broke during a transaction not ended yet
  int reconnects_ = 0;
  int64_t insertedId_ = 0;  // the id the last insert of a row with an id handed back
  bool gaveUp_ = false;    // the last reconnection waited the timeout in vain
  bool shutDown_ = false;  // the last failure was the server shutting down
  bool farewell_ = false;  // the server said it ends the connection
  bool waitsForLocks_ = true;
  bool holdReads_ = false;
  bool heldRead_ = false;  // the held reads' transaction is open
  std::chrono::steady_clock::time_point heldSince_;
  int64_t statementsPrepared_ = 0;
  int changes_ = 0;
  std::unordered_map<std::string, std::unique_ptr<PgStatement>> statements_;
};

}  // namespace platform::lns_embedded
