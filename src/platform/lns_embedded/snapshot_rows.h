#pragma once
// Rows read ahead while a read snapshot is open on a server connection. A walk over a network
// (a tree, the objects a plug-in run reads) asks for one property of one row at a time; on a
// server each of those would be a round trip. Inside a snapshot no row can change, so the
// first question about a row reads a window of the table's rows around it (by id), and the
// first question about a collection's members reads the members of a window of owners: a walk
// costs one query per window instead of one per property. Only one window per table (and per
// kind of collection) is kept, so the memory a walk needs does not grow with the network.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/lns_embedded/sql_db.h"

namespace platform::lns_embedded {

class SnapshotRows {
 public:
  explicit SnapshotRows(SqlDb& db) : db_(db) {}

  // The value of `column` of row `id` of `table` (text, an integer as decimal text, bytes as
  // they are), or nothing when no read snapshot is open, the table or column is not a network
  // table's, or the row does not exist. Raises what the database raises.
  std::optional<std::string> Value(std::string_view table, std::string_view column, int64_t id);

  // The member ids of `owner` in position order, from `windowSql`, a query of (owner, member
  // id) rows for owners from ?1 to before ?2, in owner and position order, with ?3 (when it
  // appears) bound to `kind`. Nothing when no read snapshot is open.
  std::optional<std::vector<int64_t>> Members(const std::string& windowSql, int64_t kind, int64_t owner);

  // Forgets every kept row (the database may have changed under them).
  void Clear();

 private:
  // Whether a snapshot is open; forgets the rows of an earlier one.
  bool Current();

  struct RowWindow {
    int64_t first = 0, last = -1;  // the ids the window covers: a row between them not kept does not exist
    std::vector<std::string> columns;
    std::unordered_map<int64_t, std::vector<std::string>> rows;
  };
  struct MemberWindow {
    int64_t first = 0, last = -1;  // the owners it covers
    std::unordered_map<int64_t, std::vector<int64_t>> members;
  };
  RowWindow& Load(std::string_view table, int64_t id);

  SqlDb& db_;
  int64_t snapshot_ = 0;
  std::map<std::string, RowWindow, std::less<>> rows_;
  std::map<std::pair<std::string, int64_t>, MemberWindow> members_;
};

}  // namespace platform::lns_embedded
