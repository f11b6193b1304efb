#include "platform/automation/object_client.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_dispatch.h"
#include "lns/object_names.h"
#include "platform/automation/automation_errors.h"
#include "platform/automation/class_registry.h"

extern char** environ;

namespace platform::automation {
namespace {

[[noreturn]] void CannotCreate(const std::string& progId, const std::string& why) {
  throw base::Error(err::kCannotCreateObject, "Automation", "Cannot create \"" + progId + "\": " + why);
}

// A write to a server that has ended must give an error, not end this program.
void IgnoreBrokenPipes() {
  static const bool ignored = [] {
    ::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)ignored;
}

// Waits for the started server to end, killing it when it has not ended within `limit`. The
// wait sleeps until the process ends (a process descriptor becomes readable then) instead of
// polling; a kernel without process descriptors gets the polling wait.
void AwaitEnd(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const int descriptor = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  while (::waitpid(pid, nullptr, WNOHANG) == 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      break;
    }
    if (descriptor >= 0) {
      pollfd ended{descriptor, POLLIN, 0};
      ::poll(&ended, 1, static_cast<int>(left.count()));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (descriptor >= 0) ::close(descriptor);
}

struct Started {
  pid_t pid = -1;
  int error = 0;  // 0, or why the program could not be started
};

// Starts `program` as an automation server reading requests from `input` (its standard input)
// and answering on `output` (its standard output). vfork shares the memory until the exec, so
// the start costs no copy of this process and the child reports a failed exec through it.
Started StartServer(const std::string& program, int input, int output) {
  std::string copy = program;
  std::string embedding = "-Embedding";
  char* argv[] = {copy.data(), embedding.data(), nullptr};
  volatile int execError = 0;
  const pid_t pid = ::vfork();
  if (pid == 0) {
    if (::dup2(input, STDIN_FILENO) >= 0 && ::dup2(output, STDOUT_FILENO) >= 0) ::execve(argv[0], argv, environ);
    execError = errno;
    ::_exit(127);
  }
  if (pid < 0) return {-1, errno};
  if (execError != 0) {
    ::waitpid(pid, nullptr, 0);
    return {-1, execError};
  }
  return {pid, 0};
}

// The root object of a started server; its end releases the object and ends the server.
class ServerObject final : public RemoteDispatch {
 public:
  ServerObject(std::shared_ptr<Connection> connection, pid_t pid, int toServer, int fromServer)
      : RemoteDispatch(connection, 0), owner_(std::move(connection)), pid_(pid), toServer_(toServer), fromServer_(fromServer) {}
  ~ServerObject() override {
    try {
      if (!owner_->Broken()) owner_->Call("release", nlohmann::json::object());
    } catch (const base::Error&) {
      // A server that has gone needs no release.
    }
    ::close(toServer_);
    ::close(fromServer_);
    AwaitEnd(pid_, std::chrono::seconds(10));
  }
  ServerObject(const ServerObject&) = delete;
  ServerObject& operator=(const ServerObject&) = delete;

 private:
  std::shared_ptr<Connection> owner_;  // the connection lives as long as the server's object
  pid_t pid_;
  int toServer_;
  int fromServer_;
};

}  // namespace

std::chrono::milliseconds CallTimeout() {
  const char* text = std::getenv("PORTAB_AUTOMATION_TIMEOUT");
  const double seconds = text != nullptr ? base::Val(text) : 0;
  return std::chrono::milliseconds(seconds > 0 ? static_cast<int64_t>(seconds * 1000) : 120000);
}

std::shared_ptr<base::Dispatch> CreateObject(const services::registry::Registry& registry, const std::string& progId,
                                             Connection::LnsResolver lnsResolver) {
  IgnoreBrokenPipes();
  const auto server = RegisteredServer(registry, progId);
  if (!server) CannotCreate(progId, "the class is not registered");
  int toServer[2];
  int fromServer[2];
  if (::pipe2(toServer, O_CLOEXEC) != 0) CannotCreate(progId, "no pipe");
  if (::pipe2(fromServer, O_CLOEXEC) != 0) {
    ::close(toServer[0]);
    ::close(toServer[1]);
    CannotCreate(progId, "no pipe");
  }
  std::string program = server->string();
  const Started started = StartServer(program, toServer[0], fromServer[1]);
  ::close(toServer[0]);
  ::close(fromServer[1]);
  if (started.error != 0) {
    ::close(toServer[1]);
    ::close(fromServer[0]);
    CannotCreate(progId, "its program " + program + " cannot be started (" + std::strerror(started.error) + ")");
  }
  auto connection = std::make_shared<Connection>(fromServer[0], toServer[1], CallTimeout());
  connection->SetLnsResolver(std::move(lnsResolver));
  auto object = std::make_shared<ServerObject>(connection, started.pid, toServer[1], fromServer[0]);
  // The first call shows whether the server came up at all.
  try {
    object->Get("Name");
  } catch (const base::Error& e) {
    if (e.Number() == err::kServerGone || e.Number() == err::kProtocol) CannotCreate(progId, e.Description());
    // Any other answer (the class has no Name) means the server is serving.
  }
  return object;
}

Connection::End ServeObject(base::DispatchPtr root, const std::function<bool()>& endOnRelease,
                            Connection::LnsResolver lnsResolver) {
  IgnoreBrokenPipes();
  auto connection = std::make_shared<Connection>(STDIN_FILENO, STDOUT_FILENO, CallTimeout());
  connection->SetRoot(std::move(root));
  connection->SetLnsResolver(std::move(lnsResolver));
  return connection->Serve(endOnRelease);
}

}  // namespace platform::automation

namespace platform::automation {

Connection::LnsResolver LnsResolverFor(std::shared_ptr<lns::ObjectServer> server) {
  return [server](const std::string& name) -> base::DispatchPtr {
    if (!server) return nullptr;
    lns::ObjectPtr object = lns::ResolveObjectName(*server, name);
    if (!object) return nullptr;
    return std::make_shared<lns::LnsObjectDispatch>(object, name);
  };
}

}  // namespace platform::automation
