#pragma once
// What differs between the databases that hold a network: the schema's text, where its version
// is kept, how a write transaction begins and what tells a reader that another client wrote.
// Everything else the network database sends is SQL both understand.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {

class NetworkDialect {
 public:
  virtual ~NetworkDialect() = default;
  // The tables and triggers of an empty network, and its schema version.
  virtual void CreateSchema(SqlDb& db) const = 0;
  // The lookup indexes; HasAllIndexes tells whether a database has every one of them.
  virtual void CreateIndexes(SqlDb& db) const = 0;
  virtual bool HasAllIndexes(SqlDb& db) const = 0;
  // The schema version the database holds (0: none kept the way this dialect keeps it).
  virtual int64_t SchemaVersion(SqlDb& db) const = 0;
  virtual void SetSchemaVersion(SqlDb& db) const = 0;
  // The statement that begins a write transaction.
  virtual const char* BeginWrite() const = 0;
  // Changes when another client may have written since the last call.
  virtual int64_t DataVersion(SqlDb& db) const = 0;
};

// The dialect of the database `db` is connected to.
const NetworkDialect& DialectOf(const SqlDb& db);

// Adds the columns of schema versions 3 and 5 that a database lacks (a device's address on its
// channel, the device NV that holds a CP, the value file and offset where the device keeps a
// CP); for files of every older version alike, in either dialect.
void AddMissingColumns(SqlDb& db);
// Runs `change` in a write transaction of its own; nothing of it stays when it fails.
void InWriteTransaction(SqlDb& db, const std::function<void()>& change);
// The device template tables of schema version 6.
void CreateTemplateTables(SqlDb& db);
// Schema version 7: the NV update log keeps each changed value with its entry.
void LogNvValues(SqlDb& db);
// Schema version 4: a CP held by a configuration NV and the NV become one value (the triggers
// that keep them equal); where they differ, the CP takes the NV's value.
void JoinConfigNvsAndCps(SqlDb& db);

// The deletion triggers a SQLite network database of the first schema version lacks.
void CreateSqliteDeletionTriggers(SqlDb& db);

// On a server, each network is a schema of its name.
// `name` as a quoted SQL identifier ("Demo", "a""b").
std::string QuotedName(std::string_view name);
// The networks on the server: the schemas that hold a network database, in name order.
std::vector<std::string> NetworksOnServer(SqlDb& db);
bool NetworkExistsOnServer(SqlDb& db, const std::string& name);
// Points the connection at the network's schema (its name matched without regard to case);
// kNotFound when the server has no such network.
void UseNetworkOnServer(SqlDb& db, const std::string& name);
// Whether a network `name` may be made on the server: kBadValue for a name the server cannot
// keep as a schema, kDatabase when a network of that name exists and !replace (or exists in
// another case), or when a schema of that name holds something else.
void CheckNewNetworkOnServer(SqlDb& db, const std::string& name, bool replace);

}  // namespace platform::lns_embedded
