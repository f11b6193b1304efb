#include "platform/lns_embedded/snapshot_rows.h"

#include <algorithm>
#include <limits>

#include "base/text.h"
#include "platform/lns_embedded/network_db.h"

namespace platform::lns_embedded {
namespace {

// Rows a window reads at once, and how far before the asked id it starts (a walk visits a
// device's rows in about the order they were written, not strictly).
constexpr int64_t kWindowRows = 2048;
constexpr int64_t kRowsBefore = 256;
// Owners whose members a window reads at once, and how many of them come before the asked one.
constexpr int64_t kWindowOwners = 512;
constexpr int64_t kOwnersBefore = 64;

// `count` ids before `id`, but never below the first ids a table gives (nor wrapping round).
int64_t Before(int64_t id, int64_t count) { return id > count ? id - count : std::min<int64_t>(id, 0); }

}  // namespace

bool SnapshotRows::Current() {
  const int64_t snapshot = db_.Snapshot();
  if (snapshot != snapshot_) {
    Clear();
    snapshot_ = snapshot;
  }
  return snapshot != 0;
}

void SnapshotRows::Clear() {
  rows_.clear();
  members_.clear();
}

SnapshotRows::RowWindow& SnapshotRows::Load(std::string_view tableName, int64_t id) {
  const NetworkTable& table = *NetworkTableWithIds(tableName);
  rows_.erase(std::string(tableName));  // a failed read leaves no window
  RowWindow window;
  window.columns = base::Split(table.columns, ", ");
  window.first = Before(id, kRowsBefore);
  auto rows = db_.Prepare(std::string("SELECT ") + table.columns + " FROM " + table.name + " WHERE id >= ?1 ORDER BY id LIMIT ?2")
                  .Bind(1, window.first)
                  .Bind(2, kWindowRows);
  int64_t count = 0;
  int64_t lastId = window.first;
  while (rows.Step()) {
    std::vector<std::string> values(table.kinds.size());
    for (size_t i = 0; i < table.kinds.size(); ++i) {
      const int column = static_cast<int>(i);
      if (table.kinds[i] == 'i') {
        values[i] = std::to_string(rows.Int(column));  // a server's boolean reads as 1 or 0
      } else if (table.kinds[i] == 'b') {
        const auto bytes = rows.Blob(column);
        values[i].assign(bytes.begin(), bytes.end());
      } else {
        values[i] = rows.Text(column);
      }
    }
    lastId = rows.Int(0);
    window.rows.emplace(lastId, std::move(values));
    ++count;
  }
  // A short window reaches the end of the table: every later id is known not to exist.
  window.last = count < kWindowRows ? std::numeric_limits<int64_t>::max() : lastId;
  return rows_[std::string(tableName)] = std::move(window);
}

std::optional<std::string> SnapshotRows::Value(std::string_view table, std::string_view column, int64_t id) {
  if (!Current() || NetworkTableWithIds(table) == nullptr) return std::nullopt;
  auto kept = rows_.find(table);
  RowWindow& window = kept != rows_.end() && id >= kept->second.first && id <= kept->second.last ? kept->second
                                                                                                 : Load(table, id);
  const auto at = std::find(window.columns.begin(), window.columns.end(), column);
  const auto row = window.rows.find(id);
  if (at == window.columns.end() || row == window.rows.end()) return std::nullopt;
  return row->second[static_cast<size_t>(at - window.columns.begin())];
}

std::optional<std::vector<int64_t>> SnapshotRows::Members(const std::string& windowSql, int64_t kind, int64_t owner) {
  if (!Current()) return std::nullopt;
  MemberWindow& window = members_[{windowSql, kind}];
  if (owner < window.first || owner > window.last) {
    // The range is the window's only once its rows are read: a failed read leaves none.
    MemberWindow read;
    read.first = Before(owner, kOwnersBefore);
    read.last = read.first > std::numeric_limits<int64_t>::max() - kWindowOwners ? std::numeric_limits<int64_t>::max() - 1
                                                                                 : read.first + kWindowOwners - 1;
    window = MemberWindow{};
    auto rows = db_.Prepare(windowSql);
    rows.Bind(1, read.first).Bind(2, read.last + 1);
    if (windowSql.find("?3") != std::string::npos) rows.Bind(3, kind);
    while (rows.Step()) read.members[rows.Int(0)].push_back(rows.Int(1));
    window = std::move(read);
  }
  const auto found = window.members.find(owner);
  return found != window.members.end() ? found->second : std::vector<int64_t>{};
}

}  // namespace platform::lns_embedded
