#pragma once
// The embedded LNS object server: the networks are the database files "<name>.db" in one
// folder ($PORTAB_HOME/lns), or schemas on a PostgreSQL server (PORTAB_SERVER, or a network's
// server entry in the folder). NV update events are delivered when the host calls PumpEvents;
// EventDescriptor watches the folder (inotify), or is the socket of a connection that listens
// for the server's notifications, so an event loop wakes when any process writes a network.

#include <filesystem>
#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "lns/lns_objects.h"
#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/nv_types.h"
#include "platform/lonip/interfaces.h"

namespace platform::lns_embedded {

class EmbeddedObjectServer final : public lns::ObjectServer,
                                   public std::enable_shared_from_this<EmbeddedObjectServer> {
 public:
  explicit EmbeddedObjectServer(std::filesystem::path folder) : folder_(std::move(folder)) {}
  // The networks on a database server instead (a libpq URI; "" the folder).
  EmbeddedObjectServer(std::filesystem::path folder, std::string serverUri)
      : folder_(std::move(folder)), serverUri_(std::move(serverUri)) {}
  ~EmbeddedObjectServer() override;
  EmbeddedObjectServer(const EmbeddedObjectServer&) = delete;
  EmbeddedObjectServer& operator=(const EmbeddedObjectServer&) = delete;

  lns::ObjectPtr Parent() const override { return nullptr; }
  std::string Name() const override { return "ObjectServer"; }
  // Access modes 1 and 2 (remote) have no transport here: the local databases are opened.
  void Open(int16_t accessMode) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::string Text() const override;
  bool Remote() const override { return remote_; }
  std::shared_ptr<lns::NetworkCollection> Networks() override;
  void SetNvUpdateHandler(lns::NvUpdateHandler handler) override { handler_ = std::move(handler); }
  void SetNvFailureHandler(lns::NvFailureHandler handler) override { failureHandler_ = std::move(handler); }
  // Polls the monitored NVs of networks with devices that are due, then delivers the NV updates
  // logged since the last call.
  int PumpEvents() override;
  // Readable after a file in the folder (or the server's notification socket) was written, and
  // when a monitored NV of a network with devices is due for a poll; -1 when it cannot be made.
  int EventDescriptor() override;
  const lns::NvTypeInformation* NvTypeInfo() const override { return &nvTypeInfo_; }
  // Holds the reads of every network on a server, open now or opened while held.
  void HoldReads(bool hold) override;

  // The names of the networks, in name order, without opening them.
  std::vector<std::string> NetworkNames() const;
  // The open database of a network (opened on first use; its name matched without regard to case).
  std::shared_ptr<NetworkDb> Database(const std::string& networkName);
  const std::filesystem::path& Folder() const { return folder_; }
  // The database server's URI, "" when the networks are files in Folder().
  const std::string& ServerUri() const { return serverUri_; }
  // A connection to the server for work outside one network (creating one, listing them,
  // listening): ServerUri()'s, or else the server of the first network opened through its entry.
  SqlDb& ServerConnection();

  // The LON/IP interface every network of this run reaches its devices through, winning over
  // the one attached to a network: a name of the registry store's interfaces (the NI keyword,
  // NetworkInterfaceName). Any other value ("Internet", "") leaves each network's own. The name
  // is handed on in PORTAB_LON_INTERFACE to the programs this one starts.
  void SetNetworkInterfaceName(const std::string& name) override;
  // The interface a network reaches its devices through; nullopt for simulated devices. Raises
  // kBadValue, naming both, when the interface attached to the network cannot be used.
  std::optional<lonip::InterfaceSettings> InterfaceOf(const std::string& networkName) const;
  // The registry store this server's interfaces are kept in: registry.reg beside the folder.
  std::filesystem::path RegistryFile() const { return folder_.parent_path() / "registry.reg"; }

 private:
  struct OpenNetwork {
    std::shared_ptr<NetworkDb> db;
    int64_t lastUpdate = 0;
  };

  std::filesystem::path folder_;
  std::string serverUri_;
  std::string entryServerUri_;  // the server of the first network opened through its entry
  // PORTAB_SERVER's server, else that of the first network opened through its entry ("" none).
  const std::string& ActiveServerUri() const { return serverUri_.empty() ? entryServerUri_ : serverUri_; }
  std::unique_ptr<SqlDb> serverConnection_;
  std::unique_ptr<SqlDb> listener_;  // listens for the server's notices of changed NV values
  // Takes the listener's notifications; after the server went away, tries to connect again and
  // watches the new connection. False while the server is away.
  bool FollowListener();
  bool open_ = false;
  bool remote_ = false;
  bool holdReads_ = false;
  lns::NvUpdateHandler handler_;
  EmbeddedNvTypeInformation nvTypeInfo_;
  std::map<std::string, OpenNetwork> networks_;
  int watch_ = -1;  // the inotify descriptor on folder_, made on first use
  // What EventDescriptor hands out: an epoll descriptor over the watch (or the listener) and
  // the poll timer.
  int events_ = -1;
  int pollTimer_ = -1;
  struct PollState {
    std::chrono::steady_clock::time_point due;
    bool failed = false;
    bool asking = false;  // a read is under way
    std::chrono::steady_clock::duration interval{};
    int32_t tag = 0;
  };
  std::map<std::pair<std::string, int64_t>, PollState> polls_;  // by network and NV id
  lns::NvFailureHandler failureHandler_;
  // Asks for the due monitored NVs of the networks with devices, away from this thread.
  void PollDevices();
  // A poll's answer: a changed value was stored (which logs it for delivery); a device that
  // stopped answering is told to the failure handler, once for each NV, and asked again later.
  void TakePollAnswer(const std::string& network, const DeviceAnswer& answer);
  // Runs device reads away from this thread; its descriptor is part of EventDescriptor's.
  const std::shared_ptr<DeviceWorker>& Worker();
  std::shared_ptr<DeviceWorker> worker_;
  // Arms the poll timer for the next due poll (disarms it when nothing is polled).
  void ArmPollTimer();
};

std::filesystem::path DatabaseFile(const std::filesystem::path& folder, const std::string& networkName);

// Which database a network of `folder` is opened in. PORTAB_SERVER (a libpq URI) puts every
// network on that server; without it, a network's server entry (<network>.server in the folder,
// one line with the URI) puts that network on its server; with neither, the network is
// <network>.db in the folder.
std::string ServerFromEnvironment();
// The URI of the network's server entry ("" when it has none); names are compared without
// regard to case, as everywhere.
std::string ServerEntry(const std::filesystem::path& folder, const std::string& networkName);
// Writes the entry (readable by its owner only: a URI may hold a password), or removes it when
// `uri` is "". Raises kPathFileAccess when the folder cannot be written.
void SetServerEntry(const std::filesystem::path& folder, const std::string& networkName, const std::string& uri);
// The networks that have a server entry, in name order.
std::vector<std::string> NetworksWithServerEntry(const std::filesystem::path& folder);
// Whether a run with this folder may open a network on a server (PORTAB_SERVER or an entry).
bool ServerNamed(const std::filesystem::path& folder);

}  // namespace platform::lns_embedded
