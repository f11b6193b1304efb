#include "platform/lns_embedded/postgres_db.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <map>
#include <thread>
#include <vector>

#include "base/error.h"
#include "base/procedure.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/network_db.h"

namespace platform::lns_embedded {
namespace {

// The longest a listener's attempt to connect again keeps the event loop (libpq's least): it
// is made on the window's thread, once a second while the server is away.
constexpr int kListenerConnectSeconds = 2;

// The types parameters are sent with (PostgreSQL's object ids of int8, text and bytea).
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;
constexpr Oid kBytea = 17;

// "server host:port, database db" from what libpq made of the URI, without the password.
std::string ServerName(const std::string& uri) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
  if (options == nullptr) {  // not quoted: it could hold a password
    PQfreemem(error);
    return "a server named by a connection text that is not valid";
  }
  std::string host = "localhost";
  std::string port = "5432";
  std::string database;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (option->val == nullptr || *option->val == '\0') continue;
    const std::string_view keyword(option->keyword);
    if (keyword == "host" || keyword == "hostaddr") host = option->val;
    if (keyword == "port") port = option->val;
    if (keyword == "dbname") database = option->val;
  }
  PQconninfoFree(options);
  return "the server " + host + ":" + port + (database.empty() ? "" : ", database " + database);
}

bool StartsWith(const char* text, std::string_view prefix) {
  return text != nullptr && std::string_view(text).substr(0, prefix.size()) == prefix;
}

// The first line of a server's message (its later lines repeat the statement), without its
// severity ("FATAL:  ", "ERROR:  "): the message it is put in says what failed.
std::string FirstLine(const char* message) {
  std::string text = message != nullptr ? message : "";
  text = text.substr(0, text.find('\n'));
  for (const char* severity : {"FATAL:  ", "ERROR:  ", "PANIC:  "}) {
    if (text.starts_with(severity)) return text.substr(std::strlen(severity));
  }
  return text;
}

}  // namespace

int ServerTimeoutSeconds() {
  const char* text = std::getenv("PORTAB_SERVER_TIMEOUT");
  if (text == nullptr || *text == '\0') return 10;
  char* end = nullptr;
  const long seconds = std::strtol(text, &end, 10);
  if (*end != '\0' || seconds < 1 || seconds > 3600) {
    throw base::Error(base::err::kInvalidCallOrKey, "LNS",
                      "PORTAB_SERVER_TIMEOUT must be a number of seconds from 1 to 3600, not \"" + std::string(text) + "\"");
  }
  return static_cast<int>(seconds);
}

std::string PostgresParameters(std::string_view sql, std::vector<bool>& used) {
  constexpr int kMostParameters = 65535;  // what the protocol carries
  std::string out;
  out.reserve(sql.size());
  used.clear();
  char quote = 0;  // the quote, or '-' in a line comment, '*' in a block comment
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    if (quote == '-' || quote == '*') {
      if ((quote == '-' && c == '\n') || (quote == '*' && c == '*' && next == '/')) quote = 0;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if ((c == '-' && next == '-') || (c == '/' && next == '*')) {
      quote = c == '-' ? '-' : '*';
    } else if (c == '?' && next >= '0' && next <= '9') {
      int number = 0;
      size_t j = i + 1;
      for (; j < sql.size() && sql[j] >= '0' && sql[j] <= '9'; ++j) {
        number = number * 10 + (sql[j] - '0');
        if (number > kMostParameters) {
          throw base::Error(lns::err::kDatabase, "LNS", "The statement has a parameter number above 65535");
        }
      }
      if (static_cast<size_t>(number) > used.size()) used.resize(static_cast<size_t>(number), false);
      if (number > 0) used[static_cast<size_t>(number) - 1] = true;
      out += '$';
      out.append(sql.substr(i + 1, j - i - 1));
      i = j - 1;
      continue;
    }
    out += c;
  }
  return out;
}

// Whether `sql` is a plain INSERT into a network table whose rows have an id column.
bool InsertsRowWithId(std::string_view sql) {
  constexpr std::string_view kInsert = "INSERT INTO ";
  if (!sql.starts_with(kInsert) || sql.find("RETURNING") != std::string_view::npos ||
      sql.find("ON CONFLICT") != std::string_view::npos) {
    return false;
  }
  const std::string_view rest = sql.substr(kInsert.size());
  return NetworkTableWithIds(rest.substr(0, rest.find_first_of(" ("))) != nullptr;
}

// One statement: its text with "$N" parameters, the values bound, and the rows of its last run.
class PgStatement final : public StatementBackend {
 public:
  PgStatement(PostgresDb& db, const std::string& sql) : db_(db) {
    sql_ = PostgresParameters(sql, used_);
    // An insert of a row with an id hands the id back with its answer: LastInsertId then needs
    // no query of its own (a round trip less for each row an import writes).
    if (InsertsRowWithId(sql_)) {
      sql_ += " RETURNING id";
      returnsId_ = true;
    }
    params_.resize(used_.size());
    ClearBindings();
  }
  ~PgStatement() override { Finish(); }
  PgStatement(const PgStatement&) = delete;
  PgStatement& operator=(const PgStatement&) = delete;

  void BindInt(int index, int64_t value) override { Set(index, kInt8, std::to_string(value), false); }
  void BindText(int index, std::string_view text) override { Set(index, kText, std::string(text), false); }
  void BindBlob(int index, const std::vector<uint8_t>& blob) override {
    Set(index, kBytea, std::string(blob.begin(), blob.end()), true);
  }
  void BindNull(int index) override {
    Param& param = At(index);  // checks the index first
    param = Unbound(static_cast<size_t>(index) - 1);
  }
  bool Step() override {
    if (result_ == nullptr) Execute();
    return ++row_ < (returnsId_ ? 0 : PQntuples(result_));  // the id handed back is no row of the caller's
  }
  int64_t Int(int column) const override {
    const char* value = Value(column);
    if (*value == 't') return 1;  // a boolean
    if (*value == 'f') return 0;
    return std::strtoll(value, nullptr, 10);
  }
  std::string Text(int column) const override { return Value(column); }
  std::vector<uint8_t> Blob(int column) const override {
    size_t length = 0;
    unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(Value(column)), &length);
    if (bytes == nullptr) return {};
    std::vector<uint8_t> blob(bytes, bytes + length);
    PQfreemem(bytes);
    return blob;
  }
  bool IsNull(int column) const override { return PQgetisnull(result_, row_, column) != 0; }
  void Finish() noexcept override {
    if (result_ != nullptr) PQclear(result_);
    result_ = nullptr;
    row_ = -1;
  }
  void ClearBindings() noexcept override {
    for (size_t i = 0; i < params_.size(); ++i) params_[i] = Unbound(i);
  }
  // The connection was made again: the server knows none of its prepared statements.
  void ForgetPrepared() noexcept {
    prepared_.clear();
    runs_.clear();
  }

 private:
  struct Param {
    Oid type = kText;
    std::string value;
    bool binary = false;
    bool null = true;
  };

  // NULL: of the type the statement gives it, or text where the statement does not use it
  // (the server cannot infer a type there).
  Param Unbound(size_t position) const { return Param{used_[position] ? Oid{0} : kText, {}, false, true}; }

  Param& At(int index) {
    if (index < 1 || static_cast<size_t>(index) > params_.size()) {
      throw base::Error(lns::err::kDatabase, "LNS", "parameter " + std::to_string(index) + " of \"" + sql_ + "\" does not exist");
    }
    return params_[static_cast<size_t>(index) - 1];
  }
  void Set(int index, Oid type, std::string value, bool binary) {
    At(index) = Param{type, std::move(value), binary, false};
  }
  const char* Value(int column) const {
    if (result_ == nullptr || row_ < 0 || row_ >= PQntuples(result_) || column >= PQnfields(result_)) return "";
    return PQgetvalue(result_, row_, column);
  }
  // A statement the server refused because it was shutting down did not run: once connected
  // again, it runs (once more).
  void Execute() {
    try {
      ExecuteOnce();
    } catch (const base::Error&) {
      if (!db_.ReconnectAfterShutdown()) throw;
      ExecuteOnce();
    }
  }
  void ExecuteOnce() {
    db_.FollowHeldReads(sql_);
    db_.Ready();
    std::vector<Oid> types;
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const auto& param : params_) {
      types.push_back(param.type);
      values.push_back(param.null ? nullptr : param.value.data());
      lengths.push_back(static_cast<int>(param.value.size()));
      formats.push_back(param.binary ? 1 : 0);
    }
    // The first run of a statement is sent with its text (one round trip); from the second on it
    // is prepared once and run by name (a short program, which runs most statements once, then
    // does not pay a second round trip for each).
    bool sent = false;
    if (++runs_[types] == 1) {
      sent = PQsendQueryParams(db_.Connection(), sql_.c_str(), static_cast<int>(params_.size()), types.data(), values.data(),
                               lengths.data(), formats.data(), 0) != 0;
    } else {
      const std::string& name = PreparedName(types);
      sent = PQsendQueryPrepared(db_.Connection(), name.c_str(), static_cast<int>(params_.size()), values.data(),
                                 lengths.data(), formats.data(), 0) != 0;
    }
    result_ = db_.Await(sent);
    const ExecStatusType status = result_ != nullptr ? PQresultStatus(result_) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      PGresult* failed = result_;
      result_ = nullptr;
      struct Clear {
        PGresult* result;
        ~Clear() { PQclear(result); }
      } clear{failed};
      db_.Raise(failed, "network database");
    }
    db_.NoteChanges(result_);
    db_.NoteInsertedId(0);  // LastInsertId asks the server unless this statement handed an id back
    if (returnsId_ && PQntuples(result_) > 0) db_.NoteInsertedId(std::strtoll(PQgetvalue(result_, PQntuples(result_) - 1, 0), nullptr, 10));
    row_ = -1;
  }

  // The statement as the server keeps it for these parameter types: parsed and planned once
  // per connection instead of on every run (most of a small query's time on the server).
  const std::string& PreparedName(const std::vector<Oid>& types) {
    auto it = prepared_.find(types);
    if (it != prepared_.end()) return it->second;
    const std::string name = db_.NextStatementName();
    PGresult* result = db_.Await(PQsendPrepare(db_.Connection(), name.c_str(), sql_.c_str(),
                                               static_cast<int>(types.size()), types.data()) != 0);
    struct Clear {
      PGresult* result;
      ~Clear() { PQclear(result); }
    } clear{result};
    if (result == nullptr || PQresultStatus(result) != PGRES_COMMAND_OK) db_.Raise(result, "network database");
    return prepared_.emplace(types, name).first->second;
  }

  PostgresDb& db_;
  std::map<std::vector<Oid>, std::string> prepared_;
  std::map<std::vector<Oid>, int64_t> runs_;  // by parameter types: the runs so far
  bool returnsId_ = false;
  std::string sql_;
  std::vector<bool> used_;
  std::vector<Param> params_;
  PGresult* result_ = nullptr;
  int row_ = -1;
};

PostgresDb::PostgresDb(const std::string& uri, int timeoutSeconds)
    : name_(ServerName(uri)), uri_(uri), timeoutSeconds_(timeoutSeconds) {
  char* parseError = nullptr;
  const bool named = uri.starts_with("postgresql://") || uri.starts_with("postgres://");
  PQconninfoOption* parsed = named ? PQconninfoParse(uri.c_str(), &parseError) : nullptr;
  PQfreemem(parseError);  // it may quote the text, password and all
  if (parsed == nullptr) {
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "The network database server cannot be reached: the connection text is not a valid URI "
                      "(postgresql://user@host:port/database)");
  }
  PQconninfoFree(parsed);
  Connect(timeoutSeconds_);
}

void PostgresDb::Connect(int connectSeconds) {
  const std::string seconds = std::to_string(std::max(2, connectSeconds));  // libpq's least
  const std::string milliseconds = std::to_string(timeoutSeconds_ * 1000);
  // Ours first: what the URI names itself wins.
  const char* keywords[] = {"connect_timeout", "keepalives",       "keepalives_idle", "keepalives_interval",
                            "keepalives_count", "tcp_user_timeout", "application_name", "client_encoding",
                            "dbname",           nullptr};
  const char* values[] = {seconds.c_str(), "1",      seconds.c_str(), "1",         "3", milliseconds.c_str(),
                          "portab",        "UTF8",   uri_.c_str(),    nullptr};
  conn_ = PQconnectdbParams(keywords, values, 1);
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
    const std::string message = conn_ != nullptr ? FirstLine(PQerrorMessage(conn_)) : "out of memory";
    PQfinish(conn_);
    conn_ = nullptr;
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "The network database server cannot be reached (" + name_ + "): " + message);
  }
  // The server's notices (warnings) go to the log, not to the console's message channel. A
  // fatal error that arrives between requests is the server ending the connection (it shuts
  // down): libpq hands it over as a notice.
  farewell_ = false;
  PQsetNoticeProcessor(
      conn_,
      [](void* self, const char* message) {
        if (StartsWith(message, "FATAL")) static_cast<PostgresDb*>(self)->farewell_ = true;
        base::LogNote("Network database server: " + FirstLine(message));
      },
      this);
  // A lock another client holds is waited for no longer than the timeout (then a conflict).
  try {
    std::string session = "SET lock_timeout = " + (waitsForLocks_ ? milliseconds : std::string("1")) +
                          "; SET client_min_messages = warning"
                          // Every text portab sends and reads is UTF-8 (and its SQL literals are
                          // escaped for it), whatever encoding the URI asks for.
                          "; SET client_encoding = 'UTF8'";
    for (const auto& [setting, statement] : sessionSettings_) session += "; " + statement;
    for (const std::string& channel : channels_) session += "; LISTEN " + channel;
    Run(session);
  } catch (...) {
    PQfinish(conn_);
    conn_ = nullptr;
    throw;
  }
}

bool PostgresDb::Broken() {
  if (conn_ == nullptr || farewell_ || PQstatus(conn_) != CONNECTION_OK) return true;
  // A server that shut down sent its farewell and closed the socket: readable while idle.
  pollfd socket{PQsocket(conn_), POLLIN, 0};
  for (int read = 0; read < 3 && ::poll(&socket, 1, 0) > 0; ++read) {
    if (PQconsumeInput(conn_) == 0 || SaidFarewell() || PQstatus(conn_) != CONNECTION_OK) return true;
  }
  return false;
}

bool PostgresDb::SaidFarewell() {
  PQisBusy(conn_);  // parses what was read: a farewell reaches the notice processor
  return farewell_;
}

void PostgresDb::Reconnect() {
  PQfinish(conn_);
  conn_ = nullptr;
  for (auto& [sql, statement] : statements_) statement->ForgetPrepared();
  // A call that already waited the timeout in vain is not kept waiting again: later calls try
  // once each (refused at once while the server is down) until it is back.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(gaveUp_ ? 0 : timeoutSeconds_);
  for (;;) {
    try {
      // An attempt takes no longer than the time left (a host that drops packets answers nothing).
      const auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - std::chrono::steady_clock::now());
      Connect(static_cast<int>(std::max<int64_t>(1, left.count())));
      gaveUp_ = false;
      ++reconnects_;
      base::LogNote("Network database server: connected again (" + name_ + ")");
      return;
    } catch (const base::Error& e) {
      if (std::chrono::steady_clock::now() >= deadline) {
        gaveUp_ = true;
        throw base::Error(lns::err::kServerUnreachable, "LNS",
                          "The network database server cannot be reached (" + name_ + "): the connection broke and the "
                          "server did not answer again within " + std::to_string(timeoutSeconds_) +
                          " s (PORTAB_SERVER_TIMEOUT); " + e.Description());
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void PostgresDb::Ready() {
  if (!lostTransaction_ && !Broken()) return;
  if (heldRead_) DropHeldRead();  // the server ended it with the connection: it held only reads
  if (!lostTransaction_ && !lastInTransaction_) {
    Reconnect();  // between transactions nothing is lost: the call goes on on a new connection
    return;
  }
  // Until the caller ends the transaction, its statements fail: on a new connection they would
  // be written one by one, outside it.
  lostTransaction_ = true;
  lastInTransaction_ = false;
  throw base::Error(lns::err::kServerUnreachable, "LNS",
                    "The network database server cannot be reached (" + name_ + "): the connection broke during a "
                    "transaction, and nothing of it was kept");
}

bool PostgresDb::ReconnectAfterShutdown() {
  // The server ended the statement's transaction when it shut down, so nothing of it ran; inside
  // an LNS transaction the whole transaction is lost instead.
  if (!std::exchange(shutDown_, false) || lostTransaction_ || lastInTransaction_) return false;
  Reconnect();
  return true;
}

void PostgresDb::NoteTransactionState() {
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return;
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  lastInTransaction_ = status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool PostgresDb::WaitForLocks(bool wait) {
  if (wait != waitsForLocks_) Exec("SET lock_timeout = " + std::string(wait ? std::to_string(timeoutSeconds_ * 1000) : "1"));
  return std::exchange(waitsForLocks_, wait);
}

PostgresDb::~PostgresDb() {
  statements_.clear();
  PQfinish(conn_);
}

void PostgresDb::Raise(const void* result, std::string_view what) {
  failed_ = true;
  const auto* failed = static_cast<const PGresult*>(result);
  const char* state = failed != nullptr ? PQresultErrorField(failed, PG_DIAG_SQLSTATE) : nullptr;
  const std::string message =
      conn_ == nullptr ? "the connection was given up when the server stopped answering"
                       : FirstLine(failed != nullptr && *PQresultErrorMessage(failed) != '\0' ? PQresultErrorMessage(failed)
                                                                                              : PQerrorMessage(conn_));
  // Connection exceptions (08), the server shutting down (57P) or a connection libpq lost.
  shutDown_ = StartsWith(state, "57P");
  if (PQstatus(conn_) != CONNECTION_OK || StartsWith(state, "08") || StartsWith(state, "57P")) {
    if (heldRead_) {
      DropHeldRead();  // only reads of its own were open
    } else if (lastInTransaction_) {
      lostTransaction_ = true;
      lastInTransaction_ = false;
    }
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "The network database server cannot be reached (" + name_ + "): " + message);
  }
  if (heldRead_) {
    // A failed read leaves its transaction unusable: it is ended, so that the next read (which
    // outside the hold would not have known of this one) runs.
    DropHeldRead();
    try {
      Run("ROLLBACK");
    } catch (const base::Error&) {
      // Ended with the connection: the next call connects again.
    }
  }
  // A lock another client kept for longer than the lock timeout.
  if (StartsWith(state, "55P03")) {
    throw base::Error(lns::err::kWriteConflict, "LNS",
                      "Another program holds the network (" + name_ + "): it was still writing after the lock timeout; "
                      "try again when it is done");
  }
  // Serialization failure, deadlock.
  if (StartsWith(state, "40001") || StartsWith(state, "40P01")) {
    throw base::Error(lns::err::kWriteConflict, "LNS",
                      "Another client changed the same data at the same time (" + name_ + "): " + message);
  }
  throw base::Error(lns::err::kDatabase, "LNS", std::string(what) + " (" + name_ + "): " + message);
}

void PostgresDb::Exec(std::string_view sql) {
  FollowHeldReads(sql);
  const bool ending = sql.starts_with("COMMIT") || sql.starts_with("ROLLBACK") || sql.starts_with("END");
  if (sql.starts_with("ROLLBACK") && Broken()) {
    // The server rolls back what a broken connection had open: nothing to do, and no reason to
    // wait for a new connection.
    lostTransaction_ = lastInTransaction_ = false;
    return;
  }
  if (ending && (lostTransaction_ || (lastInTransaction_ && Broken()))) {
    // The server ended the transaction when the connection broke: a rollback has nothing left
    // to do, a commit is refused.
    const bool commit = !sql.starts_with("ROLLBACK");
    lostTransaction_ = lastInTransaction_ = false;
    if (!commit) return;
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "The network database server cannot be reached (" + name_ + "): the connection broke during the "
                      "transaction, and nothing of it was kept");
  }
  try {
    Ready();
    Run(sql);
  } catch (const base::Error&) {
    if (ending) {
      // Ended, if in failure: its caller is told so. Never run again: a commit the server cut
      // off left nothing to commit on a new connection, and saying it went through would lie.
      lostTransaction_ = false;
      shutDown_ = false;
      throw;
    }
    if (!ReconnectAfterShutdown()) throw;
    Run(sql);
  }
  // A session setting is made again on a new connection (one made outside a transaction: one
  // inside may yet be rolled back).
  if (!lastInTransaction_ && sql.starts_with("SET ") && !sql.starts_with("SET LOCAL ") &&
      sql.find(';') == std::string_view::npos) {
    const std::string_view rest = sql.substr(4);
    sessionSettings_[std::string(rest.substr(0, rest.find_first_of(" =")))] = std::string(sql);
  }
}

void PostgresDb::Run(std::string_view sql) {
  insertedId_ = 0;
  PGresult* result = Await(PQsendQuery(conn_, std::string(sql).c_str()) != 0);
  const ExecStatusType status = result != nullptr ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  struct Clear {
    PGresult* result;
    ~Clear() { PQclear(result); }
  } clear{result};
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Raise(result, "network database");
  NoteChanges(result);
}

void PostgresDb::WaitWhileBusy(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const int flushed = PQflush(conn_);  // 1: part of the request still to send
    if (flushed < 0) return;             // broken: PQgetResult reports it
    if (flushed == 0 && PQisBusy(conn_) == 0) return;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd socket{PQsocket(conn_), static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), 0};
    const int ready = left.count() > 0 ? ::poll(&socket, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      // A server that stopped answering (frozen, or the network cut without a reset) would
      // keep the call waiting for ever: the connection is given up, every later call fails.
      PQfinish(conn_);
      conn_ = nullptr;
      failed_ = true;
      if (heldRead_) {
        DropHeldRead();  // only reads of its own were open: the next call connects again
      } else if (std::exchange(lastInTransaction_, false)) {
        lostTransaction_ = true;
      }
      throw base::Error(lns::err::kServerUnreachable, "LNS",
                        "The network database server cannot be reached (" + name_ + "): no answer within " +
                            std::to_string(AnswerSeconds()) + " s (twice PORTAB_SERVER_TIMEOUT)");
    }
    if (ready > 0 && PQconsumeInput(conn_) == 0) return;
  }
}

PGresult* PostgresDb::Await(bool sent) {
  if (!sent) return nullptr;  // Raise reports the connection's message
  // A lock wait takes up to the timeout and ends in a conflict; the answer comes after it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(AnswerSeconds());
  // A text of several statements has a result each: the first failure, else the last result.
  PGresult* kept = nullptr;
  for (;;) {
    try {
      WaitWhileBusy(deadline);
    } catch (...) {
      PQclear(kept);
      throw;
    }
    PGresult* next = PQgetResult(conn_);
    if (next == nullptr) {
      NoteTransactionState();
      return kept;
    }
    const ExecStatusType status = PQresultStatus(kept);
    if (kept != nullptr && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      PQclear(next);
    } else {
      PQclear(kept);
      kept = next;
    }
  }
}

void PostgresDb::NoteChanges(pg_result* result) {
  // As SQLite counts: the rows of the last INSERT, UPDATE or DELETE; reads change nothing.
  const char* command = PQcmdStatus(result);
  for (const char* changing : {"INSERT", "UPDATE", "DELETE"}) {
    if (StartsWith(command, changing)) changes_ = std::atoi(PQcmdTuples(result));
  }
}

Statement PostgresDb::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) it = statements_.emplace(sql, std::make_unique<PgStatement>(*this, sql)).first;
  Statement statement(it->second.get());
  statement.Reset();
  return statement;
}

namespace {

// A value as COPY's text format writes it: backslash, tab, line feed and carriage return
// escaped; bytes as bytea's hex text, whose backslash is escaped in turn.
void AppendCopyValue(std::string& line, const Cell& cell, char kind) {
  if (cell.null) {
    line += "\\N";
    return;
  }
  if (kind == 'i') {
    line += std::to_string(cell.number);
    return;
  }
  if (kind == 'b') {
    static constexpr char kHex[] = "0123456789abcdef";
    line += "\\\\x";
    for (const char c : cell.bytes) {
      const auto byte = static_cast<unsigned char>(c);
      line += kHex[byte >> 4];
      line += kHex[byte & 15];
    }
    return;
  }
  for (const char c : cell.bytes) {
    switch (c) {
      case '\\': line += "\\\\"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      default: line += c;
    }
  }
}

}  // namespace

void PostgresDb::SendCopyData(std::string& data, bool last) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(AnswerSeconds());
  if (!data.empty() && PQputCopyData(conn_, data.data(), static_cast<int>(data.size())) != 1) Raise(nullptr, "network database");
  data.clear();
  if (last && PQputCopyEnd(conn_, nullptr) != 1) Raise(nullptr, "network database");
  WaitWhileBusy(deadline);  // sends what libpq holds, so that its buffer does not grow
}

void PostgresDb::InsertRows(std::string_view table, std::string_view columns, std::string_view kinds,
                            const std::function<bool(std::vector<Cell>&)>& next) {
  constexpr size_t kPiece = 256 * 1024;
  FollowHeldReads("COPY");
  Ready();
  const std::string copy = "COPY " + std::string(table) + "(" + std::string(columns) + ") FROM STDIN";
  if (PQsendQuery(conn_, copy.c_str()) == 0) Raise(nullptr, "network database");
  WaitWhileBusy(std::chrono::steady_clock::now() + std::chrono::seconds(AnswerSeconds()));
  PGresult* started = PQgetResult(conn_);
  const bool copying = started != nullptr && PQresultStatus(started) == PGRES_COPY_IN;
  if (!copying) {
    struct Clear {
      PGresult* result;
      ~Clear() { PQclear(result); }
    } clear{started};
    PQclear(Await(true));  // the rest of the answer
    Raise(started, "network database");
  }
  PQclear(started);
  std::string data;
  std::vector<Cell> row(kinds.size());
  try {
    while (next(row)) {
      for (size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) data += '\t';
        AppendCopyValue(data, row[i], kinds[i]);
      }
      data += '\n';
      if (data.size() >= kPiece) SendCopyData(data, false);
    }
  } catch (...) {
    // The rows could not all be read: the COPY is ended as failed, so that none of it stays.
    try {
      if (conn_ != nullptr && PQputCopyEnd(conn_, "the rows to copy could not be read") == 1) PQclear(Await(true));
    } catch (...) {
      // The connection went: nothing of the COPY stays either.
    }
    throw;
  }
  SendCopyData(data, true);
  PGresult* result = Await(true);
  struct Clear {
    PGresult* result;
    ~Clear() { PQclear(result); }
  } clear{result};
  if (result == nullptr || PQresultStatus(result) != PGRES_COMMAND_OK) Raise(result, "network database");
  NoteChanges(result);
}

int64_t PostgresDb::LastInsertId() {
  if (insertedId_ != 0) return insertedId_;
  auto row = Prepare("SELECT lastval()");
  return row.Step() ? row.Int(0) : 0;
}

bool PostgresDb::InTransaction() const {
  if (lostTransaction_) return true;  // until its caller ends it
  if (heldRead_) return false;        // the held reads' own: the next write ends it
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

int PostgresDb::NotificationDescriptor() const { return conn_ != nullptr ? PQsocket(conn_) : -1; }

void PostgresDb::Listen(const std::string& channel) {
  Exec("LISTEN " + channel);
  channels_.push_back(channel);
}

bool PostgresDb::TakeNotifications() {
  if (conn_ == nullptr || PQconsumeInput(conn_) == 0 || SaidFarewell() || PQstatus(conn_) != CONNECTION_OK) {
    // The server went away. One attempt to connect again, at once refused while it is down;
    // once it is back, changes may have been missed: the caller reads what it follows again.
    PQfinish(conn_);
    conn_ = nullptr;
    for (auto& [sql, statement] : statements_) statement->ForgetPrepared();
    try {
      Connect(kListenerConnectSeconds);
      ++reconnects_;
      base::LogNote("Network database server: listening again (" + name_ + ")");
      return true;
    } catch (const base::Error&) {
      return false;
    }
  }
  bool any = false;
  while (PGnotify* notification = PQnotifies(conn_)) {
    any = true;
    PQfreemem(notification);
  }
  return any;
}

void EnablePostgresServers() {
  SetServerConnector([](const std::string& uri) -> std::unique_ptr<SqlDb> { return std::make_unique<PostgresDb>(uri); });
}

namespace {
// A program (or shared library) that holds this connection reaches servers from its start.
[[maybe_unused]] const bool kServersEnabled = (EnablePostgresServers(), true);
}  // namespace

namespace {

// A statement that only reads: a SELECT of none of the functions that change a sequence.
bool PlainRead(std::string_view sql) {
  while (!sql.empty() && (sql.front() == ' ' || sql.front() == '\n')) sql.remove_prefix(1);
  return sql.starts_with("SELECT ") && sql.find("val(") == std::string_view::npos;
}

}  // namespace

void PostgresDb::HoldReads(bool hold) {
  holdReads_ = hold;
  if (!hold && heldRead_) EndHeldRead();
}

int64_t PostgresDb::Snapshot() {
  // Kept rows are read without a statement: the held snapshot's age is seen to here as well.
  const bool old = heldRead_ && std::chrono::steady_clock::now() - heldSince_ > std::chrono::seconds(kHeldReadSeconds);
  if (holdReads_ && (snapshot_ == 0 || old)) {
    try {
      FollowHeldReads("SELECT ");
    } catch (const base::Error&) {
      // Not opened: the read that follows meets the same failure and reports it.
    }
  }
  return snapshot_;
}

void PostgresDb::FollowHeldReads(std::string_view sql) {
  const bool read = PlainRead(sql);
  if (heldRead_ && (!read || std::chrono::steady_clock::now() - heldSince_ > std::chrono::seconds(kHeldReadSeconds))) {
    EndHeldRead();
  }
  if (read && holdReads_ && !heldRead_ && !lostTransaction_ && !lastInTransaction_) {
    Ready();
    OpenHeldRead();
  }
}

void PostgresDb::OpenHeldRead() {
  Run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
  heldRead_ = true;
  heldSince_ = std::chrono::steady_clock::now();
  SetSnapshot(NewSnapshotNumber());
}

void PostgresDb::EndHeldRead() {
  SetSnapshot(0);
  try {
    Run("COMMIT");
  } catch (const base::Error&) {
    // Only reads ran: nothing is lost, and the next call connects again if need be.
  }
  DropHeldRead();
}

void PostgresDb::DropHeldRead() {
  heldRead_ = false;
  lastInTransaction_ = false;
  SetSnapshot(0);
}

}  // namespace platform::lns_embedded
