#include "platform/lns_embedded/network_copy.h"

#include <string_view>

#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {
namespace {

// A table's columns and their kinds: i an integer, t text, b bytes. Parents come before their
// children, so that foreign keys hold at every insert.
struct TableRows {
  const char* table;
  const char* columns;
  std::string_view kinds;
};

constexpr TableRows kTables[] = {
    {"subsystem", "id, parent_id, position, name", "iiit"},
    {"device", "id, subsystem_id, position, name, template_name, program_id, reachable", "iiittti"},
    {"lonmark_object", "id, device_id, position, name, profile_type", "iiiti"},
    {"nv",
     "id, device_id, position, name, type_index, changeable, value, format, poll_interval, report_by_exception, "
     "monitor_tag, monitoring_option",
     "iiitiibtiiii"},
    {"lonmark_member", "lonmark_object_id, position, nv_id", "iii"},
    {"cp", "id, owner_kind, owner_id, position, name, element_size, dimension, value", "iiiitiib"},
    {"plugin_registration",
     "program_id, command_id, device_template, class_id, registration_value, name, description, version, "
     "manufacturer_id, device_program_id, file_name, scope",
     "titiitttttti"},
};

// The tables whose ids a server draws from a sequence of its own.
constexpr const char* kIdentityTables[] = {"subsystem", "device", "lonmark_object", "nv", "cp"};

void CopyTable(SqlDb& from, SqlDb& to, const TableRows& rows, int64_t& devices, const DeviceProgress& progress) {
  std::string values;
  for (size_t i = 1; i <= rows.kinds.size(); ++i) values += (i > 1 ? ", ?" : "?") + std::to_string(i);
  auto insert = to.Prepare(std::string("INSERT INTO ") + rows.table + "(" + rows.columns + ") VALUES (" + values + ")");
  auto select = from.Prepare(std::string("SELECT ") + rows.columns + " FROM " + rows.table + " ORDER BY 1, 2");
  while (select.Step()) {
    insert.Reset();
    for (size_t i = 0; i < rows.kinds.size(); ++i) {
      const int column = static_cast<int>(i);
      switch (rows.kinds[i]) {
        case 'i': insert.Bind(column + 1, select.Int(column)); break;
        case 't': insert.Bind(column + 1, select.Text(column)); break;
        default: insert.Bind(column + 1, select.Blob(column)); break;
      }
    }
    insert.Run();
    if (std::string_view(rows.table) == "device" && progress) progress(++devices, -1);
  }
}

// Fills a new network database with the rows of `source`.
std::function<void(SqlDb&)> RowsOf(SqlDb& source, const DeviceProgress& progress) {
  return [&source, progress](SqlDb& target) {
    int64_t total = 0;
    auto count = source.Prepare("SELECT COUNT(*) FROM device");
    if (count.Step()) total = count.Int(0);
    count.Reset();
    int64_t devices = 0;
    const DeviceProgress counted = [&](int64_t done, int64_t) {
      if (progress) progress(done, total);
    };
    for (const TableRows& rows : kTables) CopyTable(source, target, rows, devices, counted);
    if (!target.OnServer()) return;
    // Rows inserted with their ids leave the server's sequences behind: new rows go after them.
    for (const char* table : kIdentityTables) {
      const std::string name(table);
      target.Exec("SELECT setval(pg_get_serial_sequence('" + name + "', 'id'), (SELECT COALESCE(MAX(id), 0) + 1 FROM " +
                  name + "), false)");
    }
  };
}

}  // namespace

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
