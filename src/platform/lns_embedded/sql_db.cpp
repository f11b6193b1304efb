#include "platform/lns_embedded/sql_db.h"

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {

ReadTransaction::ReadTransaction(SqlDb& db) : db_(db) {
  if (db_.InTransaction()) return;
  db_.BeginReadTransaction();
  began_ = true;
  static int64_t snapshots = 0;
  if (db_.OnServer()) db_.SetSnapshot(++snapshots);
}

ReadTransaction::~ReadTransaction() {
  if (began_) db_.SetSnapshot(0);
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

bool ServerConnectorAvailable() { return static_cast<bool>(Connector()); }

std::unique_ptr<SqlDb> ConnectToServer(const std::string& uri) {
  if (!Connector()) {
    throw base::Error(lns::err::kServerUnreachable, "LNS",
                      "Not available: this program cannot reach network database servers (it was built without the "
                      "PostgreSQL connection; its Qt build and portab-lns have it)");
  }
  return Connector()(uri);
}

}  // namespace platform::lns_embedded
