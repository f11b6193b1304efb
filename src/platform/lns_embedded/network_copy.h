#pragma once
// Moving a network between its backends: every row of a network database, ids included, into a
// new network database of the same name in a folder or on a server.

#include <filesystem>
#include <string>

#include "platform/lns_embedded/network_description.h"

namespace platform::lns_embedded {

class NetworkDb;
class SqlDb;

// Copies the network `source` (its tree, CP and NV values, NV monitoring settings and plug-in
// registrations; not the log of NV updates, which other clients read only while it grows) as
// it is at one moment into a new network database: `folder`/<network>.db, or a schema on the
// server `server` is connected to. All or nothing; an existing network of that name is replaced
// only when `replace` (else kDatabase). Returns the network's name.
std::string CopyNetworkToFolder(NetworkDb& source, const std::filesystem::path& folder, bool replace,
                                const DeviceProgress& progress = {});
std::string CopyNetworkToServer(NetworkDb& source, SqlDb& server, bool replace, const DeviceProgress& progress = {});

// Adds the rows of the device staged in `staged` (a network database that holds that device in
// a subsystem of the server's id, and nothing else) to the network `server` is connected to,
// inside the caller's transaction: each row gets an id the server hands out, and the ids its
// rows refer to follow. A query of ids and one text of INSERTs, whatever the device's size.
void CopyStagedDeviceToServer(SqlDb& staged, SqlDb& server);

}  // namespace platform::lns_embedded
