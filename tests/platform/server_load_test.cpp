// Twenty client processes on one server for a bounded time, as a team's tools would be: each adds
// 1 to a shared counter CP in LNS transactions (retrying what a conflict refused) and sets an NV
// of the same device to the counter's new value, while monitoring that NV. No increment may be
// lost or doubled, every client must be told of every update in commit order with its value,
// and the connections stay bounded. The rate and the delays are printed, never asserted.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/postgres_db.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

using namespace platform::lns_embedded;

constexpr int kClients = 20;
constexpr auto kWriting = std::chrono::seconds(6);
constexpr auto kCatchingUp = std::chrono::seconds(20);

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Objects {
  std::shared_ptr<lns::System> system;
  std::shared_ptr<lns::ConfigProperty> counter;
  std::shared_ptr<lns::NetworkVariable> nv;
};

Objects Find(const std::shared_ptr<EmbeddedObjectServer>& client, const std::string& network) {
  auto system = client->Networks()->ItemByName(network)->Systems()->Item(1);
  auto device = system->Subsystems()->Item(1)->AppDevices()->Item(1)->Interface();
  return {system, device->ConfigProperties()->ItemByName("Counter"), device->NetworkVariables()->ItemByName("nvoCount")};
}

int CounterOf(const std::shared_ptr<lns::ConfigProperty>& cp) {
  const auto bytes = cp->RawRead(0, 2, 0);
  return bytes[0] * 256 + bytes[1];
}

// One client: writes for kWriting, then reads `finalFrom` for the last value (the number of
// commits, the counter starting at 0) and pumps until it was told of as many updates. Its file: "commit <value> <time>" per commit, "seen <value> <time>" per update.
int RunClient(int index, const std::filesystem::path& folder, const std::string& uri, const std::string& network, int ready,
              int go, int finalFrom) {
  std::ofstream log(folder / ("client-" + std::to_string(index) + ".txt"));
  const auto client = std::make_shared<EmbeddedObjectServer>(folder, uri);
  client->Open(0);
  const Objects objects = Find(client, network);
  int heard = 0;  // updates told
  client->SetNvUpdateHandler([&](int32_t tag, const std::string& value, const lns::ObjectPtr&) {
    log << "seen " << value << " " << Now() << " " << tag << "\n";
    ++heard;
  });
  objects.nv->SetEditingSettings(true);
  objects.nv->SetMonitorTag(100 + index);
  objects.nv->SetEditingSettings(false);
  const int descriptor = client->EventDescriptor();
  client->PumpEvents();
  char byte = 'r';
  if (::write(ready, &byte, 1) != 1 || ::read(go, &byte, 1) != 1) return 2;
  const auto pump = [&](int waitMs) {
    pollfd wake{descriptor, POLLIN, 0};
    if (::poll(&wake, 1, waitMs) == 1) client->PumpEvents();
  };
  const auto end = std::chrono::steady_clock::now() + kWriting;
  while (std::chrono::steady_clock::now() < end) {
    try {
      objects.system->StartTransaction();
      const int value = CounterOf(objects.counter) + 1;
      objects.counter->RawWrite(0, 2, {static_cast<uint8_t>(value / 256), static_cast<uint8_t>(value % 256)}, 0);
      objects.nv->SetValue(std::to_string(value));
      objects.system->CommitTransaction();
      log << "commit " << value << " " << Now() << "\n";
    } catch (const base::Error& e) {
      if (e.Number() != lns::err::kWriteConflict && e.Number() != lns::err::kTransactionFailed) throw;
      if (objects.system->InTransaction()) objects.system->CancelTransaction();  // refused: tried again
    }
    pump(0);
  }
  log << "done\n";
  log.flush();
  int last = 0;
  if (::read(finalFrom, &last, sizeof last) != sizeof last) return 3;
  const auto latest = std::chrono::steady_clock::now() + kCatchingUp;
  while (heard != last && std::chrono::steady_clock::now() < latest) pump(200);
  return 0;
}

TEST(ServerLoadTest, TwentyClientsWritingAndMonitoringOneDeviceLoseNothingAndHearOfEveryUpdateInOrder) {
  PORTAB_TEST_SERVER_OR_SKIP(uri);
  const testing_support::TempDir dir;
  const std::string network = "Load " + std::to_string(::getpid());
  const nlohmann::json description{
      {"network", network},
      {"system", "S"},
      {"subsystems",
       {{{"name", "A"},
         {"devices",
          {{{"name", "D"}, {"programId", "P"}, {"cps", {{{"name", "Counter"}, {"dimension", 2}}}},
            {"nvs", {{{"name", "nvoCount"}, {"type", "SNVT_count"}}}}}}}}}}};
  PostgresDb admin(uri);
  CreateNetworkOnServer(admin, description.dump(), true);
  int ready[2], go[2], finals[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(finals), 0);
  std::vector<pid_t> clients;
  for (int c = 0; c < kClients; ++c) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 1;
      try {
        status = RunClient(c, dir.Path(), uri, network, ready[1], go[0], finals[0]);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "client %d: %s\n", c, e.what());
      }
      ::_exit(status);
    }
    clients.push_back(pid);
  }
  // All listen before any writes: each is to hear of every commit.
  for (int c = 0; c < kClients; ++c) {
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  }
  const auto started = std::chrono::steady_clock::now();
  const std::string release(kClients, 'g');
  ASSERT_EQ(::write(go[1], release.data(), release.size()), static_cast<ssize_t>(release.size()));
  // While they write: every client holds its two connections (its network, its listener).
  std::this_thread::sleep_for(kWriting / 2);
  auto connections = admin.Prepare("SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'portab'");
  ASSERT_TRUE(connections.Step());
  EXPECT_LE(connections.Int(0), 2 * kClients + 1);
  connections.Reset();
  // Once all are done writing, each is told the last value and waits to hear of it.
  const auto allDone = [&] {
    for (int c = 0; c < kClients; ++c) {
      std::ifstream file(dir / ("client-" + std::to_string(c) + ".txt"));
      std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      if (text.find("done\n") == std::string::npos) return false;
    }
    return true;
  };
  while (!allDone() && std::chrono::steady_clock::now() < started + kWriting + std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const auto written = std::chrono::steady_clock::now() - started;
  auto checker = std::make_shared<EmbeddedObjectServer>(dir.Path(), uri);
  checker->Open(0);
  const int last = CounterOf(Find(checker, network).counter);
  for (int c = 0; c < kClients; ++c) ASSERT_EQ(::write(finals[1], &last, sizeof last), static_cast<ssize_t>(sizeof last));
  for (const pid_t pid : clients) {
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  PostgresDb(uri).Exec("DROP SCHEMA " + QuotedName(network) + " CASCADE");

  // Every commit is one increment: the values committed are 1 to the last, each once.
  std::map<int, int64_t> committedAt;
  std::vector<std::vector<std::pair<int, int64_t>>> seen(kClients);
  for (int c = 0; c < kClients; ++c) {
    std::ifstream file(dir / ("client-" + std::to_string(c) + ".txt"));
    std::string kind;
    while (file >> kind) {
      if (kind == "done") continue;
      int value = 0;
      int64_t at = 0;
      file >> value >> at;
      if (kind == "commit") {
        EXPECT_TRUE(committedAt.emplace(value, at).second) << "value " << value << " committed twice";
      } else {
        int tag = 0;
        file >> tag;
        EXPECT_EQ(tag, 100 + c);
        seen[c].emplace_back(value, at);
      }
    }
  }
  ASSERT_EQ(static_cast<int>(committedAt.size()), last);
  EXPECT_EQ(committedAt.begin()->first, 1);
  // Each client hears of every update in commit order, each with the value its commit wrote:
  // 1, 2, ... up to the last.
  std::vector<int64_t> delays;
  for (int c = 0; c < kClients; ++c) {
    ASSERT_EQ(static_cast<int>(seen[c].size()), last) << "client " << c << ": one update a commit";
    for (int i = 0; i < last; ++i) {
      EXPECT_EQ(seen[c][static_cast<size_t>(i)].first, i + 1) << "client " << c;
      if (seen[c][static_cast<size_t>(i)].first != i + 1) break;
    }
    for (const auto& [value, at] : seen[c]) delays.push_back(at - committedAt[value]);
  }
  std::sort(delays.begin(), delays.end());
  const double seconds = std::chrono::duration<double>(written).count();
  std::printf("%d commits in %.1f s (%.0f a second); update delay median %.1f ms, worst %.1f ms\n", last, seconds,
              last / seconds, delays[delays.size() / 2] / 1000.0, delays.back() / 1000.0);
}

}  // namespace
