#include "platform/lns_embedded/network_copy.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string_view>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {
namespace {

// `table`'s row `select` stands on, into `row`.
void TakeRow(const Statement& select, const NetworkTable& table, std::vector<Cell>& row) {
  for (size_t i = 0; i < table.kinds.size(); ++i) {
    const int column = static_cast<int>(i);
    Cell& cell = row[i];
    cell.null = select.IsNull(column);
    if (table.kinds[i] == 'i') {
      cell.number = cell.null ? 0 : select.Int(column);
    } else if (table.kinds[i] == 't') {
      cell.bytes = cell.null ? std::string() : select.Text(column);
    } else {
      const auto blob = cell.null ? std::vector<uint8_t>() : select.Blob(column);
      cell.bytes.assign(blob.begin(), blob.end());
    }
  }
}

Statement SelectAll(SqlDb& from, const NetworkTable& table) {
  return from.Prepare(std::string("SELECT ") + table.columns + " FROM " + table.name + " ORDER BY 1, 2");
}

// Copies every row of `table` as it is (NULL stays NULL); `deviceCopied` is called after each
// row of the devices.
void CopyTable(SqlDb& from, SqlDb& to, const NetworkTable& table, const std::function<void()>& deviceCopied) {
  auto select = SelectAll(from, table);
  const bool devices = std::string_view(table.name) == "device";
  bool first = true;
  to.InsertRows(table.name, table.columns, table.kinds, [&](std::vector<Cell>& row) {
    if (devices && !first) deviceCopied();
    first = false;
    if (!select.Step()) return false;
    TakeRow(select, table, row);
    return true;
  });
}

std::vector<std::string> ColumnNames(const NetworkTable& table) {
  std::vector<std::string> names;
  std::string_view columns(table.columns);
  while (!columns.empty()) {
    const size_t comma = columns.find(',');
    names.emplace_back(columns.substr(0, comma));
    columns = comma == std::string_view::npos ? std::string_view() : columns.substr(comma + 2);
  }
  return names;
}

// The table whose ids `column` of `table` holds ("" for a column that holds none); a CP's owner
// is the row its owner kind names.
std::string_view IdTableOf(std::string_view table, std::string_view column, int64_t ownerKind) {
  if (column == "id") return table;
  if (column == "device_id") return "device";
  if (column == "lonmark_object_id") return "lonmark_object";
  if (column == "nv_id") return "nv";
  if (column != "owner_id") return "";
  switch (static_cast<RowKind>(ownerKind)) {
    case RowKind::Device: return "device";
    case RowKind::LonMarkObject: return "lonmark_object";
    case RowKind::Nv: return "nv";
    default: return "";
  }
}

// `cell` as a literal of its kind (i, t, b) in the server's SQL: escape strings, which mean the
// same whatever its standard_conforming_strings.
void AppendLiteral(std::string& sql, const Cell& cell, char kind) {
  if (cell.null) {
    sql += "NULL";
  } else if (kind == 'i') {
    sql += std::to_string(cell.number);
  } else if (kind == 'b') {
    constexpr const char* kHex = "0123456789abcdef";
    sql += "E'\\\\x";
    for (const char c : cell.bytes) {
      const auto byte = static_cast<unsigned char>(c);
      sql += kHex[byte >> 4];
      sql += kHex[byte & 0x0F];
    }
    sql += "'::bytea";
  } else {
    sql += "E'";
    for (const char c : cell.bytes) {
      if (c == '\'' || c == '\\') sql += c;
      sql += c;
    }
    sql += '\'';
  }
}

// The tables a staged device has rows in, with ids the server hands out.
constexpr const char* kDeviceTablesWithIds[] = {"device", "lonmark_object", "nv", "cp"};

// Fills a new network database with the rows of `source`.
std::function<void(SqlDb&)> RowsOf(SqlDb& source, const DeviceProgress& progress) {
  return [&source, progress](SqlDb& target) {
    int64_t total = 0;
    auto count = source.Prepare("SELECT COUNT(*) FROM device");
    if (count.Step()) total = count.Int(0);
    count.Reset();
    int64_t done = 0;
    const std::function<void()> deviceCopied = [&] {
      if (progress) progress(++done, total);
    };
    for (const NetworkTable& table : kNetworkTables) CopyTable(source, target, table, deviceCopied);
    if (!target.OnServer()) return;
    // Rows inserted with their ids leave the server's sequences behind: new rows go after them.
    for (const NetworkTable& table : kNetworkTables) {
      const std::string name(table.name);
      if (!std::string_view(table.columns).starts_with("id,")) continue;
      target.Exec("SELECT setval(pg_get_serial_sequence('" + name + "', 'id'), (SELECT COALESCE(MAX(id), 0) + 1 FROM " +
                  name + "), false)");
    }
  };
}

}  // namespace

void CopyStagedDeviceToServer(SqlDb& staged, SqlDb& server) {
  // The ids of every table in one query, then every row in one text of INSERTs: a round trip
  // each, whatever the device's size.
  std::vector<std::vector<int64_t>> stagedIds;
  std::string idsSql;
  for (const char* table : kDeviceTablesWithIds) {
    auto rows = staged.Prepare(std::string("SELECT id FROM ") + table + " ORDER BY id");
    stagedIds.emplace_back();
    while (rows.Step()) stagedIds.back().push_back(rows.Int(0));
    idsSql += std::string(idsSql.empty() ? "" : " UNION ALL ") + "SELECT " + std::to_string(stagedIds.size() - 1) +
              ", nextval(pg_get_serial_sequence('" + table + "', 'id')) FROM generate_series(1, " +
              std::to_string(stagedIds.back().size()) + ")";
  }
  std::map<std::string, std::map<int64_t, int64_t>, std::less<>> newIds;  // by table: a staged id's id on the server
  std::vector<size_t> handedOut(stagedIds.size());
  auto handed = server.Prepare(idsSql + " ORDER BY 1, 2");
  while (handed.Step()) {
    const auto table = static_cast<size_t>(handed.Int(0));
    if (table >= stagedIds.size() || handedOut[table] >= stagedIds[table].size()) continue;
    newIds[kDeviceTablesWithIds[table]][stagedIds[table][handedOut[table]++]] = handed.Int(1);
  }
  for (size_t table = 0; table < stagedIds.size(); ++table) {
    if (handedOut[table] != stagedIds[table].size()) {
      throw base::Error(lns::err::kDatabase, "LNS", server.Name() + " handed out too few ids for " + kDeviceTablesWithIds[table]);
    }
  }
  std::string inserts;
  for (const NetworkTable& table : kNetworkTables) {
    if (std::string_view(table.name) == "subsystem") continue;  // the device's subsystem is the server's own
    const std::vector<std::string> columns = ColumnNames(table);
    const auto ownerKind = static_cast<size_t>(std::find(columns.begin(), columns.end(), "owner_kind") - columns.begin());
    auto select = SelectAll(staged, table);
    std::vector<Cell> row(table.kinds.size());
    std::string values;
    while (select.Step()) {
      TakeRow(select, table, row);
      values += values.empty() ? "(" : ", (";
      for (size_t i = 0; i < columns.size(); ++i) {
        const std::string_view ids = IdTableOf(table.name, columns[i], ownerKind < row.size() ? row[ownerKind].number : 0);
        const auto map = newIds.find(ids);  // none: ids of rows the server has (the subsystem's)
        if (!row[i].null && map != newIds.end() && map->second.contains(row[i].number)) row[i].number = map->second.at(row[i].number);
        if (i > 0) values += ", ";
        AppendLiteral(values, row[i], table.kinds[i]);
      }
      values += ")";
    }
    if (!values.empty()) inserts += std::string("INSERT INTO ") + table.name + "(" + table.columns + ") VALUES " + values + ";\n";
  }
  server.Exec(inserts);
}

std::string CopyNetworkToFolder(NetworkDb& source, const std::filesystem::path& folder, bool replace,
                                const DeviceProgress& progress) {
  const ReadTransaction snapshot(source.Db());  // the network of one moment
  const std::string network = source.NetworkName();
  NewNetworkFile(folder, network, source.SystemName(), replace, RowsOf(source.Db(), progress));
  return network;
}

std::string CopyNetworkToServer(NetworkDb& source, SqlDb& server, bool replace, const DeviceProgress& progress) {
  const ReadTransaction snapshot(source.Db());
  const std::string network = source.NetworkName();
  NewNetworkOnServer(server, network, source.SystemName(), replace, RowsOf(source.Db(), progress));
  return network;
}

}  // namespace platform::lns_embedded
