#include "platform/lns_embedded/network_copy.h"

#include <functional>
#include <string_view>

#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {
namespace {

// Copies every row of `table` as it is (NULL stays NULL); `deviceCopied` is called after each
// row of the devices.
void CopyTable(SqlDb& from, SqlDb& to, const NetworkTable& table, const std::function<void()>& deviceCopied) {
  auto select = from.Prepare(std::string("SELECT ") + table.columns + " FROM " + table.name + " ORDER BY 1, 2");
  const bool devices = std::string_view(table.name) == "device";
  bool first = true;
  to.InsertRows(table.name, table.columns, table.kinds, [&](std::vector<Cell>& row) {
    if (devices && !first) deviceCopied();
    first = false;
    if (!select.Step()) return false;
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
    return true;
  });
}

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
