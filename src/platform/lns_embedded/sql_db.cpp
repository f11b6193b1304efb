#include "platform/lns_embedded/sql_db.h"

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

}  // namespace platform::lns_embedded
