// The network database server restarted while clients are connected: between transactions a
// connection comes back with its session, a transaction open across the restart fails and
// leaves nothing, monitoring follows the server again, and a server that stays away is named.
// These tests stop and start the server (PORTAB_TEST_SERVER_CONTROL), so they run on a server
// of their own (tests/CMakeLists.txt), never beside other tests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/postgres_db.h"
#include "support/matchers.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

using namespace platform::lns_embedded;
using testing_support::Raises;
using ::testing::HasSubstr;

class ServerRestartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PORTAB_TEST_SERVER_OR_SKIP(uri);
    const char* control = std::getenv("PORTAB_TEST_SERVER_CONTROL");
    if (control == nullptr) GTEST_SKIP() << "PORTAB_TEST_SERVER_CONTROL names no script that restarts the server";
    uri_ = uri;
    control_ = control;
    auto description = nlohmann::json::parse(testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json"));
    description["network"] = name_;
    PostgresDb admin(uri_);
    CreateNetworkOnServer(admin, description.dump(), true);
  }
  void TearDown() override {
    if (!uri_.empty()) PostgresDb(uri_).Exec("DROP SCHEMA IF EXISTS " + QuotedName(name_) + " CASCADE");
  }
  void Server(const char* what) const { ASSERT_EQ(std::system((control_ + " " + what).c_str()), 0) << what; }
  void Restart() const {
    Server("stop");
    Server("start");
  }
  std::shared_ptr<EmbeddedObjectServer> Client() const {
    auto server = std::make_shared<EmbeddedObjectServer>(dir_.Path(), uri_);
    server->Open(0);
    return server;
  }
  std::shared_ptr<lns::DeviceInterface> DeviceOf(const std::shared_ptr<EmbeddedObjectServer>& client) const {
    return client->Networks()->ItemByName(name_)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)->Interface();
  }

  testing_support::TempDir dir_;
  std::string uri_, control_;
  const std::string name_ = "Restart " + std::to_string(::getpid());
};

// The next call after the restart goes on, on a new connection with the session's search path,
// lock timeout and listened channel; its statements are prepared again.
TEST_F(ServerRestartTest, AConnectionBetweenTransactionsComesBackWithItsSession) {
  PostgresDb db(uri_);
  UseNetworkOnServer(db, name_);
  db.WaitForLocks(false);
  db.Listen("portab_restart_test");
  const auto devices = [&] {
    auto rows = db.Prepare("SELECT COUNT(*) FROM device");
    return rows.Step() ? rows.Int(0) : -1;
  };
  const int64_t before = devices();
  Restart();
  EXPECT_EQ(devices(), before);
  EXPECT_EQ(db.Reconnects(), 1);
  auto timeout = db.Prepare("SELECT current_setting('lock_timeout')");
  ASSERT_TRUE(timeout.Step());
  EXPECT_EQ(timeout.Text(0), "1ms");
  timeout.Reset();
  PostgresDb(uri_).Exec("NOTIFY portab_restart_test");
  pollfd wake{db.NotificationDescriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&wake, 1, 5000), 1);
  EXPECT_TRUE(db.TakeNotifications());
}

// Held reads find members by name from the rows read ahead, and open only a snapshot of their
// own: a restart loses nothing of them, so the next read goes on on a new connection in a new
// snapshot instead of failing as a lost transaction.
TEST_F(ServerRestartTest, HeldReadsFindByNameAndGoOnAfterTheRestart) {
  auto client = Client();
  client->HoldReads(true);
  const auto firstDevice = [&] {
    return client->Networks()->ItemByName(name_)->Systems()->Item(1)->Subsystems()->ItemByName("floor 1")->AppDevices()->Item(1)->Name();
  };
  EXPECT_EQ(firstDevice(), "Switch 1");
  EXPECT_THAT([&] { client->Networks()->ItemByName(name_)->Systems()->Item(1)->Subsystems()->ItemByName("Floor 9"); },
              Raises(lns::err::kNotFound, HasSubstr("\"Floor 9\" is not in")));
  Restart();
  EXPECT_EQ(firstDevice(), "Switch 1");
  EXPECT_EQ(client->Database(name_)->Db().Reconnects(), 1);
  EXPECT_NE(client->Database(name_)->Db().Snapshot(), 0);
}

// A write transaction open during the restart fails with the named error, its commit too, and
// nothing of it stays; the next one commits.
TEST_F(ServerRestartTest, ATransactionOpenDuringTheRestartFailsAndLeavesNothing) {
  const auto client = Client();
  const auto system = client->Networks()->ItemByName(name_)->Systems()->Item(1);
  const auto cps = DeviceOf(client)->ConfigProperties();
  const auto first = cps->Item(1)->RawRead(0, 1, 0);
  std::vector<uint8_t> changed = first;
  changed[0] = static_cast<uint8_t>(changed[0] + 1);
  system->StartTransaction();
  cps->Item(1)->RawWrite(0, 1, changed, 0);
  Restart();
  try {
    cps->Item(1)->RawWrite(0, 1, changed, 0);  // fails, or dooms the transaction
  } catch (const base::Error& e) {
    EXPECT_EQ(e.Number(), lns::err::kServerUnreachable);
  }
  int32_t commitError = 0;
  try {
    system->CommitTransaction();
  } catch (const base::Error& e) {
    commitError = e.Number();
  }
  EXPECT_EQ(commitError, lns::err::kServerUnreachable);
  EXPECT_FALSE(system->InTransaction());
  EXPECT_EQ(DeviceOf(Client())->ConfigProperties()->Item(1)->RawRead(0, 1, 0), first);
  system->StartTransaction();
  cps->Item(1)->RawWrite(0, 1, changed, 0);
  system->CommitTransaction();
  EXPECT_EQ(DeviceOf(Client())->ConfigProperties()->Item(1)->RawRead(0, 1, 0), changed);
}

// A client that monitors an NV keeps its event descriptor across the restart: while the server
// is away the descriptor does not spin, and once it is back an update another client writes
// wakes it and reaches PumpEvents.
TEST_F(ServerRestartTest, MonitoringFollowsTheServerAfterItIsBack) {
  auto watcher = Client();
  std::vector<std::string> updates;
  watcher->SetNvUpdateHandler([&](int32_t, const std::string& value, const lns::ObjectPtr&) { updates.push_back(value); });
  auto watched = DeviceOf(watcher)->NetworkVariables()->ItemByName("nviPrimeValue");
  watched->SetEditingSettings(true);
  watched->SetMonitorTag(7);
  watched->SetEditingSettings(false);
  const int descriptor = watcher->EventDescriptor();
  ASSERT_GE(descriptor, 0);
  watcher->PumpEvents();
  Server("stop");
  pollfd wake{descriptor, POLLIN, 0};
  ASSERT_EQ(::poll(&wake, 1, 5000), 1);  // the connection closed
  EXPECT_EQ(watcher->PumpEvents(), 0);
  EXPECT_EQ(::poll(&wake, 1, 200), 0);  // asked again on a timer, not at once
  Server("start");
  DeviceOf(Client())->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue("25.0 1");
  for (int turn = 0; turn < 20 && updates.empty(); ++turn) {
    if (::poll(&wake, 1, 1000) == 1) watcher->PumpEvents();
  }
  EXPECT_EQ(updates, std::vector<std::string>{"25.0 1"});
  EXPECT_EQ(watcher->EventDescriptor(), descriptor);
}

// A server that stays away: the call waits the timeout once and fails naming the server, later
// calls fail at once, and once it is back the connection is made again.
TEST_F(ServerRestartTest, AServerThatStaysAwayIsNamedAndFoundAgainWhenBack) {
  PostgresDb db(uri_, 1);
  UseNetworkOnServer(db, name_);
  Server("stop");
  for (int call = 0; call < 2; ++call) {
    EXPECT_THAT([&] { db.Prepare("SELECT COUNT(*) FROM device").Step(); },
                Raises(lns::err::kServerUnreachable, HasSubstr("127.0.0.1")));
  }
  Server("start");
  auto rows = db.Prepare("SELECT COUNT(*) FROM device");
  ASSERT_TRUE(rows.Step());
  EXPECT_GT(rows.Int(0), 0);
}

// `portab-lns tree` while the server restarts: the whole tree, or a failure naming the server,
// never a tree cut short that claims success. The tree runs in a child process, so that this
// one stays single-threaded while it starts the server's scripts.
TEST_F(ServerRestartTest, ATreeDuringTheRestartIsWholeOrFailsNamed) {
  std::ostringstream expected, none;
  ASSERT_EQ(RunLnsTool({"--server", uri_, "tree", name_}, dir_.Path(), expected, none), 0);
  for (int delay : {0, 5, 20}) {
    const auto outFile = dir_ / "tree.out", errFile = dir_ / "tree.err";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      std::ostringstream out, err;
      const int status = RunLnsTool({"--server", uri_, "tree", name_}, dir_.Path(), out, err);
      testing_support::WriteFile(outFile, out.str());
      testing_support::WriteFile(errFile, err.str());
      ::_exit(status);
    }
    Restart();
    int status = -1;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) {
      EXPECT_EQ(testing_support::ReadFile(outFile), expected.str());
    } else {
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_THAT(testing_support::ReadFile(errFile), HasSubstr("cannot be reached (the server 127.0.0.1"));
    }
  }
}

}  // namespace
