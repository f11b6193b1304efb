#include "platform/lns_embedded/sql_db.h"

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {

ReadTransaction::ReadTransaction(SqlDb& db) : db_(db) {
  if (db_.InTransaction()) return;
  db_.BeginReadTransaction();
  began_ = true;
  if (db_.OnServer()) db_.SetSnapshot(SqlDb::NewSnapshotNumber());
}

int64_t SqlDb::NewSnapshotNumber() {
  static int64_t snapshots = 0;
  return ++snapshots;
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

void SqlDb::InsertRows(std::string_view table, std::string_view columns, std::string_view kinds,
                       const std::function<bool(std::vector<Cell>&)>& next) {
  std::string values;
  for (size_t i = 1; i <= kinds.size(); ++i) values += (i > 1 ? ", ?" : "?") + std::to_string(i);
  auto insert = Prepare("INSERT INTO " + std::string(table) + "(" + std::string(columns) + ") VALUES (" + values + ")");
  std::vector<Cell> row(kinds.size());
  while (next(row)) {
    insert.Reset();
    for (size_t i = 0; i < kinds.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      if (row[i].null) {
        insert.BindNull(index);
      } else if (kinds[i] == 'i') {
        insert.Bind(index, row[i].number);
      } else if (kinds[i] == 't') {
        insert.Bind(index, std::string_view(row[i].bytes));
      } else {
        insert.Bind(index, std::vector<uint8_t>(row[i].bytes.begin(), row[i].bytes.end()));
      }
    }
    insert.Run();
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
