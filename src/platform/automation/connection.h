#pragma once
// One automation connection: JSON-RPC 2.0 requests and responses in both directions over a
// pair of file descriptors (see ARCHITECTURE.md and the README for the wire protocol).
//
// Requests: "get" {"name"}, "put" {"name", "value"}, "invoke" {"name", "args"} (answered with
// {"result", "args"}: by-reference arguments come back changed), "release" {}. A request
// for an object the sender was handed carries {"ref": <id>}. Values: null, Booleans, numbers,
// texts, {"$ref": <id>} for an object that lives on the sending side, {"$lns": "<name>"}
// for an LNS object. Errors: code = error number, message = description, data.source.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "base/dispatch.h"
#include "base/error.h"
#include "services/automation.h"
#include "platform/automation/wire.h"

namespace platform::automation {

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  using Json = nlohmann::json;
  // Turns an LNS object name received as {"$lns": name} into an object (nullptr: unknown).
  using LnsResolver = std::function<base::DispatchPtr(const std::string&)>;

  Connection(int readFd, int writeFd, std::chrono::milliseconds timeout);

  void SetLnsResolver(LnsResolver resolver) { lnsResolver_ = std::move(resolver); }
  // The object that requests without "ref" address (the server's root object).
  void SetRoot(base::DispatchPtr root) { root_ = std::move(root); }

  // Sends a request and waits for its response, serving the other side's requests
  // (call-backs) meanwhile. Raises the error the other side answered, kServerGone when it
  // ended, kProtocol when it broke the protocol or did not answer in time.
  Json Call(const std::string& method, Json params);

  enum class End { Released, PeerGone, ProtocolBroken };
  // Serves requests until "release" of the root (when `endOnRelease` says so) or the end of
  // the stream. Never raises for what the other side sends.
  End Serve(const std::function<bool()>& endOnRelease);

  Json Encode(const base::Variant& value);
  base::Variant Decode(const Json& value);

  bool Broken() const { return broken_; }

 private:
  // Handles one request; returns the response to send (none for notifications).
  std::optional<Json> Handle(const Json& request, bool& released);
  Json Answer(const Json& request, bool& released);
  base::DispatchPtr Target(const Json& params);
  void Send(const Json& message);

  int writeFd_;
  MessageReader reader_;
  std::chrono::milliseconds timeout_;
  base::DispatchPtr root_;
  LnsResolver lnsResolver_;
  std::map<int64_t, base::DispatchPtr> exported_;
  int64_t nextRef_ = 1;
  int64_t nextId_ = 1;
  bool broken_ = false;
  // Calls of this side that failed on the wire (timed out, other side gone, protocol broken),
  // and the last such failure: a request served meanwhile reports it as its own failure.
  uint64_t wireFailures_ = 0;
  std::optional<base::Error> lastWireFailure_;
};

// The other side's object: every member call becomes a request. It does not keep the
// connection alive (the connection may hold it among the objects it handed out); once the
// connection has gone, calls raise kServerGone.
class RemoteDispatch : public base::Dispatch {
 public:
  RemoteDispatch(const std::shared_ptr<Connection>& connection, int64_t ref) : connection_(connection), ref_(ref) {}
  base::Variant Get(std::string_view name) override;
  void Put(std::string_view name, const base::Variant& value) override;
  base::Variant Invoke(std::string_view name, std::vector<base::Variant>& args) override;

 protected:
  nlohmann::json Params(std::string_view name) const;
  std::shared_ptr<Connection> Lock() const;
  std::weak_ptr<Connection> connection_;
  int64_t ref_;  // 0: the root object
};

}  // namespace platform::automation
