#include "platform/lns_embedded/embedded_server.h"

#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "base/waiting.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/lonip_link.h"
#include "platform/lonip/lonip_error.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/nv_types.h"
#include "platform/registry/file_registry.h"

namespace platform::lns_embedded {
namespace {

// The networks of the server: one per database file, in name order.
class NetworkList final : public lns::NetworkCollection {
 public:
  explicit NetworkList(std::shared_ptr<EmbeddedObjectServer> server, std::vector<std::string> names)
      : server_(std::move(server)), names_(std::move(names)) {}
  lns::ObjectPtr Parent() const override { return server_; }
  std::string Name() const override { return "Networks"; }
  int32_t Count() const override { return static_cast<int32_t>(names_.size()); }
  std::shared_ptr<lns::Network> Item(int32_t position) const override {
    if (position < 1 || position > Count()) {
      throw base::Error(lns::err::kIndexOutOfRange, "LNS", "Network " + std::to_string(position) + " does not exist");
    }
    return NetworkObject(server_->Database(names_[static_cast<size_t>(position) - 1]));
  }
  std::shared_ptr<lns::Network> ItemByName(std::string_view name) const override {
    for (const auto& candidate : names_) {
      if (base::EqualsNoCase(candidate, name)) return NetworkObject(server_->Database(candidate));
    }
    const std::string where = server_->ServerUri().empty()
                                  ? "there is no network database " + DatabaseFile(server_->Folder(), std::string(name)).string()
                                  : server_->ServerConnection().Name() + " has no such network";
    throw base::Error(lns::err::kNotFound, "LNS",
                      "The network \"" + std::string(name) + "\" does not exist: " + where +
                          " (portab-lns create <description.json> creates one)");
  }

 private:
  std::shared_ptr<EmbeddedObjectServer> server_;
  std::vector<std::string> names_;
};

}  // namespace

std::filesystem::path DatabaseFile(const std::filesystem::path& folder, const std::string& networkName) {
  return folder / (networkName + ".db");
}

std::string ServerFromEnvironment() {
  const char* uri = std::getenv("PORTAB_SERVER");
  return uri != nullptr ? uri : "";
}

namespace {

constexpr const char* kEntryExtension = ".server";

// The entry file of the network, whichever case its name was written in ("" when none).
std::filesystem::path EntryFile(const std::filesystem::path& folder, const std::string& networkName) {
  for (const auto& name : NetworksWithServerEntry(folder)) {
    if (base::EqualsNoCase(name, networkName)) return folder / (name + kEntryExtension);
  }
  return {};
}

}  // namespace

std::string ServerEntry(const std::filesystem::path& folder, const std::string& networkName) {
  const auto file = EntryFile(folder, networkName);
  if (file.empty()) return "";
  std::ifstream in(file);
  std::string uri;
  std::getline(in, uri);
  return std::string(base::TrimWhitespace(uri));
}

void SetServerEntry(const std::filesystem::path& folder, const std::string& networkName, const std::string& uri) {
  const auto existing = EntryFile(folder, networkName);
  std::error_code ec;
  if (uri.empty()) {
    if (!existing.empty() && !std::filesystem::remove(existing, ec) && ec) {
      throw base::Error(base::err::kPathFileAccess, "LNS", "Cannot remove " + existing.string() + ": " + ec.message());
    }
    return;
  }
  const auto file = existing.empty() ? folder / (networkName + kEntryExtension) : existing;
  std::filesystem::create_directories(folder, ec);
  const base::ReplaceOutcome outcome = base::ReplacePrivateFileAtomically(file, uri + "\n");
  if (!outcome) {
    throw base::Error(base::err::kPathFileAccess, "LNS", "Cannot write " + file.string() + ": " + std::strerror(outcome.error));
  }
}

std::vector<std::string> NetworksWithServerEntry(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == kEntryExtension) names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ServerNamed(const std::filesystem::path& folder) {
  return !ServerFromEnvironment().empty() || !NetworksWithServerEntry(folder).empty();
}

void EmbeddedObjectServer::Open(int16_t accessMode) {
  if (accessMode == 1 || accessMode == 2) {
    const std::string where = serverUri_.empty() ? "the local network databases in " + folder_.string() +
                                                       " (or on the servers their entries name)"
                                                 : "the network databases on the server PORTAB_SERVER names";
    base::LogNote("Remote access (access mode " + std::to_string(accessMode) + ") has no transport here; " + where +
                  " are opened");
  }
  remote_ = accessMode == 1 || accessMode == 2;
  open_ = true;
}

const std::shared_ptr<DeviceWorker>& EmbeddedObjectServer::Worker() {
  if (!worker_) worker_ = std::make_shared<DeviceWorker>();
  return worker_;
}

void EmbeddedObjectServer::Close() {
  networks_.clear();
  open_ = false;
}

std::string EmbeddedObjectServer::Text() const {
  if (!ActiveServerUri().empty()) return "portab embedded LNS object server (network databases on a PostgreSQL server)";
  return "portab embedded LNS object server (SQLite " SQLITE_VERSION ")";
}

SqlDb& EmbeddedObjectServer::ServerConnection() {
  if (!serverConnection_) serverConnection_ = ConnectToServer(ActiveServerUri());
  return *serverConnection_;
}

std::vector<std::string> EmbeddedObjectServer::NetworkNames() const {
  if (!serverUri_.empty()) return NetworksOnServer(const_cast<EmbeddedObjectServer*>(this)->ServerConnection());
  std::vector<std::string> names = NetworksWithServerEntry(folder_);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".db") continue;
    const std::string name = entry.path().stem().string();
    const auto same = [&name](const std::string& other) { return base::EqualsNoCase(other, name); };
    if (std::none_of(names.begin(), names.end(), same)) names.push_back(name);  // an entry wins over the file
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::shared_ptr<lns::NetworkCollection> EmbeddedObjectServer::Networks() {
  if (!open_) throw base::Error(lns::err::kNotOpen, "LNS", "The object server is not open");
  return std::make_shared<NetworkList>(shared_from_this(), NetworkNames());
}

void EmbeddedObjectServer::HoldReads(bool hold) {
  holdReads_ = hold;
  for (auto& [name, network] : networks_) network.db->Db().HoldReads(hold);
}

std::shared_ptr<NetworkDb> EmbeddedObjectServer::Database(const std::string& givenName) {
  // Network names are found without regard to case, as an LNS server finds them.
  std::string networkName = givenName;
  if (!networks_.contains(networkName) && serverUri_.empty()) {
    for (const auto& name : NetworkNames()) {
      if (base::EqualsNoCase(name, givenName)) networkName = name;
    }
  }
  auto it = networks_.find(networkName);
  if (it != networks_.end()) return it->second.db;
  std::shared_ptr<NetworkDb> db;
  const std::string uri = serverUri_.empty() ? ServerEntry(folder_, networkName) : serverUri_;
  if (uri.empty()) {
    db = NetworkDb::Open(DatabaseFile(folder_, networkName), weak_from_this());
  } else {
    // One connection per network: its own transactions. The connection that found the network
    // in the server's list becomes its own (a connection less to make and to keep).
    auto connection = serverConnection_ && uri == ActiveServerUri() && !serverConnection_->InTransaction()
                          ? std::move(serverConnection_)
                          : ConnectToServer(uri);
    UseNetworkOnServer(*connection, networkName);
    db = NetworkDb::Open(std::move(connection), weak_from_this());
    if (serverUri_.empty() && entryServerUri_.empty()) entryServerUri_ = uri;  // its events are listened for
  }
  db->Db().HoldReads(holdReads_);
  const auto settings = InterfaceOf(networkName);
  const bool linked = settings.has_value();
  if (linked) db->SetDeviceLink(std::make_shared<LonIpLink>(*settings, folder_, db->Db()));
  db->SetWorker(Worker());
  // The network's objects may outlive this server.
  db->SetAnswerHandler([self = weak_from_this(), networkName](const DeviceAnswer& answer) {
    if (const auto server = self.lock()) server->TakePollAnswer(networkName, answer);
  });
  const int64_t last = db->LastUpdate();
  networks_.emplace(networkName, OpenNetwork{db, last});
  if (linked) ArmPollTimer();  // its monitored NVs are polled from now on
  return db;
}

void EmbeddedObjectServer::SetNetworkInterfaceName(const std::string& name) {
  registry::FileRegistry store(RegistryFile());
  const auto settings = lonip::InterfaceStore(store).Find(name);
  if (!settings) {
    if (!name.empty() && name != "Internet") {
      base::LogNote("The network interface \"" + name + "\" is not a LON/IP interface of this machine (portab-lns "
                    "interface list); each network keeps the interface attached to it");
    }
    return;
  }
  ::setenv("PORTAB_LON_INTERFACE", settings->name.c_str(), 1);
}

std::optional<lonip::InterfaceSettings> EmbeddedObjectServer::InterfaceOf(const std::string& networkName) const {
  const std::filesystem::path file = RegistryFile();
  if (!std::filesystem::exists(file)) return std::nullopt;
  registry::FileRegistry store(file);
  const lonip::InterfaceStore interfaces(store);
  const char* chosen = std::getenv("PORTAB_LON_INTERFACE");
  if (chosen != nullptr && *chosen != '\0') {
    if (auto settings = interfaces.Find(chosen)) return settings;
  }
  try {
    return interfaces.AttachedTo(networkName);
  } catch (const lonip::LonIpError& e) {
    throw base::Error(lns::err::kBadValue, "LNS", e.what());
  }
}

EmbeddedObjectServer::~EmbeddedObjectServer() {
  for (const int fd : {watch_, events_, pollTimer_}) {
    if (fd >= 0) ::close(fd);
  }
}

namespace {

using Clock = std::chrono::steady_clock;

// A monitored NV is read this often when its poll interval (milliseconds) is 0.
constexpr auto kDefaultPoll = std::chrono::milliseconds(1000);
// A device that did not answer is asked again after this long at the soonest.
constexpr auto kFailedPoll = std::chrono::seconds(10);
// New monitor tags are found within this long.
constexpr auto kLongestPollWait = std::chrono::seconds(1);
// How soon a connection to a server that went away is tried again.
constexpr auto kServerRetry = std::chrono::seconds(1);

}  // namespace

int EmbeddedObjectServer::EventDescriptor() {
  if (events_ >= 0) return events_;
  if (watch_ >= 0) return watch_;  // made before, without the poll timer
  int base = -1;
  if (!ActiveServerUri().empty()) {  // the server notifies its listeners of changed NV values
    try {
      // A connection that only listens: a query on it could take a notification off the
      // socket without waking the event loop.
      if (!listener_) {
        auto listener = ConnectToServer(ActiveServerUri());
        listener->Listen("portab_nv_update");
        listener_ = std::move(listener);
      }
      base = listener_->NotificationDescriptor();
    } catch (const base::Error& e) {
      base::LogSwallowedError("The network database server's notifications cannot be received: " + e.Description());
      return -1;  // asked for on a timer instead
    }
  } else {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return -1;
    // A write of another process lands in a database file or its write-ahead log.
    if (::inotify_add_watch(fd, folder_.c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
      ::close(fd);
      return -1;
    }
    watch_ = base = fd;
  }
  // One descriptor for all: changes of the databases, polls of devices that are due, and the
  // devices' answers to reads away from the window.
  const int events = ::epoll_create1(EPOLL_CLOEXEC);
  const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  epoll_event wanted{};
  wanted.events = EPOLLIN;
  const int answers = Worker()->Descriptor();
  if (events < 0 || timer < 0 || answers < 0 || ::epoll_ctl(events, EPOLL_CTL_ADD, base, &wanted) != 0 ||
      ::epoll_ctl(events, EPOLL_CTL_ADD, timer, &wanted) != 0 || ::epoll_ctl(events, EPOLL_CTL_ADD, answers, &wanted) != 0) {
    for (const int fd : {events, timer}) {
      if (fd >= 0) ::close(fd);
    }
    return base;  // without polls of devices but the changes still wake the loop
  }
  events_ = events;
  pollTimer_ = timer;
  ArmPollTimer();
  return events_;
}

bool EmbeddedObjectServer::FollowListener() {
  const int reconnects = listener_->Reconnects();
  listener_->TakeNotifications();  // tries to connect again when the server went away
  const int socket = listener_->NotificationDescriptor();
  if (listener_->Reconnects() != reconnects && events_ >= 0 && socket >= 0) {
    // A new connection, a new socket (perhaps of the old one's number, which closing took out
    // of the set): the event descriptor the window watches stays the same.
    epoll_event wanted{};
    wanted.events = EPOLLIN;
    if (::epoll_ctl(events_, EPOLL_CTL_ADD, socket, &wanted) != 0) {
      base::LogSwallowedError("The network database server's notifications cannot be followed again");
    }
  }
  return socket >= 0;
}

void EmbeddedObjectServer::ArmPollTimer() {
  if (pollTimer_ < 0) return;
  itimerspec when{};
  const bool polling = std::any_of(networks_.begin(), networks_.end(),
                                   [](const auto& entry) { return entry.second.db->Link() != nullptr; });
  const bool serverAway = listener_ && listener_->NotificationDescriptor() < 0;
  if (polling || serverAway) {
    auto next = Clock::now() + (serverAway ? kServerRetry : kLongestPollWait);
    for (const auto& [key, state] : polls_) {
      // An answer wakes the loop itself; while the server is away no poll is made.
      if (!state.asking && !serverAway) next = std::min(next, state.due);
    }
    const auto wait = std::max<int64_t>(
        1'000'000, std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now()).count());
    when.it_value.tv_sec = static_cast<time_t>(wait / 1'000'000'000);
    when.it_value.tv_nsec = static_cast<long>(wait % 1'000'000'000);
  }
  ::timerfd_settime(pollTimer_, 0, &when, nullptr);
}

// The due monitored NVs are asked for away from this thread; their answers come back through
// the worker (TakePollAnswer). A device that does not answer fails its other NVs of the round
// without being asked again.
void EmbeddedObjectServer::PollDevices() {
  const auto now = Clock::now();
  std::map<std::pair<std::string, int64_t>, PollState> seen;
  for (auto& [name, network] : networks_) {
    // Inside an open transaction a stored value would become part of it: those wait.
    if (network.db->Link() == nullptr || network.db->Db().InTransaction()) continue;
    for (const auto& [id, settings] : network.db->MonitoredNvs()) {
      const int64_t interval = settings.pollInterval;
      const int32_t tag = settings.tag;
      const std::pair<std::string, int64_t> key{name, id};
      const auto known = polls_.find(key);
      PollState state = known != polls_.end() ? known->second : PollState{now};
      state.interval = interval > 0 ? std::chrono::milliseconds(interval) : kDefaultPoll;
      state.tag = tag;
      if (state.due <= now && !state.asking) state.asking = network.db->AskInBackground(id);
      seen[key] = state;
    }
  }
  polls_ = std::move(seen);  // NVs no longer monitored are forgotten
}

void EmbeddedObjectServer::TakePollAnswer(const std::string& network, const DeviceAnswer& answer) {
  const auto known = polls_.find({network, answer.nvId});
  if (known == polls_.end()) return;  // a read of an NV that is not monitored
  PollState& state = known->second;
  const auto now = Clock::now();
  state.asking = false;
  if (answer.error == 0 || answer.error == lns::err::kInterfaceBusy) {
    // Another program of the machine using the interface is no failure of the device.
    state.due = now + state.interval;
    if (answer.error == 0) state.failed = false;
    return;
  }
  if (!state.failed) {
    base::LogSwallowedError("A monitored NV could not be read: " + answer.failure);
    if (failureHandler_) failureHandler_(state.tag, answer.failure);
  }
  state.failed = true;
  state.due = now + std::max<Clock::duration>(state.interval, kFailedPoll);
}

int EmbeddedObjectServer::PumpEvents() {
  // Inside a turn of the event loop while this thread waits for a device (the framework's code
  // is in the middle of something, maybe a transaction): the events wait until it is done, and
  // the descriptor stays readable for them.
  if (base::InWaitTurn()) return 0;
  // Read the descriptors empty first: a write after this point wakes the event loop again.
  const bool serverHere = !listener_ || FollowListener();
  std::array<char, 4096> buffer{};
  for (const int fd : {watch_, pollTimer_}) {
    if (fd < 0) continue;
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
  }
  if (!serverHere) {
    // The server is away: asked again in a second, the networks' rows then. The devices'
    // answers wait in the worker until it is back (their descriptor read empty, so that the
    // loop does not spin).
    if (worker_ && worker_->Descriptor() >= 0) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t read = ::read(worker_->Descriptor(), &count, sizeof count);
    }
    ArmPollTimer();
    return 0;
  }
  if (worker_) worker_->RunDelivered();  // the devices' answers: stored, and failures told
  PollDevices();
  int raised = 0;
  for (auto& [name, network] : networks_) {
    for (const auto& update : network.db->UpdatesSince(network.lastUpdate)) {
      network.lastUpdate = update.seq;
      auto nv = NvObject(network.db, update.nvId);
      int32_t tag = 0;
      std::string value;
      try {
        // The value delivered is the one logged with this update (a later one may have followed
        // it), not the device asked once more.
        const LinkSetAside stored(*network.db);
        tag = nv->MonitorTag();
        if (tag != 0) value = update.value ? FormatNvValue(nv->NvType(), *update.value, nv->Format()) : nv->Value();
      } catch (const base::Error&) {
        continue;  // the NV was removed since
      }
      if (tag == 0 || !handler_) continue;
      handler_(tag, value, nv);
      ++raised;
    }
  }
  ArmPollTimer();
  return raised;
}

}  // namespace platform::lns_embedded
