#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/automation/automation_errors.h"
#include "platform/automation/class_registry.h"
#include "platform/automation/connection.h"
#include "platform/automation/object_client.h"
#include "platform/registry/file_registry.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using namespace platform::automation;
using testing::HasSubstr;
using testing_support::ThrowsError;

namespace {

struct Pipe {
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() { CloseRead(), CloseWrite(); }
  void CloseRead() { read = read >= 0 ? ::close(read), -1 : -1; }
  void CloseWrite() { write = write >= 0 ? ::close(write), -1 : -1; }
  int read, write;
};

void WriteRaw(int fd, const std::string& bytes) { ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }

TEST(WireTest, FramingAcrossSplitWritesAndNonAsciiText) {
  Pipe pipe;
  const std::string body = R"({"text":"Größe ¶ 温度"})";
  const std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\nContent-Type: x\r\n\r\n" + body;
  MessageReader reader(pipe.read);
  std::thread writer([&] {
    for (size_t i = 0; i < framed.size(); i += 3) {
      WriteRaw(pipe.write, framed.substr(i, 3));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    WriteMessage(pipe.write, "{}");
  });
  EXPECT_EQ(reader.Read(std::chrono::seconds(5)), body);
  EXPECT_EQ(reader.Read(std::chrono::seconds(5)), "{}");
  writer.join();
  pipe.CloseWrite();
  EXPECT_EQ(reader.Read(std::chrono::seconds(5)), std::nullopt);  // a clean end
}

TEST(WireTest, BrokenFramingIsAnErrorNotAHang) {
  const std::pair<const char*, int32_t> cases[] = {  // the last two end inside the body and inside the header
      {"Content-Length: abc\r\n\r\n", err::kProtocol}, {"Content-Type: x\r\n\r\n{}", err::kProtocol},
      {"no colon here\r\n\r\n", err::kProtocol}, {"Content-Length: 99999999999\r\n\r\n", err::kProtocol},
      {"Content-Length: 10\r\n\r\n{}", err::kServerGone}, {"Content-Len", err::kServerGone}};
  for (const auto& [bytes, number] : cases) {
    Pipe pipe;
    WriteRaw(pipe.write, bytes);
    pipe.CloseWrite();
    MessageReader reader(pipe.read);
    EXPECT_THAT([&] { reader.Read(std::chrono::seconds(5)); }, ThrowsError(number)) << bytes;
  }
  Pipe silent;
  MessageReader reader(silent.read);
  EXPECT_THAT([&] { reader.Read(std::chrono::milliseconds(50)); }, ThrowsError(err::kProtocol));  // timed out
}

// An object served on one end of a pipe pair, driven through a proxy on the other.
class Counter final : public base::DispatchTable {
 public:
  Counter() : base::DispatchTable("Counter") {
    AddProperty("Count", [this] { return base::Variant(count); }, [this](const base::Variant& v) { count = v.ToInt32(); });
    AddMethod("AddTo", [this](std::vector<base::Variant>& args) {
      args.at(0) = args.at(0).ToInt32() + count;
      return base::Variant(true);
    });
    // Calls the caller's object back while the call is still open.
    AddMethod("Notify", [](std::vector<base::Variant>& args) {
      args.at(0).ToObject()->Put("Seen", "from the server");
      return base::Variant();
    });
    // The same call-back from a member that carries on when it fails.
    AddMethod("NotifyQuietly", [](std::vector<base::Variant>& args) {
      try {
        args.at(0).ToObject()->Put("Seen", "from the server");
      } catch (const base::Error&) {
      }
      return base::Variant(true);
    });
    AddProperty("Child", [this] { return base::Variant(base::DispatchPtr(child)); }, nullptr);
  }
  std::shared_ptr<base::Dispatch> child;
  int32_t count = 0;
};

class Receiver final : public base::DispatchTable {
 public:
  Receiver() : base::DispatchTable("Receiver") {
    AddProperty("Seen", [this] { return base::Variant(seen); }, [this](const base::Variant& v) {
      std::this_thread::sleep_for(delay);
      seen = v.ToString();
    });
  }
  std::string seen;
  std::chrono::milliseconds delay{0};  // how long a write of Seen takes
};

class ConnectionTest : public testing::Test {
 protected:
  void SetUp() override {
    counter_->child = std::make_shared<Receiver>();
    server_ = std::make_shared<Connection>(toServer_.read, toClient_.write, serverTimeout_);
    server_->SetRoot(counter_);
    client_ = std::make_shared<Connection>(toClient_.read, toServer_.write, std::chrono::seconds(5));
    thread_ = std::thread([this] { end_ = server_->Serve([] { return true; }); });
  }
  void TearDown() override {
    if (thread_.joinable()) {
      toServer_.CloseWrite();
      thread_.join();
    }
  }
  // Sends raw bytes and reads the one answer.
  nlohmann::json RawExchange(const std::string& body) {
    WriteMessage(toServer_.write, body);
    MessageReader reader(toClient_.read);
    return nlohmann::json::parse(*reader.Read(std::chrono::seconds(5)));
  }

  std::chrono::milliseconds serverTimeout_ = std::chrono::seconds(5);  // for its call-backs
  Pipe toServer_, toClient_;
  std::shared_ptr<Counter> counter_ = std::make_shared<Counter>();
  std::shared_ptr<Connection> server_, client_;
  std::thread thread_;
  Connection::End end_ = Connection::End::PeerGone;
};

TEST_F(ConnectionTest, ProxyCallsGetPutInvokeAndCallBacks) {
  RemoteDispatch proxy(client_, 0);
  proxy.Put("count", 5);
  EXPECT_EQ(counter_->count, 5);
  EXPECT_EQ(proxy.Get("COUNT").ToInt32(), 5);
  std::vector<base::Variant> args{10};
  EXPECT_TRUE(proxy.Invoke("AddTo", args).ToBool());
  EXPECT_EQ(args[0].ToInt32(), 15);  // handed back by reference
  auto receiver = std::make_shared<Receiver>();
  std::vector<base::Variant> callback{base::DispatchPtr(receiver)};
  proxy.Invoke("Notify", callback);
  EXPECT_EQ(receiver->seen, "from the server");
  EXPECT_THAT([&] { proxy.Get("Missing"); }, ThrowsError(438));  // the source reaches the tool: AutomationE2eTest
  EXPECT_THAT([&] { proxy.Put("Count", "many"); }, ThrowsError(13));
  EXPECT_THAT([&] { proxy.Invoke("Count", args); }, ThrowsError(438));  // a property is no method
  client_->Call("release", nlohmann::json::object());
  thread_.join();
  EXPECT_EQ(end_, Connection::End::Released);
}

TEST_F(ConnectionTest, ReleasingAnObjectByRefForgetsOnlyThatObject) {
  const auto ref = client_->Call("get", {{"name", "Child"}})["$ref"];
  RemoteDispatch child(client_, ref.get<int64_t>());
  child.Put("Seen", "x");  // served while the reference holds
  client_->Call("release", {{"ref", ref}});
  EXPECT_THAT([&] { child.Get("Seen"); }, ThrowsError(err::kInvalidParams));
  EXPECT_THAT([&] { client_->Call("release", {{"ref", ref}}); }, ThrowsError(err::kInvalidParams));
  RemoteDispatch root(client_, 0);
  EXPECT_EQ(root.Get("Count").ToInt32(), 0);  // the server goes on serving its root
}

TEST_F(ConnectionTest, MalformedRequestsGetJsonRpcErrors) {
  const std::pair<const char*, int> refused[] = {
      {"{not json", err::kParseError},
      {"[1,2]", err::kInvalidRequest},
      {R"({"jsonrpc":"2.0","id":1,"method":"frobnicate","params":{}})", err::kMethodNotFound},
      {R"({"jsonrpc":"2.0","id":2,"method":"get","params":{"name":5}})", err::kInvalidParams},
      {R"({"jsonrpc":"2.0","id":3,"method":"put","params":{"name":"Count","value":{"x":1}}})", err::kInvalidParams},
      {R"({"jsonrpc":"2.0","id":4,"method":"get","params":{"name":"Count","ref":99}})", err::kInvalidParams},
  };
  for (const auto& [body, code] : refused) EXPECT_EQ(RawExchange(body)["error"]["code"], code) << body;
  // Notifications (served or failing) and answers to calls nobody waits for get no answer.
  WriteMessage(toServer_.write, R"({"jsonrpc":"2.0","method":"put","params":{"name":"Count","value":7}})");
  WriteMessage(toServer_.write, R"({"jsonrpc":"2.0","method":"frobnicate","params":{}})");
  WriteMessage(toServer_.write, R"({"jsonrpc":"2.0","id":5,"result":null})");
  WriteMessage(toServer_.write, R"({"jsonrpc":"2.0","id":5,"error":{"code":1,"message":"late"}})");
  auto answer = RawExchange(R"({"jsonrpc":"2.0","id":5,"method":"get","params":{"name":"Count"}})");
  EXPECT_EQ(answer["id"], 5);
  EXPECT_EQ(answer["result"], 7);  // the notification was served
  WriteRaw(toServer_.write, "Content-Length: 1\xff\r\n\r\n{");  // framing it cannot recover from
  thread_.join();
  EXPECT_EQ(end_, Connection::End::ProtocolBroken);
  MessageReader reader(toClient_.read);  // its last word: a JSON-RPC error naming the bad bytes
  auto last = nlohmann::json::parse(*reader.Read(std::chrono::seconds(5)));
  EXPECT_EQ(last["error"]["code"], err::kParseError);
  EXPECT_EQ(last["error"]["message"], "Bad Content-Length \"1\\xFF\"");
}

class ShortCallBackTimeoutTest : public ConnectionTest {
 protected:
  void SetUp() override {
    serverTimeout_ = std::chrono::milliseconds(100);
    ConnectionTest::SetUp();
  }
};

TEST_F(ShortCallBackTimeoutTest, ACallBackThatTimesOutFailsTheOuterCall) {
  RemoteDispatch proxy(client_, 0);
  auto receiver = std::make_shared<Receiver>();
  receiver->delay = std::chrono::milliseconds(800);
  std::vector<base::Variant> args{base::DispatchPtr(receiver)};
  // The member swallows the failed call-back, the call still fails.
  EXPECT_THAT([&] { proxy.Invoke("NotifyQuietly", args); }, ThrowsError(err::kProtocol));
  // The connection stays usable; the late answer to the call-back does not get in the way.
  EXPECT_FALSE(client_->Broken());
  EXPECT_EQ(proxy.Get("Count").ToInt32(), 0);
}

TEST(ConnectionEndTest, AServerThatDiesOrHangsMidCallIsAnError) {
  for (const bool hang : {false, true}) {
    Pipe toServer, toClient;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      MessageReader reader(toServer.read);
      reader.Read(std::chrono::seconds(5));  // takes the request, never answers
      if (hang) ::pause();
      ::_exit(0);
    }
    toServer.CloseRead();
    toClient.CloseWrite();
    auto client = std::make_shared<Connection>(toClient.read, toServer.write, std::chrono::milliseconds(300));
    RemoteDispatch proxy(client, 0);
    EXPECT_THAT([&] { proxy.Get("Count"); }, ThrowsError(hang ? err::kProtocol : err::kServerGone)) << hang;
    EXPECT_TRUE(client->Broken());
    EXPECT_THAT([&] { proxy.Get("Count"); }, ThrowsError(err::kServerGone));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
}

// A class whose program cannot serve is error 429 naming the cause, and no process is left.
TEST(CreateObjectTest, AProgramThatCannotServeIs429) {
  const testing_support::TempDir dir;
  testing_support::WriteFile(dir / "not-executable", "#!/bin/sh\n");
  const std::pair<std::string, std::string> cases[] = {  // the program and what the error says
      {(dir / "missing").string(), "cannot be started (No such file or directory)"},
      {(dir / "not-executable").string(), "cannot be started (Permission denied)"},
      {"/bin/true", "Cannot create \"veltaTest.Application\""},
  };
  for (const auto& c : cases) {
    platform::registry::FileRegistry registry(dir / "registry.reg");
    RegisterClass(registry, {"veltaTest.Application", "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D99}", c.first, {}});
    EXPECT_THAT([&] { CreateObject(registry, "veltaTest.Application", nullptr); },
                testing_support::Raises(err::kCannotCreateObject, HasSubstr(c.second))) << c.first;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // no child left behind, not even a zombie
  }
}

}  // namespace
