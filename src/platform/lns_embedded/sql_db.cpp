#include "platform/lns_embedded/sql_db.h"

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {

ReadTransaction::ReadTransaction(SqlDb& db) : db_(db) {
  if (db_.InTransaction()) return;
  db_.BeginReadTransaction();
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

namespace {
ServerConnector& Connector() {
  static ServerConnector connector;
  return connector;
}
}  // namespace

void SetServerConnector(ServerConnector connector) { Connector() = std::move(connector); }

std::unique_ptr<SqlDb> ConnectToServer(const std::string& uri) {
  if (!Connector()) {
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "This program cannot reach network database servers (built without the PostgreSQL connection)");
  }
  return Connector()(uri);
}

}  // namespace platform::lns_embedded
